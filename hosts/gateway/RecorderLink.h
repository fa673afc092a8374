#pragma once
// One recorder connection of the gateway: the viewer engine's own connection code (its
// Receiver thread connects, sends the open request, receives, reconnects), with a message
// window that a thread of this object pumps in place of a window thread. It reports in the
// recorder protocol's own bytes, so browsers receive what the recorder sent:
//   - every picture, as a "PLPR" message with its 208-byte "HEAD" and its "BODY" unchanged;
//   - every reply item other than pictures ("PDAT" reply codes, "LANG" text tables), as a
//     "PLPR" message of those items, unchanged but for text tables longer than a viewer's
//     room for one, which are cut to it, in the order the recorder sent them;
//   - the loss of the connection (the engine's socket status).
// The callbacks run on the link's own threads and must only hand the bytes on.
#include "engine/Connection.h"
#include "hosts/gateway/GatewayOptions.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace gateway {

using Bytes = std::vector<std::uint8_t>;
using SharedBytes = std::shared_ptr<const Bytes>;

struct LinkEvents {
  std::function<void(SharedBytes message, std::int32_t replyCode)> control; // replyCode: first "PDAT" word 0, or -1
  std::function<void(SharedBytes message)> picture;
  std::function<void()> lost;
  std::function<void()> ended; // the link's thread is about to return: join() will not wait
};

class RecorderLink {
public:
  RecorderLink(const RecorderAddress& recorder, std::int32_t connectionId, LinkEvents events);
  ~RecorderLink(); // retire() and join()
  RecorderLink(const RecorderLink&) = delete;
  RecorderLink& operator=(const RecorderLink&) = delete;

  // Starts the link's thread, which starts the connection. False when no thread can be made.
  bool start();
  // Asks the link to stop its connection and end; returns at once.
  void retire();
  // Waits for the link's thread to end.
  void join();

  std::int32_t connectionId() const { return connectionId_; }
  std::uint64_t picturesRelayed() const { return pictures_.load(std::memory_order_relaxed); }

  // The picture message browsers receive: "PLPR" with "HEAD" (208 bytes) and "BODY".
  static Bytes pictureMessage(const PictureRecord& picture);

private:
  class Connection;
  void run();
  void handle(const platform::WindowMessage& message);

  RecorderAddress recorder_;
  std::int32_t connectionId_;
  LinkEvents events_;
  std::unique_ptr<Connection> connection_;
  platform::MessageWindow window_;
  std::thread thread_;
  std::atomic<bool> retiring_{false};
  std::atomic<std::uint64_t> pictures_{0};
};

} // namespace gateway
