#pragma once
// A picture as the sources produce it: 8-bit red, green, blue per pixel, rows top-down and
// packed (stride = 3 x width).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace recorder {

struct RgbFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  void resize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    pixels.assign(static_cast<std::size_t>(newWidth) * static_cast<std::size_t>(newHeight) * 3, 0);
  }
  int stride() const { return width * 3; }
  std::uint8_t* pixel(int x, int y) { return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
  const std::uint8_t* pixel(int x, int y) const {
    return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
  }
};

} // namespace recorder
