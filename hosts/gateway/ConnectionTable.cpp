#include "hosts/gateway/ConnectionTable.h"

namespace gateway {

ConnectionSlot::ConnectionSlot(std::shared_ptr<ConnectionTable> table, std::string client)
    : table_(std::move(table)), client_(std::move(client)) {}

ConnectionSlot::~ConnectionSlot() {
  if (table_) table_->release(client_);
}

ConnectionTable::Admission ConnectionTable::admit(const std::string& client, int maxTotal, int maxPerClient,
                                                  std::optional<ConnectionSlot>& slot) {
  {
    std::lock_guard lock(mutex_);
    if (total_ >= maxTotal) return Admission::ServerFull;
    int& fromClient = perClient_[client];
    if (fromClient >= maxPerClient) return Admission::ClientFull;
    ++fromClient;
    ++total_;
    counters_.connections.store(total_);
  }
  slot.emplace(shared_from_this(), client);
  return Admission::Admitted;
}

int ConnectionTable::openFrom(const std::string& client) const {
  std::lock_guard lock(mutex_);
  const auto found = perClient_.find(client);
  return found == perClient_.end() ? 0 : found->second;
}

void ConnectionTable::release(const std::string& client) {
  std::lock_guard lock(mutex_);
  const auto found = perClient_.find(client);
  if (found != perClient_.end() && --found->second <= 0) perClient_.erase(found);
  --total_;
  counters_.connections.store(total_);
}

} // namespace gateway
