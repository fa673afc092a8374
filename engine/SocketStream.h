#pragma once
// One IPv4 TCP stream socket. Non-blocking after connect: receive and send never wait.
#include "platform/Socket.h"

#include <cstdint>

class CSocketStream {
public:
  CSocketStream() = default;
  ~CSocketStream() { close(); }
  CSocketStream(const CSocketStream&) = delete;
  CSocketStream& operator=(const CSocketStream&) = delete;

  // Closes any previous socket and creates a new one; false if that fails.
  bool open();
  // Starts connecting the socket to `address` without waiting (the socket becomes
  // non-blocking): 1 connected, 0 under way (finishConnect), -1 failed. False-like -1 also
  // without a socket or for a port outside 0..65535.
  int beginConnect(platform::Address address, int port);
  // Waits up to `timeoutMs` for a connect under way: 1 connected, 0 still under way, -1 failed.
  int finishConnect(int timeoutMs);

  // Blocking connect to a dotted address or a host name (tests and tools; the Receiver thread
  // connects with beginConnect). False without a socket, for a port
  // outside 0..65535, an unresolvable name or a failed connect (the socket stays open for
  // the next attempt). On success the socket becomes non-blocking; if that fails the stream
  // is closed and the result is false.
  bool connect(const char* host, int port);

  // Bytes received (> 0), 0 when nothing is waiting, -1 on an error or a closed peer.
  int receive(void* destination, int count);
  // Bytes sent, 0 when the socket would block, -1 on an error.
  int send(const void* bytes, int count);

  // Closes the socket.
  void close();

  bool hasSocket() const { return socket_ != platform::kNoSocket; }
  platform::SocketHandle socket() const { return socket_; }

private:
  platform::SocketHandle socket_ = platform::kNoSocket;
};
