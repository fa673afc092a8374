#include "platform/WakeEvent.h"

#include <chrono>

namespace platform {

// The standard primitives report only resource exhaustion by exceptions, which a mutex and
// a condition variable that already exist do not meet; a failure is taken as "not signalled".

void WakeEvent::signal() noexcept {
  try {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    changed_.notify_all();
  } catch (...) {}
}

void WakeEvent::reset() noexcept {
  try {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  } catch (...) {}
}

bool WakeEvent::signalled() const noexcept {
  try {
    std::lock_guard lock(mutex_);
    return signalled_;
  } catch (...) {
    return false;
  }
}

bool WakeEvent::wait(std::uint32_t milliseconds) noexcept {
  try {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; });
  } catch (...) {
    return false;
  }
}

} // namespace platform
