// Linux and browser stand-in for a window's message queue: a MessageWindow is a locked queue
// that its owner pumps. Handles are looked up in a registry of live windows, so a post to a
// window that no longer exists fails as PostMessageA does on Windows instead of touching freed
// memory. Only the way a post wakes the pumping thread differs (posix/WindowWake.h).
#include "platform/Window.h"

#include "platform/SocketWaiter.h"
#include "platform/posix/WindowWake.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

struct MessageWindow::Impl {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<WindowMessage> queue;
  std::vector<WindowMessage> batch; // owner's thread only; swapped with queue on each pump
  bool invalidated = false;
  bool erase = false;
  std::atomic<SocketWaiter*> waker{nullptr};
};

namespace {

constexpr std::size_t kInitialQueueCapacity = 32;

// Lock order: registry mutex, then a window's mutex.
struct Registry {
  std::mutex mutex;
  std::unordered_map<WindowHandle, MessageWindow::Impl*> windows;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

// Called under the registry's lock, after the window's own lock is released.
void wakeOwner(MessageWindow::Impl& target) {
  target.changed.notify_all();
  if (SocketWaiter* waker = target.waker.load(std::memory_order_acquire)) waker->wake();
  wakeWindowThread();
}

} // namespace

MessageWindow::MessageWindow() : impl_(std::make_unique<Impl>()) {
  // Room for a few dozen messages from the start: a viewer's steady stream (a handful
  // queued at a time) never makes the queue grow.
  impl_->queue.reserve(kInitialQueueCapacity);
  impl_->batch.reserve(kInitialQueueCapacity);
  Registry& windows = registry();
  std::lock_guard lock(windows.mutex);
  windows.windows[handle()] = impl_.get();
}

MessageWindow::~MessageWindow() {
  Registry& windows = registry();
  std::lock_guard lock(windows.mutex);
  windows.windows.erase(handle());
}

WindowHandle MessageWindow::handle() const { return const_cast<MessageWindow*>(this); }

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == nullptr) return false;
  Registry& windows = registry();
  std::lock_guard registryLock(windows.mutex);
  auto found = windows.windows.find(window);
  if (found == windows.windows.end()) return false;
  MessageWindow::Impl& target = *found->second;
  try {
    std::lock_guard lock(target.mutex);
    target.queue.push_back(WindowMessage{message, wParam, lParam});
  } catch (...) {
    return false; // no memory for the queue: the post fails, as a full queue does on Windows
  }
  wakeOwner(target);
  return true;
}

void invalidate(WindowHandle window, bool erase) {
  if (window == nullptr) return;
  Registry& windows = registry();
  std::lock_guard registryLock(windows.mutex);
  auto found = windows.windows.find(window);
  if (found == windows.windows.end()) return;
  MessageWindow::Impl& target = *found->second;
  {
    std::lock_guard lock(target.mutex);
    target.invalidated = true;
    target.erase = target.erase || erase; // as with InvalidateRect, erase requests accumulate
  }
  wakeOwner(target);
}

void MessageWindow::setWaker(SocketWaiter* waiter) {
  // Under the registry's lock, which every post holds: once this returns no post wakes the
  // previous waiter any more.
  std::lock_guard lock(registry().mutex);
  impl_->waker.store(waiter, std::memory_order_release);
}

// A browser page's main thread must never block: it pumps with waitMs 0.
int MessageWindow::pump(const std::function<void(const WindowMessage&)>& handler, int waitMs) {
  // The queue and the batch trade places, so both keep their capacity: a steady stream of
  // messages allocates nothing.
  std::vector<WindowMessage>& batch = impl_->batch;
  batch.clear();
  {
    std::unique_lock lock(impl_->mutex);
    if (impl_->queue.empty() && !impl_->invalidated && waitMs > 0) {
      impl_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [this] { return !impl_->queue.empty() || impl_->invalidated; });
    }
    batch.swap(impl_->queue);
  }
  // Outside the lock: handlers post (also to this window); those wait for the next pump.
  for (const WindowMessage& message : batch) {
    if (handler) handler(message);
  }
  return static_cast<int>(batch.size());
}

bool MessageWindow::takeInvalidated(bool* erase) {
  std::lock_guard lock(impl_->mutex);
  bool wasInvalidated = impl_->invalidated;
  if (erase != nullptr) *erase = impl_->erase;
  impl_->invalidated = false;
  impl_->erase = false;
  return wasInvalidated;
}

bool messageWindowClassRegistered() { return false; }

} // namespace platform
