#include "hosts/gateway/ConnectionTable.h"

namespace gateway {

ConnectionSlot::ConnectionSlot(std::shared_ptr<ConnectionTable> table, std::string client)
    : table_(std::move(table)), client_(std::move(client)) {}

ConnectionSlot::~ConnectionSlot() {
  if (table_) table_->release(client_);
}

bool ConnectionSlot::recount(const std::string& client, int maxPerClient) {
  if (!table_ || client == client_) return true;
  if (!table_->move(client_, client, maxPerClient)) return false;
  client_ = client;
  return true;
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

bool ConnectionTable::move(const std::string& from, const std::string& to, int maxPerClient) {
  std::lock_guard lock(mutex_);
  int& toClient = perClient_[to];
  if (toClient >= maxPerClient) {
    if (toClient == 0) perClient_.erase(to);
    return false;
  }
  ++toClient;
  const auto found = perClient_.find(from);
  if (found != perClient_.end() && --found->second <= 0) perClient_.erase(found);
  return true;
}

void ConnectionTable::release(const std::string& client) {
  std::lock_guard lock(mutex_);
  const auto found = perClient_.find(client);
  if (found != perClient_.end() && --found->second <= 0) perClient_.erase(found);
  --total_;
  counters_.connections.store(total_);
}

} // namespace gateway
