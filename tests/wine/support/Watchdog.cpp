#include "tests/wine/support/Watchdog.h"

#include <cstdio>

namespace winetest {

Watchdog::Watchdog(int limitMs, std::string what) : limitMs_(limitMs), what_(std::move(what)) {
  returned_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, watch, this, 0, nullptr);
}

Watchdog::~Watchdog() {
  SetEvent(returned_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(returned_);
}

DWORD WINAPI Watchdog::watch(void* self) {
  auto* watchdog = static_cast<Watchdog*>(self);
  if (WaitForSingleObject(watchdog->returned_, static_cast<DWORD>(watchdog->limitMs_)) == WAIT_OBJECT_0) return 0;
  std::fprintf(stderr, "FAILED: %s did not return within %d ms\n", watchdog->what_.c_str(), watchdog->limitMs_);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return 1;
}

} // namespace winetest
