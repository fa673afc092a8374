#include "engine/NotifyTarget.h"

#include "engine/RunTag.h"

void NotifyTarget::setWindow(platform::WindowHandle window) noexcept {
  try {
    std::lock_guard lock(posting_);
    window_.store(window, std::memory_order_release);
  } catch (...) {
    // Locking an existing mutex does not fail in practice; the store must happen anyway.
    window_.store(window, std::memory_order_release);
  }
}

bool NotifyTarget::post(std::uint32_t message, std::uintptr_t value, std::intptr_t lParam) const noexcept {
  try {
    std::lock_guard lock(posting_);
    const platform::WindowHandle target = window_.load(std::memory_order_acquire);
    if (!target) return false;
    return platform::postMessage(target, message, runtag::tag(run(), value), lParam);
  } catch (...) {
    return false;
  }
}
