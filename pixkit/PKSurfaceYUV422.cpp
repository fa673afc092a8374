#include "pixkit/PKSurfaceYUV422.h"

#include "pixkit/PKColourSpace.h"

CPKSurfaceYUV422::CPKSurfaceYUV422(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign)
    : CPKSurface(1, width, height, pitch, buffer, flipY, rowAlign) {
  copyPlanes(buffer);
}

void CPKSurfaceYUV422::setDestination(int width, int height, int pitch, char* buffer, int rowAlign) {
  CPKSurface::setDestination(width, height, pitch, buffer, rowAlign);
  copyPlanes(buffer);
}

void CPKSurfaceYUV422::copyPlanes(char* buffer) {
  m_planes = CPKPlanes{};
  if (buffer != nullptr) m_planes = *reinterpret_cast<const CPKPlanes*>(buffer);
  if (m_planes.y == nullptr || m_planes.cb == nullptr || m_planes.cr == nullptr) {
    m_width = 0; // nothing to draw on
    m_height = 0;
  }
}

std::uint32_t CPKSurfaceYUV422::read(long long p) const {
  return m_planes.y[p] | (m_planes.cb[p / 2] << 8) | (m_planes.cr[p / 2] << 16);
}

void CPKSurfaceYUV422::write(long long p, std::uint32_t ycbcr) {
  m_planes.y[p] = static_cast<unsigned char>(ycbcr);
  m_planes.cb[p / 2] = static_cast<unsigned char>(ycbcr >> 8);
  m_planes.cr[p / 2] = static_cast<unsigned char>(ycbcr >> 16);
}

void CPKSurfaceYUV422::setPixel(int x, int y, unsigned long value) {
  int row;
  if (!address(x, y, row)) return;
  write(offsetOf(x, row), rgbToYCbCr(static_cast<std::uint32_t>(value)));
}

void CPKSurfaceYUV422::blendPixel(int x, int y, unsigned long colour, int alpha) {
  int row;
  if (!address(x, y, row)) return;
  alpha = clampAlpha(alpha);
  const long long p = offsetOf(x, row);
  const std::uint64_t c = colour;
  const int shifts[3] = {m_blue.shift, m_green.shift, m_red.shift};
  if (alpha == 255) {
    write(p, rgbToYCbCr(static_cast<std::uint32_t>(colour)));
    return;
  }
  const std::uint32_t old = yCbCrToRgb(read(p));
  std::uint32_t blended = 0;
  for (int k = 0; k < 3; ++k) {
    const unsigned s = static_cast<unsigned>((c >> shifts[k]) & 0xFF);
    const unsigned o = (old >> (8 * k)) & 0xFF;
    blended |= ((s * alpha + o * (255u - alpha)) >> 8 & 0xFFu) << (8 * k);
  }
  write(p, rgbToYCbCr(blended));
}

void CPKSurfaceYUV422::setPixelIndexed(int x, int y, unsigned short index) {
  int row;
  if (m_colourTable == nullptr || !address(x, y, row)) return;
  write(offsetOf(x, row), rgbToYCbCr(m_colourTable[index]));
}

void CPKSurfaceYUV422::fillSpanIndexed(int x, int y, unsigned short index, int count) {
  int x0, y0, x1, y1;
  if (m_colourTable == nullptr || !visibleRange(x, y, static_cast<long long>(x) + count - 1, y, x0, y0, x1, y1)) {
    return;
  }
  const int row = m_flipY ? m_height - 1 - y0 : y0;
  const std::uint32_t v = rgbToYCbCr(m_colourTable[index]);
  for (int i = x0; i < x1; ++i) write(offsetOf(i, row), v);
}
