#include "tests/wine/support/FullListener.h"

namespace winetest {

FullListener::FullListener() {
  platform::networkStartup();
  listener_ = platform::socketListen("127.0.0.1", 0, 1);
  port_ = listener_ == platform::kNoSocket ? 0 : platform::socketLocalPort(listener_);
  // Fill the queue: connections until one no longer completes at once.
  for (int i = 0; i < 8 && port_ != 0; ++i) {
    const platform::SocketHandle waiting = platform::socketCreate();
    waiting_.push_back(waiting);
    if (!platform::socketSetNonBlocking(waiting)) break;
    platform::socketConnect(waiting, "127.0.0.1", port_);       // in progress or queued
    if (platform::socketWaitWritable(waiting, 200) != 1) break; // not accepted into the queue: full
  }
}

FullListener::~FullListener() {
  for (platform::SocketHandle waiting : waiting_) platform::socketClose(waiting);
  platform::socketClose(listener_);
  platform::networkCleanup();
}

} // namespace winetest
