// Still images handed to the recorder: any bytes as a PNG file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "recorder/sources/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  recorder::RgbFrame frame;
  std::string error;
  if (recorder::decodePng(data, size, frame, error) &&
      frame.pixels.size() != static_cast<std::size_t>(frame.width) * frame.height * 3)
    __builtin_trap();
  return 0;
}
