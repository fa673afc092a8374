#pragma once
// Time as the viewer sees it: a millisecond tick that wraps (as GetTickCount does) and
// fixed pauses.
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; unsigned 32-bit, wraps after about 49.7 days.
// Compare ticks only by unsigned difference. With the environment variable
// CAMVIEW_TICK_START=<n> the first tick of the process is n (e.g. 4294965296: the tick wraps
// two seconds after start), so that the wrap-around can be exercised in tests and demos.
std::uint32_t tickCount();

// Pauses the calling thread for about `milliseconds`.
void sleepMs(std::uint32_t milliseconds);

} // namespace platform
