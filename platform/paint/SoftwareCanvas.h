#pragma once
// A 24-bit pixel buffer that behaves as the GDI device context of a window of its size:
// stretch blits that pick the same source pixels as GDI's StretchDIBits with COLORONCOLOR,
// mirrored blits for negative destination extents, and solid fills. Pixels outside the
// canvas are clipped. (A source rectangle reaching outside the bitmap, which the viewer never
// blits, copies only the pixels that lie in the bitmap; GDI would clip and rescale it.)
#include "platform/paint/Canvas.h"

#include <cstdint>
#include <vector>

namespace paint {

class SoftwareCanvas final : public Canvas {
public:
  SoftwareCanvas() = default;
  SoftwareCanvas(int width, int height) { resize(width, height); }

  // New size; the content becomes black. Negative sizes count as 0.
  void resize(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Rows top-down, three bytes per pixel (blue, green, red), rows width x 3 apart.
  const std::uint8_t* pixels() const { return pixels_.data(); }
  std::uint8_t* pixels() { return pixels_.data(); }
  int stride() const { return width_ * 3; }

  // The pixel at (x, y) as a colour word 0x00RRGGBB; 0 outside the canvas.
  std::uint32_t pixel(int x, int y) const;

  int setStretchMode(int mode) override;
  void stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                  const Dib24& dib) override;
  void fillSolid(const Rect& area, std::uint32_t colorRef) override;

private:
  int width_ = 0;
  int height_ = 0;
  int stretchMode_ = kStretchBlackOnWhite;
  std::vector<std::uint8_t> pixels_;
  std::vector<int> sourceColumns_; // a blit's source column per destination column, kept for reuse
};

} // namespace paint
