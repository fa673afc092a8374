#pragma once
// Local date and time for the picture header and the test pattern's clock.
#include <cstdint>
#include <string>

namespace recorder {

struct WallClockReading {
  std::string date;              // "dd.mm.yy"
  std::string time;              // "hh:mm:ss"
  std::int64_t millisecondOfDay; // 0 .. 86,399,999
};

WallClockReading readWallClock();

} // namespace recorder
