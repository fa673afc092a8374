#pragma once
// A loopback port whose queue of connections is full and never served: a viewer's connect
// to it neither succeeds nor fails for a long time (the system drops its attempts).
#include "platform/Socket.h"

#include <vector>

namespace winetest {

class FullListener {
public:
  FullListener();
  ~FullListener();
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;

  // 0 when no listener could be made.
  int port() const { return port_; }

private:
  platform::SocketHandle listener_ = platform::kNoSocket;
  std::vector<platform::SocketHandle> waiting_;
  int port_ = 0;
};

} // namespace winetest
