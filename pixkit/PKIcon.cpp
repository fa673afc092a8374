#include "pixkit/PKIcon.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "pixkit/PKTypes.h"

CPKIcon::CPKIcon(int width, int height, unsigned char* alpha) : m_width(width), m_height(height), m_alpha(alpha) {}

CPKIcon::~CPKIcon() { delete[] m_alpha; }

void CPKIcon::paint(CPKSurface& surface, int x, int y, unsigned long colour) const {
  if (m_alpha == nullptr) return;
  // Only the rows and columns that can land on the surface are walked.
  int x0, y0, x1, y1;
  if (!surface.visibleRange(x, y, static_cast<long long>(x) + m_width - 1, static_cast<long long>(y) + m_height - 1, x0,
                            y0, x1, y1)) {
    return;
  }
  for (int py = y0; py < y1; ++py) {
    const unsigned char* row = m_alpha + static_cast<std::size_t>(py - y) * m_width;
    for (int px = x0; px < x1; ++px) {
      const unsigned char a = row[px - x];
      if (a != 0) surface.blendPixel(px, py, colour, a);
    }
  }
}

namespace pixkit {

CPKIcon* makeIcon(const unsigned char* pixels, int width, int height, long long stride, int flags, int low, int high) {
  if (width < 0 || height < 0) return nullptr;
  const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (count > static_cast<std::uint64_t>(PTRDIFF_MAX)) return nullptr;
  if (count != 0 && pixels == nullptr) return nullptr;
  unsigned char* alpha = new (std::nothrow) unsigned char[count == 0 ? 1 : count];
  if (alpha == nullptr) return nullptr;
  CPKIcon* icon = new (std::nothrow) CPKIcon(width, height, alpha);
  if (icon == nullptr) {
    delete[] alpha;
    return nullptr;
  }
  if (count == 0) return icon; // nothing to map (and no rows to walk)
  const bool flipY = (flags & PKICON_FLIPY) != 0;
  const bool mirror = (flags & PKICON_MIRROR) != 0;
  const bool invert = (flags & PKICON_INVERT) != 0;
  const std::int64_t range = static_cast<std::int64_t>(high) - low;
  for (int i = 0; i < height; ++i) {
    const long long sourceRow = flipY ? height - 1 - i : i;
    const unsigned char* src = pixels + sourceRow * stride;
    unsigned char* out = alpha + static_cast<std::size_t>(i) * width;
    for (int j = 0; j < width; ++j, src += 3) {
      int grey = (src[0] + src[1] + src[2]) / 3;
      if (invert) grey = 255 - grey;
      const std::int64_t a = std::clamp<std::int64_t>(low + range * grey / 255, 0, 255);
      out[mirror ? width - 1 - j : j] = static_cast<unsigned char>(a);
    }
  }
  return icon;
}

} // namespace pixkit
