#pragma once
// Lets one thread sleep until its socket has something to read or another thread wakes it.
// The Receiver thread waits between its passes with one, so that a picture is read as soon
// as its bytes arrive, a picture the window side has taken is followed at once by the next,
// a stop ends every wait, and an idle viewer costs no CPU. The desktop host waits with one
// for its X connection and its viewers' messages at once.
//
// POSIX: an eventfd polled beside the socket. Windows: an event that the socket's FD_READ
// and FD_CLOSE set (WSAEventSelect) beside a wake event, in WaitForMultipleObjects. A page
// (hosts/web): a condition variable its socket bridge signals.
#include "platform/Socket.h"

#include <cstdint>

namespace platform {

class SocketWaiter {
public:
  enum class Result { Readable, Woken, TimedOut };

  // A waiter whose system objects cannot be made still works, by polling: each wait then
  // lasts at most kFallbackSliceMs and reports Readable, so its owner looks at everything.
  static constexpr int kFallbackSliceMs = 20;

  SocketWaiter() noexcept;
  ~SocketWaiter();
  SocketWaiter(const SocketWaiter&) = delete;
  SocketWaiter& operator=(const SocketWaiter&) = delete;

  // Any thread (on POSIX also a signal handler): ends the wait under way, or else the next
  // one. Wakes that come before a wait takes them count as one.
  void wake() noexcept;

  // The owner's thread: waits up to `timeoutMs` (0: only looks; negative: without limit)
  // until `socket` is readable (data, a closed peer or an error: the next receive tells
  // which) or wake is called. With kNoSocket it waits for a wake alone. When both happened,
  // Woken is reported and the socket is found readable by the next wait or receive.
  Result wait(SocketHandle socket, int timeoutMs) noexcept;

  // False when the system objects could not be made (the waiter polls).
  bool valid() const noexcept;

private:
  // POSIX: [0] the eventfd. Windows: [0] the wake event, [1] the socket's event. A page:
  // [0] the bridge's state. -1: none.
  std::intptr_t handles_[2] = {-1, -1};
};

} // namespace platform
