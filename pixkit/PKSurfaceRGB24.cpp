#include "pixkit/PKSurfaceRGB24.h"

CPKSurfaceRGB24::CPKSurfaceRGB24(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign)
    : CPKSurface(3, width, height, pitch, buffer, flipY, rowAlign) {}

void CPKSurfaceRGB24::blendPixel(int x, int y, unsigned long colour, int alpha) {
  int row;
  if (!address(x, y, row)) return;
  alpha = clampAlpha(alpha);
  unsigned char* p = pixelAt(x, row);
  const std::uint64_t c = colour;
  const int shifts[3] = {m_blue.shift, m_green.shift, m_red.shift};
  for (int k = 0; k < 3; ++k) {
    const unsigned s = static_cast<unsigned>((c >> shifts[k]) & 0xFF);
    if (alpha == 255) {
      p[k] = static_cast<unsigned char>(s);
    } else {
      // Divisor 256: only alpha 255 copies exactly (handled above).
      p[k] = static_cast<unsigned char>((s * alpha + p[k] * (255u - alpha)) >> 8);
    }
  }
}

void CPKSurfaceRGB24::setPixel(int x, int y, unsigned long value) {
  int row;
  if (!address(x, y, row)) return;
  store(pixelAt(x, row), static_cast<std::uint32_t>(value));
}

void CPKSurfaceRGB24::setPixelIndexed(int x, int y, unsigned short index) {
  int row;
  if (m_colourTable == nullptr || !address(x, y, row)) return;
  store(pixelAt(x, row), m_colourTable[index]);
}

void CPKSurfaceRGB24::fillSpanIndexed(int x, int y, unsigned short index, int count) {
  int x0, y0, x1, y1;
  if (m_colourTable == nullptr || !visibleRange(x, y, static_cast<long long>(x) + count - 1, y, x0, y0, x1, y1)) {
    return;
  }
  const int row = m_flipY ? m_height - 1 - y0 : y0;
  const std::uint32_t v = m_colourTable[index];
  unsigned char* p = pixelAt(x0, row);
  for (int i = x0; i < x1; ++i, p += 3) store(p, v);
}
