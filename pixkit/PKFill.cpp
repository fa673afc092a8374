#include "pixkit/PKFill.h"

#include <cstdint>

namespace pixkit {

void fillSolid(CPKSurface& surface, const CPKRectangle& rect, unsigned long value) {
  int x0, y0, x1, y1;
  if (!surface.visibleRange(rect.left, rect.top, rect.right, rect.bottom, x0, y0, x1, y1)) return;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) surface.setPixel(x, y, value);
  }
}

void fillAlpha(CPKSurface& surface, const CPKRectangle& rect, unsigned long colour, int alpha) {
  int x0, y0, x1, y1;
  if (!surface.visibleRange(rect.left, rect.top, rect.right, rect.bottom, x0, y0, x1, y1)) return;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) surface.blendPixel(x, y, colour, alpha);
  }
}

void fillGradient(CPKSurface& surface, const CPKRectangle& rect, unsigned long topLeft, unsigned long topRight,
                  unsigned long bottomLeft, unsigned long bottomRight) {
  const std::int64_t height = static_cast<std::int64_t>(rect.bottom) - rect.top + 1;
  const std::int64_t width = static_cast<std::int64_t>(rect.right) - rect.left + 1;
  if (height <= 0 || width <= 0) return;
  int x0, y0, x1, y1;
  if (!surface.visibleRange(rect.left, rect.top, rect.right, rect.bottom, x0, y0, x1, y1)) return;
  const std::uint64_t H = static_cast<std::uint64_t>(height);
  const std::uint64_t W = static_cast<std::uint64_t>(width);
  for (int y = y0; y < y1; ++y) {
    const std::uint64_t i = static_cast<std::uint64_t>(static_cast<std::int64_t>(y) - rect.top);
    std::uint64_t leftC[3], rightC[3];
    for (int k = 0; k < 3; ++k) {
      const int s = 8 * k;
      leftC[k] = (((topLeft >> s) & 0xFF) * (H - i) + ((bottomLeft >> s) & 0xFF) * i) / H;
      rightC[k] = (((topRight >> s) & 0xFF) * (H - i) + ((bottomRight >> s) & 0xFF) * i) / H;
    }
    for (int x = x0; x < x1; ++x) {
      const std::uint64_t j = static_cast<std::uint64_t>(static_cast<std::int64_t>(x) - rect.left);
      std::uint32_t pixel = 0;
      for (int k = 0; k < 3; ++k) {
        std::uint64_t v = (leftC[k] * (W - j) + rightC[k] * j) / W;
        if (v > 255) v = 255;
        pixel |= static_cast<std::uint32_t>(v) << (8 * k);
      }
      surface.setPixel(x, y, pixel);
    }
  }
}

} // namespace pixkit
