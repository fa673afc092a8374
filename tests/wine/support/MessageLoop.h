#pragma once
// The message loop of a test's window thread: runs until a condition holds, bounded by a
// generous time, waiting for input between rounds rather than sleeping.
#include <functional>

namespace winetest {

// Dispatches every message queued for this thread.
void dispatchPending();

// Calls `pump` (dispatchPending unless given) and checks `done` until it holds (true) or
// `timeoutMs` has passed (false).
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 30000,
               const std::function<void()>& pump = dispatchPending);

} // namespace winetest
