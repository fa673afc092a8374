#include "pixkit/PKSurface.h"

#include <algorithm>
#include <climits>
#include <new>

CPKSurface::CPKSurface(int bytesPerPixel, int width, int height, int pitch, char* buffer, bool flipY, int rowAlign)
    : m_flipY(flipY), m_bytesPerPixel(bytesPerPixel) {
  layOut(width, height, pitch, buffer, rowAlign);
}

CPKSurface::~CPKSurface() { delete[] m_colourTable; }

void CPKSurface::layOut(int width, int height, int pitch, char* buffer, int rowAlign) {
  m_width = width;
  m_height = height;
  m_pitch = pitch;
  m_buffer = buffer;
  long long stride = static_cast<long long>(pitch) * m_bytesPerPixel;
  if (rowAlign > 0 && stride > 0 && stride % rowAlign != 0) {
    stride += rowAlign - stride % rowAlign;
  }
  const bool strideFits = stride >= INT_MIN && stride <= INT_MAX;
  m_stride = strideFits ? static_cast<int>(stride) : 0;
  // Nothing is drawable without a buffer, with a negative size, or with a row distance
  // that cannot be represented.
  if (buffer == nullptr || width < 0 || height < 0 || !strideFits) {
    m_width = 0;
    m_height = 0;
  }
}

void CPKSurface::setDestination(int width, int height, int pitch, char* buffer, int rowAlign) {
  layOut(width, height, pitch, buffer, rowAlign);
}

bool CPKSurface::setChannelMasks(unsigned long redMask, unsigned long greenMask, unsigned long blueMask) {
  CPKChannel red = m_red, green = m_green, blue = m_blue;
  if (!red.setMask(redMask, 11, 5, 0xF800) || !green.setMask(greenMask, 5, 6, 0x07E0) ||
      !blue.setMask(blueMask, 0, 5, 0x001F)) {
    return false;
  }
  if (m_colourTable == nullptr) {
    m_colourTable = new (std::nothrow) std::uint32_t[kColourTableSize];
    if (m_colourTable == nullptr) return false;
  }
  m_red = red;
  m_green = green;
  m_blue = blue;
  // Each channel's part depends only on its own field of the index: compute the 32, 64
  // and 32 possible parts once and combine them.
  std::uint32_t redParts[32], greenParts[64], blueParts[32];
  for (std::uint32_t v = 0; v < 32; ++v) redParts[v] = m_red.partOfIndex(v << 11);
  for (std::uint32_t v = 0; v < 64; ++v) greenParts[v] = m_green.partOfIndex(v << 5);
  for (std::uint32_t v = 0; v < 32; ++v) blueParts[v] = m_blue.partOfIndex(v);
  for (std::uint32_t i = 0; i < kColourTableSize; ++i) {
    m_colourTable[i] = redParts[i >> 11] | greenParts[(i >> 5) & 63] | blueParts[i & 31];
  }
  return true;
}

unsigned long CPKSurface::mapColour(unsigned long colour) const {
  const std::uint32_t c = static_cast<std::uint32_t>(colour);
  return m_red.fromByte(c >> 16) | m_green.fromByte(c >> 8) | m_blue.fromByte(c);
}

bool CPKSurface::visibleRange(long long left, long long top, long long right, long long bottom, int& x0, int& y0,
                              int& x1, int& y1) const {
  const long long cx0 = std::max<long long>(left, 0);
  const long long cy0 = std::max<long long>(top, 0);
  const long long cx1 = std::min<long long>(right + 1, m_width);
  const long long cy1 = std::min<long long>(bottom + 1, m_height);
  if (cx0 >= cx1 || cy0 >= cy1) return false;
  x0 = static_cast<int>(cx0);
  y0 = static_cast<int>(cy0);
  x1 = static_cast<int>(cx1);
  y1 = static_cast<int>(cy1);
  return true;
}
