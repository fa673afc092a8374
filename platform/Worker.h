#pragma once
// One worker thread and its stop request: the start and stop that every owner of a worker
// would otherwise write by hand. start clears the request and starts the thread; stop raises
// the request, wakes the thread through the owner's own wake-up (an event, a socket waiter),
// waits for its return, frees the handle and clears the request for the next start. The
// thread looks at stopRequested() at every pass and before every wait.
#include "platform/Thread.h"

#include <atomic>

namespace platform {

class Worker {
public:
  Worker() = default;
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Starts `entry(argument)` with no stop requested. True when a thread runs (also when one
  // already ran: no second one is started).
  bool start(ThreadEntry entry, void* argument) noexcept {
    if (thread_.running()) return true;
    stopRequest_.store(false, std::memory_order_release);
    thread_ = threadStart(entry, argument);
    return thread_.running();
  }

  // Owner's thread: asks the thread to stop, calls `wake()` so that a wait under way ends,
  // and returns once the thread has. Does nothing when no thread runs.
  template <typename Wake>
  void stop(Wake&& wake) noexcept {
    if (!thread_.running()) return;
    stopRequest_.store(true, std::memory_order_release);
    wake();
    threadRelease(thread_);
    stopRequest_.store(false, std::memory_order_release);
  }

  bool running() const noexcept { return thread_.running(); }
  // The worker's thread: true from a stop request until the owner has seen the thread end.
  bool stopRequested() const noexcept { return stopRequest_.load(std::memory_order_acquire); }

private:
  ThreadHandle thread_;
  std::atomic<bool> stopRequest_{false};
};

} // namespace platform
