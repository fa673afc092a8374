#pragma once

#include "pixkit/PKSurface.h"

// 16-bit destination: one little-endian 16-bit word per pixel, rows stride bytes apart.
// Colour words are packed through the channel masks (e.g. 0xF800, 0x07E0, 0x001F for
// 5-6-5), so every primitive stores what mapColour would give; blending expands each
// channel to 8 bits, blends like the 24-bit surface and packs the result again.
// Masks must lie within the low 16 bits.
class CAMVIEW_PIXKIT_API CPKSurface16 : public CPKSurface {
public:
  CPKSurface16(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign);

  void blendPixel(int x, int y, unsigned long colour, int alpha) override;
  void setPixel(int x, int y, unsigned long value) override;
  void setPixelIndexed(int x, int y, unsigned short index) override;
  bool setChannelMasks(unsigned long redMask, unsigned long greenMask, unsigned long blueMask) override;
  void fillSpanIndexed(int x, int y, unsigned short index, int count) override;

private:
  unsigned char* pixelAt(int x, int row) const {
    return reinterpret_cast<unsigned char*>(m_buffer) + static_cast<long long>(row) * m_stride + 2LL * x;
  }
  static void store(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
  }
};
