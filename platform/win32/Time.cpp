#include "platform/Time.h"

#include <windows.h>

#include "platform/common/TickStart.h"

namespace platform {

std::uint32_t tickCount() {
  std::uint32_t raw = GetTickCount();
  return raw + detail::tickOffset(raw);
}

void sleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

} // namespace platform
