#include "engine/SocketStream.h"

#include "engine/PictureLimits.h"
#include "engine/TaggedMessage.h"

#include <cstring>
#include <new>

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

bool CSocketStream::fill(std::int32_t want) {
  if (want < 0) return false;
  // A header is read into whatever buffer there is; the size of a whole message decides
  // whether the buffer grows or, after a far larger message, shrinks.
  const bool shrink = want > CTaggedMessage::kHeaderSize && want > buffered_ && limits::mustReallocate(capacity_, want);
  if (capacity_ < want || shrink) {
    auto* block = new (std::nothrow) std::uint8_t[std::size_t(want)];
    if (!block) return false;
    if (buffered_ > 0) std::memcpy(block, receiveBuffer_, std::size_t(buffered_));
    delete[] receiveBuffer_;
    receiveBuffer_ = block;
    capacity_ = want;
  }
  if (want > buffered_) {
    const int received = receive(receiveBuffer_ + buffered_, want - buffered_);
    if (received < 0) return false;
    buffered_ += received;
    totalReceived_ += std::uint64_t(received);
  }
  return true;
}

void CSocketStream::consume(std::int32_t count) {
  if (count <= 0) return;
  if (count >= buffered_) {
    buffered_ = 0;
    return;
  }
  std::memmove(receiveBuffer_, receiveBuffer_ + count, std::size_t(buffered_ - count));
  buffered_ -= count;
}

void CSocketStream::close() {
  platform::socketClose(socket_);
  socket_ = platform::kNoSocket;
  delete[] receiveBuffer_;
  receiveBuffer_ = nullptr;
  capacity_ = 0;
  buffered_ = 0;
}
