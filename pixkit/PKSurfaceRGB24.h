#pragma once

#include "pixkit/PKSurface.h"

// Packed 24-bit destination: three bytes per pixel, rows stride bytes apart. With the
// channel masks 0xFF0000, 0x00FF00, 0x0000FF a colour word 0x00RRGGBB is stored as the
// bytes BB, GG, RR.
class CAMVIEW_PIXKIT_API CPKSurfaceRGB24 : public CPKSurface {
public:
  CPKSurfaceRGB24(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign);

  void blendPixel(int x, int y, unsigned long colour, int alpha) override;
  void setPixel(int x, int y, unsigned long value) override;
  void setPixelIndexed(int x, int y, unsigned short index) override;
  void fillSpanIndexed(int x, int y, unsigned short index, int count) override;

private:
  unsigned char* pixelAt(int x, int row) const {
    return reinterpret_cast<unsigned char*>(m_buffer) + static_cast<long long>(row) * m_stride + 3LL * x;
  }
  static void store(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
  }
};
