#pragma once
// How a post or an invalidate reaches the thread that pumps queued windows, beyond the
// window's condition variable and its waker: nothing more on Linux; in a browser page the
// main thread, which never waits, is woken through the page.

namespace platform {

// Called after every successful post and invalidate, from any thread.
void wakeWindowThread() noexcept;

} // namespace platform
