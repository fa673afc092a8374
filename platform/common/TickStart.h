#pragma once
// Optional start value of the millisecond tick, for exercising its wrap-around.

#include <cstdint>

namespace platform::detail {

// The offset to add to the system's raw tick so that the first tick of the process equals
// CAMVIEW_TICK_START (decimal), e.g. 4294965296 to wrap two seconds after start. Without
// the variable (or with an unreadable value) the offset is 0. `rawNow` is the raw tick at
// the first call; the offset is fixed then.
std::uint32_t tickOffset(std::uint32_t rawNow);

} // namespace platform::detail
