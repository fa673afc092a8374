#include "recorder/server/WallClock.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace recorder {

WallClockReading readWallClock() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  {
    // std::localtime shares one result buffer between threads.
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    if (const std::tm* result = std::localtime(&seconds)) local = *result;
  }
  char date[48], time[48];
  std::snprintf(date, sizeof date, "%02d.%02d.%02d", local.tm_mday, local.tm_mon + 1, local.tm_year % 100);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  WallClockReading reading;
  reading.date = date;
  reading.time = time;
  reading.millisecondOfDay =
      ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + static_cast<std::int64_t>(milliseconds);
  return reading;
}

} // namespace recorder
