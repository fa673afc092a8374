#include "platform/common/TickStart.h"

#include <cstdlib>

namespace platform::detail {

namespace {
std::uint32_t offsetFor(std::uint32_t rawNow) {
  const char* text = std::getenv("CAMVIEW_TICK_START");
  if (text == nullptr || text[0] == '\0') return 0;
  char* end = nullptr;
  unsigned long long start = std::strtoull(text, &end, 10);
  if (*end != '\0' || start > 0xFFFFFFFFull) return 0;
  return static_cast<std::uint32_t>(start) - rawNow;
}
} // namespace

std::uint32_t tickOffset(std::uint32_t rawNow) {
  static const std::uint32_t offset = offsetFor(rawNow); // thread-safe one-time init
  return offset;
}

} // namespace platform::detail
