#pragma once
// The connections open now, in total and per client address, so that no one client can take
// every slot: a connection is admitted under both limits and counted until its slot is gone.
// Slots may be released on whatever thread drops the last session (the I/O thread, or the
// stopping thread once it is gone), hence the lock.
//
// Behind a trusted proxy every connection comes from the proxy's address, and the client is
// known only once the request head is read: such a connection is admitted under the proxy
// with no per-client limit (the total still holds), and then counted for its client.
#include "hosts/gateway/GatewayCounters.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace gateway {

class ConnectionTable;

// One admitted connection, counted for as long as it lives (moved from the HTTP session to the
// WebSocket session on an upgrade).
class ConnectionSlot {
public:
  ConnectionSlot(std::shared_ptr<ConnectionTable> table, std::string client);
  ~ConnectionSlot();
  ConnectionSlot(ConnectionSlot&& other) noexcept = default;
  ConnectionSlot& operator=(ConnectionSlot&&) = delete;
  ConnectionSlot(const ConnectionSlot&) = delete;
  ConnectionSlot& operator=(const ConnectionSlot&) = delete;

  // Counts this connection for `client` instead, when that client has fewer than
  // `maxPerClient` connections; false leaves it counted as it was.
  bool recount(const std::string& client, int maxPerClient);

private:
  std::shared_ptr<ConnectionTable> table_;
  std::string client_;
};

class ConnectionTable : public std::enable_shared_from_this<ConnectionTable> {
public:
  enum class Admission { Admitted, ServerFull, ClientFull };

  explicit ConnectionTable(GatewayCounters& counters) : counters_(counters) {}

  // Counts a new connection from `client` into `slot` when both limits allow it.
  Admission admit(const std::string& client, int maxTotal, int maxPerClient, std::optional<ConnectionSlot>& slot);
  int openFrom(const std::string& client) const;

private:
  friend class ConnectionSlot;
  void release(const std::string& client);
  bool move(const std::string& from, const std::string& to, int maxPerClient);

  GatewayCounters& counters_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, int> perClient_;
  int total_ = 0;
};

} // namespace gateway
