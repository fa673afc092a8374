#include "recorder/sources/Resample.h"

#include <algorithm>

namespace recorder {
namespace {

// Halves the image by averaging 2 x 2 blocks (the odd last row or column is kept single).
RgbFrame halve(const RgbFrame& source) {
  RgbFrame out;
  out.resize((source.width + 1) / 2, (source.height + 1) / 2);
  for (int y = 0; y < out.height; ++y) {
    const int y0 = 2 * y, y1 = std::min(2 * y + 1, source.height - 1);
    for (int x = 0; x < out.width; ++x) {
      const int x0 = 2 * x, x1 = std::min(2 * x + 1, source.width - 1);
      for (int c = 0; c < 3; ++c) {
        const int sum =
            source.pixel(x0, y0)[c] + source.pixel(x1, y0)[c] + source.pixel(x0, y1)[c] + source.pixel(x1, y1)[c];
        out.pixel(x, y)[c] = static_cast<std::uint8_t>((sum + 2) / 4);
      }
    }
  }
  return out;
}

} // namespace

void resampleTo(const RgbFrame& source, int width, int height, RgbFrame& out) {
  out.resize(width, height);
  if (source.width <= 0 || source.height <= 0 || width <= 0 || height <= 0) return;
  RgbFrame reduced;
  const RgbFrame* from = &source;
  while (from->width >= 2 * width * 2 || from->height >= 2 * height * 2) {
    reduced = halve(*from);
    from = &reduced;
  }
  // Bilinear, sampling at pixel centres. Fixed point with 8 fractional bits.
  for (int y = 0; y < height; ++y) {
    const long long sy = std::max(0LL, (2LL * y + 1) * from->height * 256 / (2LL * height) - 128);
    const int y0 = std::min(static_cast<int>(sy >> 8), from->height - 1);
    const int y1 = std::min(y0 + 1, from->height - 1);
    const int fy = static_cast<int>(sy & 255);
    for (int x = 0; x < width; ++x) {
      const long long sx = std::max(0LL, (2LL * x + 1) * from->width * 256 / (2LL * width) - 128);
      const int x0 = std::min(static_cast<int>(sx >> 8), from->width - 1);
      const int x1 = std::min(x0 + 1, from->width - 1);
      const int fx = static_cast<int>(sx & 255);
      for (int c = 0; c < 3; ++c) {
        const int top = from->pixel(x0, y0)[c] * (256 - fx) + from->pixel(x1, y0)[c] * fx;
        const int bottom = from->pixel(x0, y1)[c] * (256 - fx) + from->pixel(x1, y1)[c] * fx;
        out.pixel(x, y)[c] = static_cast<std::uint8_t>((top * (256 - fy) + bottom * fy + 32768) >> 16);
      }
    }
  }
}

} // namespace recorder
