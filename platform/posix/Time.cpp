#include "platform/Time.h"

#include <cerrno>
#include <ctime>

#include "platform/common/TickStart.h"

namespace platform {

std::uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Truncation to 32 bits is the wrap-around GetTickCount has.
  auto raw = static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                        static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
  return raw + detail::tickOffset(raw);
}

void sleepMs(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000u), static_cast<long>(milliseconds % 1000u) * 1000000L};
  // A signal handler may cut the pause short; sleep the rest.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {}
}

} // namespace platform
