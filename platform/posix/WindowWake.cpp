#include "platform/posix/WindowWake.h"

namespace platform {

// A Linux owner waits on the window's condition variable or on its waker: nothing to add.
void wakeWindowThread() noexcept {}

} // namespace platform
