// The viewer's window in a browser page is the queued window of platform/posix/Window.cpp,
// pumped by the page's main thread. A post from any thread wakes that thread through the
// page's camviewWake hook, once until the next pump begins, so no thread polls.
#include "platform/posix/WindowWake.h"

#include <emscripten.h>
#include <emscripten/threading.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<bool> wakePending{false};

} // namespace

void wakeWindowThread() noexcept {
  if (wakePending.exchange(true, std::memory_order_acq_rel)) return;
  MAIN_THREAD_ASYNC_EM_ASM({
    if (Module['camviewWake']) Module['camviewWake']();
  });
}

} // namespace platform

// The page's pump begins: posts from now on wake the main thread again.
extern "C" EMSCRIPTEN_KEEPALIVE void camview_wake_taken() {
  platform::wakePending.store(false, std::memory_order_release);
}
