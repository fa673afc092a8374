#include "platform/paint/SoftwareCanvas.h"

#include <algorithm>
#include <cstring>

namespace paint {

void SoftwareCanvas::resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<std::size_t>(width_) * height_ * 3, 0);
}

std::uint32_t SoftwareCanvas::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3];
  return (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

int SoftwareCanvas::setStretchMode(int mode) {
  if (mode < 1 || mode > 4) return 0;
  int previous = stretchMode_;
  stretchMode_ = mode;
  return previous;
}

namespace {

// The source pixel that GDI's StretchDIBits (COLORONCOLOR) shows at destination pixel k, as
// an offset into the source rectangle, when `source` pixels are stretched over `dest` (both
// positive; k < dest). Measured pixel by pixel against Wine's GDI, which samples at pixel centres:
// - growing or 1:1: the source pixel under the destination pixel's centre, the one before
//   when the centre falls on a boundary: ceil((k + 1/2) x source / dest) - 1;
// - shrinking: source pixel j lands on destination pixel ceil((j + 1/2) x dest / source) - 1;
//   where several land on one, a column shows the last of them and a row the first.
// Counted in the direction of the destination extent, so mirrored blits mirror the choice.
long long stretchSource(long long k, long long s, long long d, bool keepFirst) {
  if (s <= d) return ((2 * k + 1) * s - 1) / (2 * d);
  if (keepFirst) return (2 * k * s + d) / (2 * d);
  return (2 * (k + 1) * s - d) / (2 * d);
}

} // namespace

// Destination pixels outside the canvas are clipped without changing the choice of source
// pixels (as GDI clips). Every stretch mode samples this way here; COLORONCOLOR, the only one
// the viewer uses, is exactly this.
void SoftwareCanvas::stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                                const Dib24& dib) {
  if (!dib.bits || dib.width <= 0 || dib.height == 0 || wDest == 0 || hDest == 0 || wSrc <= 0 || hSrc <= 0) return;
  if (width_ == 0 || height_ == 0) return; // no pixels: not even a row to address
  const bool bottomUp = dib.height > 0;
  const long long dibHeight = bottomUp ? dib.height : -static_cast<long long>(dib.height);
  const int stride = dibStride(dib.width);
  const auto* src = static_cast<const std::uint8_t*>(dib.bits);

  // Wine's GDI counts ySrc from the bottom row for top-down bitmaps too, so the source
  // rectangle's top picture row is dibHeight - ySrc - hSrc either way.
  const long long srcTop = dibHeight - ySrc - hSrc;
  const long long destColumns = wDest < 0 ? -static_cast<long long>(wDest) : wDest;
  const long long destRows = hDest < 0 ? -static_cast<long long>(hDest) : hDest;
  const int stepX = wDest < 0 ? -1 : 1;
  const int stepY = hDest < 0 ? -1 : 1;

  // Each canvas column's source column, or -1 where the blit copies nothing (outside the
  // destination, or a source column outside the bitmap). Walking the canvas rather than the
  // destination bounds the work by the canvas, whatever the extents.
  sourceColumns_.assign(static_cast<std::size_t>(width_), -1);
  for (int x = 0; x < width_; ++x) {
    const long long c = (static_cast<long long>(x) - xDest) * stepX;
    if (c < 0 || c >= destColumns) continue;
    const long long column = static_cast<long long>(xSrc) + stretchSource(c, wSrc, destColumns, false);
    if (column >= 0 && column < dib.width) sourceColumns_[x] = static_cast<int>(column);
  }
  // The usual case, 1:1 columns that lie inside both: one copy per row.
  const bool copyRows = stepX > 0 && destColumns == wSrc && xDest >= 0 && xDest + destColumns <= width_ && xSrc >= 0 &&
                        static_cast<long long>(xSrc) + wSrc <= dib.width;

  for (int y = 0; y < height_; ++y) {
    const long long k = (static_cast<long long>(y) - yDest) * stepY;
    if (k < 0 || k >= destRows) continue;
    const long long pictureRow = srcTop + stretchSource(k, hSrc, destRows, true);
    if (pictureRow < 0 || pictureRow >= dibHeight) continue;
    const long long memoryRow = bottomUp ? dibHeight - 1 - pictureRow : pictureRow;
    const std::uint8_t* srcRow = src + static_cast<std::size_t>(memoryRow) * stride;
    std::uint8_t* destRow = &pixels_[static_cast<std::size_t>(y) * width_ * 3];
    if (copyRows) {
      std::memcpy(destRow + xDest * 3, srcRow + xSrc * 3, std::size_t(destColumns) * 3);
      continue;
    }
    for (int x = 0; x < width_; ++x)
      if (sourceColumns_[x] >= 0) std::memcpy(destRow + x * 3, srcRow + sourceColumns_[x] * 3, 3);
  }
}

void SoftwareCanvas::fillSolid(const Rect& area, std::uint32_t colorRef) {
  const int left = std::max(area.left, 0);
  const int top = std::max(area.top, 0);
  const int right = std::min(area.right, width_);
  const int bottom = std::min(area.bottom, height_);
  const std::uint8_t red = colorRef & 0xFF;
  const std::uint8_t green = (colorRef >> 8) & 0xFF;
  const std::uint8_t blue = (colorRef >> 16) & 0xFF;
  if (left >= right) return; // also a canvas of no width, whose rows have no first pixel
  for (int y = top; y < bottom; ++y) {
    std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + left) * 3];
    for (int x = left; x < right; ++x, p += 3) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }
}

} // namespace paint
