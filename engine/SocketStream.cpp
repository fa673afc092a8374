#include "engine/SocketStream.h"

bool CSocketStream::open() {
  close();
  socket_ = platform::socketCreate();
  return socket_ != platform::kNoSocket;
}

bool CSocketStream::connect(const char* host, int port) {
  if (!hasSocket() || port < 0 || port > 65535 || host == nullptr) return false;
  if (!platform::socketConnect(socket_, host, port)) return false;
  if (!platform::socketSetNonBlocking(socket_)) {
    close();
    return false;
  }
  return true;
}

int CSocketStream::beginConnect(platform::Address address, int port) {
  if (!hasSocket()) return -1;
  return platform::socketConnectStart(socket_, address, port);
}

int CSocketStream::finishConnect(int timeoutMs) {
  if (!hasSocket()) return -1;
  return platform::socketConnectWait(socket_, timeoutMs);
}

int CSocketStream::receive(void* destination, int count) {
  if (!hasSocket()) return -1;
  return platform::socketReceive(socket_, destination, count);
}

int CSocketStream::send(const void* bytes, int count) {
  if (!hasSocket()) return -1;
  return platform::socketSend(socket_, bytes, count);
}

void CSocketStream::close() {
  platform::socketClose(socket_);
  socket_ = platform::kNoSocket;
}
