#pragma once
// Time as the viewer sees it: a millisecond tick that wraps (as GetTickCount does) and
// fixed pauses.
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; unsigned 32-bit, wraps after about 49.7 days.
// Compare ticks only by unsigned difference.
std::uint32_t tickCount();

// Pauses the calling thread for about `milliseconds`.
void sleepMs(std::uint32_t milliseconds);

} // namespace platform
