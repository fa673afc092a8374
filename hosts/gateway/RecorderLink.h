#pragma once
// One recorder connection of the gateway, on the gateway's I/O thread: the viewer engine's
// connection state machine (engine/ConnectionMachine.h) driven by Asio (resolve, connect,
// read, write and one timer for the reconnect pause, the connect time-out, the request pace
// and the receive watchdog). No thread of its own and no hand-over between threads: a reply
// read from the recorder reaches the callbacks in the same handler. It reports in the
// recorder protocol's own bytes, so browsers receive what the recorder sent:
//   - every picture, as a "PLPR" message with its 208-byte "HEAD" and its "BODY" unchanged;
//   - every reply item other than pictures ("PDAT" reply codes, "LANG" text tables), as a
//     "PLPR" message of those items, unchanged but for text tables longer than a viewer's
//     room for one, which are cut to it, in the order the recorder sent them;
//   - the loss of an established connection (lost), after which it connects again;
//   - its own end (ended): no socket can be made, or no memory for a reply's copy. The
//     bad_alloc of the latter is thrown on from the handler, so the I/O loop counts it.
// The callbacks run on the I/O thread, may retire the link and must not destroy the
// io_context.
#include "hosts/gateway/GatewayOptions.h"

#include <boost/asio/io_context.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace gateway {

using Bytes = std::vector<std::uint8_t>;
using SharedBytes = std::shared_ptr<const Bytes>;

struct LinkEvents {
  std::function<void(SharedBytes message, std::int32_t replyCode)> control; // replyCode: first "PDAT" word 0, or -1
  std::function<void(SharedBytes message)> picture;
  std::function<void()> lost;
  std::function<void()> ended; // the link has stopped by itself; it does nothing more
};

class RecorderLink {
public:
  RecorderLink(boost::asio::io_context& io, const RecorderAddress& recorder, std::int32_t connectionId,
               LinkEvents events);
  ~RecorderLink(); // retire()
  RecorderLink(const RecorderLink&) = delete;
  RecorderLink& operator=(const RecorderLink&) = delete;

  // Starts connecting (on the I/O thread). False when that cannot begin (no memory).
  bool start();
  // Closes the connection and cancels every wait; no callback runs afterwards. I/O thread,
  // or any thread once the I/O thread has stopped.
  void retire();

  std::int32_t connectionId() const { return connectionId_; }
  std::uint64_t picturesRelayed() const;

private:
  class Session;
  std::int32_t connectionId_;
  std::shared_ptr<Session> session_; // also held by its pending handlers
};

} // namespace gateway
