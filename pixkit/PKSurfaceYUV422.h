#pragma once

#include "pixkit/PKSurface.h"
#include "pixkit/PKTypes.h"

// Planar YCbCr 4:2:2 destination. Pixel (x, y) is Y[p] with chroma Cb[p / 2] and
// Cr[p / 2], p = x + row * stride: the two pixels of a horizontal pair share their
// chroma, so writing either pixel sets the chroma of both.
class CAMVIEW_PIXKIT_API CPKSurfaceYUV422 : public CPKSurface {
public:
  // buffer points to a CPKPlanes record; its three pointers are copied.
  CPKSurfaceYUV422(int width, int height, int pitch, char* buffer, bool flipY, int rowAlign);

  void blendPixel(int x, int y, unsigned long colour, int alpha) override;
  void setPixel(int x, int y, unsigned long value) override;
  void setPixelIndexed(int x, int y, unsigned short index) override;
  void fillSpanIndexed(int x, int y, unsigned short index, int count) override;
  void setDestination(int width, int height, int pitch, char* buffer, int rowAlign) override;

  const CPKPlanes& planes() const { return m_planes; }

private:
  void copyPlanes(char* buffer);
  long long offsetOf(int x, int row) const { return x + static_cast<long long>(row) * m_stride; }
  std::uint32_t read(long long p) const;
  void write(long long p, std::uint32_t ycbcr);

  CPKPlanes m_planes;
};
