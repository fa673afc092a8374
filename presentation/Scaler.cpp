#include "presentation/Scaler.h"

#include "decoder/RowStretch.h"
#include "presentation/FrameLayout.h"

#include <cstring>

namespace presentation {

void scaleNearest(const std::uint8_t* source, int srcWidth, int srcHeight, std::uint8_t* destination, int destWidth,
                  int destHeight) {
  if (!source || !destination || srcWidth <= 0 || srcHeight <= 0 || destWidth <= 0 || destHeight <= 0 ||
      destWidth > kFrameMaxWidth)
    return;
  const std::size_t srcStride = std::size_t(srcWidth) * 3;
  const std::size_t destStride = std::size_t(frameStride(destWidth));
  const std::size_t rowBytes = std::size_t(destWidth) * 3;
  wavelet::RowStretch columns;
  if (!columns.prepare(srcWidth, destWidth)) return;

  long long rowSum = 0;
  long long previousSourceRow = -1;
  for (int i = 0; i < destHeight; ++i, rowSum += srcHeight) {
    const long long sourceRow = rowSum / destHeight;
    std::uint8_t* destRow = destination + std::size_t(i) * destStride;
    if (sourceRow == previousSourceRow) {
      // An enlarged picture repeats rows: copy the output row just made.
      std::memcpy(destRow, destRow - destStride, rowBytes);
      continue;
    }
    previousSourceRow = sourceRow;
    columns.apply(source + static_cast<std::size_t>(sourceRow) * srcStride, destRow);
  }
}

void spreadRows(std::uint8_t* frame, int width, int height) {
  if (!frame || width <= 0 || height <= 0 || width > kFrameMaxWidth) return;
  const std::size_t packed = std::size_t(width) * 3;
  const std::size_t stride = std::size_t(frameStride(width));
  if (packed == stride) return;
  // Each row moves up in memory: the last row first, so no row is overwritten before it moved.
  for (int row = height - 1; row > 0; --row)
    std::memmove(frame + std::size_t(row) * stride, frame + std::size_t(row) * packed, packed);
}

} // namespace presentation
