#include "pixkit/PKSurface16.h"

CPKSurface16::CPKSurface16(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign)
    : CPKSurface(2, width, height, pitch, buffer, flipY, rowAlign) {}

bool CPKSurface16::setChannelMasks(unsigned long redMask, unsigned long greenMask, unsigned long blueMask) {
  if ((redMask | greenMask | blueMask) > 0xFFFFul) return false;
  return CPKSurface::setChannelMasks(redMask, greenMask, blueMask);
}

void CPKSurface16::setPixel(int x, int y, unsigned long value) {
  int row;
  if (!address(x, y, row)) return;
  store(pixelAt(x, row), static_cast<std::uint32_t>(mapColour(value)));
}

void CPKSurface16::blendPixel(int x, int y, unsigned long colour, int alpha) {
  int row;
  if (!address(x, y, row)) return;
  alpha = clampAlpha(alpha);
  unsigned char* p = pixelAt(x, row);
  if (alpha == 255) {
    store(p, static_cast<std::uint32_t>(mapColour(colour)));
    return;
  }
  const std::uint32_t old = p[0] | (p[1] << 8);
  const std::uint32_t c = static_cast<std::uint32_t>(colour);
  const CPKChannel* channels[3] = {&m_blue, &m_green, &m_red};
  std::uint32_t blended = 0;
  for (int k = 0; k < 3; ++k) {
    const unsigned s = (c >> (8 * k)) & 0xFF;
    const unsigned o = channels[k]->toByte(old);
    blended |= (((s * alpha + o * (255u - alpha)) >> 8) & 0xFFu) << (8 * k);
  }
  store(p, static_cast<std::uint32_t>(mapColour(blended)));
}

void CPKSurface16::setPixelIndexed(int x, int y, unsigned short index) {
  int row;
  if (m_colourTable == nullptr || !address(x, y, row)) return;
  store(pixelAt(x, row), m_colourTable[index]);
}

void CPKSurface16::fillSpanIndexed(int x, int y, unsigned short index, int count) {
  int x0, y0, x1, y1;
  if (m_colourTable == nullptr || !visibleRange(x, y, static_cast<long long>(x) + count - 1, y, x0, y0, x1, y1)) {
    return;
  }
  const int row = m_flipY ? m_height - 1 - y0 : y0;
  const std::uint32_t v = m_colourTable[index];
  unsigned char* p = pixelAt(x0, row);
  for (int i = x0; i < x1; ++i, p += 2) store(p, v);
}
