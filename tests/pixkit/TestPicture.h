#pragma once
// The pixkit suites' pictures; they compare with testsupport::sameImage (tests/support).
#include "platform/paint/PngFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pixkit_test {

// A 24-bit test picture in the surface's own layout: bytes blue, green, red per pixel,
// rows `stride` bytes apart, row 0 first in memory.
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> bytes;

  Picture(int w, int h, std::uint32_t fill = 0);
  std::uint8_t* row(int y) { return bytes.data() + static_cast<std::size_t>(y) * stride; }
  const std::uint8_t* row(int y) const { return bytes.data() + static_cast<std::size_t>(y) * stride; }
  // 0x00RRGGBB of a pixel.
  std::uint32_t at(int x, int y) const;
  void set(int x, int y, std::uint32_t rgb);
  char* buffer() { return reinterpret_cast<char*>(bytes.data()); }
  // The rows as the golden-image comparison and the PNG writer take them.
  operator paint::PixelRows() const { return {width, height, bytes.data(), stride, paint::ChannelOrder::Bgr}; }
};

} // namespace pixkit_test
