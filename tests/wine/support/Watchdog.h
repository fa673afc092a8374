#pragma once
// Bounds a call that must return: when it has not returned after a generous time, the
// process reports what hangs and ends with a failure (the stuck thread cannot be freed).
#include <windows.h>

#include <string>

namespace winetest {

class Watchdog {
public:
  Watchdog(int limitMs, std::string what);
  ~Watchdog(); // the call returned
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

private:
  static DWORD WINAPI watch(void* self);
  int limitMs_;
  std::string what_;
  HANDLE returned_ = nullptr;
  HANDLE thread_ = nullptr;
};

} // namespace winetest
