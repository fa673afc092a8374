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

// Every destination pixel takes the source pixel at floor(k x srcExtent / destExtent) from
// the source rectangle's first column (top row), k counting from the destination's first
// column (row) in the direction the sign of the extent gives. Every stretch mode samples
// this way here; COLORONCOLOR, the only one the viewer uses, is exactly this.
void SoftwareCanvas::stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                                const Dib24& dib) {
  if (!dib.bits || dib.width <= 0 || dib.height == 0 || wDest == 0 || hDest == 0 || wSrc <= 0 || hSrc <= 0) return;
  if (width_ == 0 || height_ == 0) return; // no pixels: not even a row to address
  const bool bottomUp = dib.height > 0;
  const int dibHeight = bottomUp ? dib.height : -dib.height;
  const int stride = dibStride(dib.width);
  const auto* src = static_cast<const std::uint8_t*>(dib.bits);

  // Source rectangle as top-down picture rows: for a bottom-up bitmap ySrc counts from the
  // bottom, so its top row is dibHeight - ySrc - hSrc.
  const int srcTop = bottomUp ? dibHeight - ySrc - hSrc : ySrc;
  const int destColumns = wDest < 0 ? -wDest : wDest;
  const int destRows = hDest < 0 ? -hDest : hDest;
  const int stepX = wDest < 0 ? -1 : 1;
  const int stepY = hDest < 0 ? -1 : 1;

  for (int k = 0; k < destRows; ++k) {
    const int y = yDest + k * stepY;
    if (y < 0 || y >= height_) continue;
    const int pictureRow = srcTop + static_cast<int>(static_cast<long long>(k) * hSrc / destRows);
    if (pictureRow < 0 || pictureRow >= dibHeight) continue;
    const int memoryRow = bottomUp ? dibHeight - 1 - pictureRow : pictureRow;
    const std::uint8_t* srcRow = src + static_cast<std::size_t>(memoryRow) * stride;
    std::uint8_t* destRow = &pixels_[static_cast<std::size_t>(y) * width_ * 3];
    // The usual case, a 1:1 row that lies inside both: one copy.
    if (stepX > 0 && destColumns == wSrc && xDest >= 0 && xDest + destColumns <= width_ && xSrc >= 0 &&
        xSrc + wSrc <= dib.width) {
      std::memcpy(destRow + xDest * 3, srcRow + xSrc * 3, std::size_t(destColumns) * 3);
      continue;
    }
    // Otherwise the source column floor(c x wSrc / destColumns) from running sums.
    long long sum = 0;
    for (int c = 0; c < destColumns; ++c, sum += wSrc) {
      const int x = xDest + c * stepX;
      if (x < 0 || x >= width_) continue;
      const int column = xSrc + static_cast<int>(sum / destColumns);
      if (column < 0 || column >= dib.width) continue;
      std::memcpy(destRow + x * 3, srcRow + column * 3, 3);
    }
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
