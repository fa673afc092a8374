#pragma once
// A flag that one thread raises and another waits for with a time limit. The pauses of the
// viewer's worker threads wait on one, so that a stop ends them at once instead of after
// the pause.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class WakeEvent {
public:
  WakeEvent() = default;
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // Raises the flag and wakes every waiter. The flag stays up until reset.
  void signal() noexcept;
  void reset() noexcept;
  bool signalled() const noexcept;
  // Waits until the flag is up or `milliseconds` have passed; true when it is up.
  bool wait(std::uint32_t milliseconds) noexcept;

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

} // namespace platform
