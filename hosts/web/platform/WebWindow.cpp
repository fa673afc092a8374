// The viewer's window in a browser page: a MessageWindow is a locked message queue (as on
// Linux) that the page's main thread pumps. A post from any thread wakes the main thread
// through the page's camviewWake hook, once until the next pump begins, so no thread polls.
#include "platform/Window.h"

#include <emscripten.h>
#include <emscripten/threading.h>

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

struct MessageWindow::Impl {
  std::mutex mutex;
  std::vector<WindowMessage> queue;
  std::vector<WindowMessage> batch; // owner's thread only; swapped with queue on each pump
  bool invalidated = false;
  bool erase = false;
};

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<WindowHandle, MessageWindow::Impl*> windows;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

std::atomic<bool> wakePending{false};

void wakeMainThread() {
  if (wakePending.exchange(true, std::memory_order_acq_rel)) return;
  MAIN_THREAD_ASYNC_EM_ASM({
    if (Module['camviewWake']) Module['camviewWake']();
  });
}

// Runs `change` on the window's queue if the window still exists.
template <typename Change>
bool withWindow(WindowHandle window, Change change) {
  if (window == nullptr) return false;
  Registry& windows = registry();
  std::lock_guard registryLock(windows.mutex);
  auto found = windows.windows.find(window);
  if (found == windows.windows.end()) return false;
  std::lock_guard lock(found->second->mutex);
  change(*found->second);
  return true;
}

} // namespace

MessageWindow::MessageWindow() : impl_(std::make_unique<Impl>()) {
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
  const bool posted = withWindow(window, [&](MessageWindow::Impl& target) {
    target.queue.push_back({message, wParam, lParam});
  });
  if (posted) wakeMainThread();
  return posted;
}

void invalidate(WindowHandle window, bool erase) {
  const bool marked = withWindow(window, [&](MessageWindow::Impl& target) {
    target.invalidated = true;
    target.erase = target.erase || erase;
  });
  if (marked) wakeMainThread();
}

// The main thread must never block: `waitMs` is not used here.
int MessageWindow::pump(const std::function<void(const WindowMessage&)>& handler, int) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->batch.swap(impl_->queue);
  }
  for (const WindowMessage& message : impl_->batch) handler(message);
  const int count = int(impl_->batch.size());
  impl_->batch.clear();
  return count;
}

bool MessageWindow::takeInvalidated(bool* erase) {
  std::lock_guard lock(impl_->mutex);
  const bool was = impl_->invalidated;
  if (erase) *erase = impl_->erase;
  impl_->invalidated = false;
  impl_->erase = false;
  return was;
}

} // namespace platform

// The page's pump begins: posts from now on wake the main thread again.
extern "C" EMSCRIPTEN_KEEPALIVE void camview_wake_taken() {
  platform::wakePending.store(false, std::memory_order_release);
}
