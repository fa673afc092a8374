#include "presentation/Scaler.h"

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

  // Byte offset of each output column's source pixel, from running sums of srcWidth
  // (the same truncated quotients as j x srcWidth / destWidth).
  int columnOffset[kFrameMaxWidth];
  long long columnSum = 0;
  for (int j = 0; j < destWidth; ++j, columnSum += srcWidth)
    columnOffset[j] = static_cast<int>(columnSum / destWidth) * 3;
  const bool sameWidth = srcWidth == destWidth;

  long long rowSum = 0;
  for (int i = 0; i < destHeight; ++i, rowSum += srcHeight) {
    const std::uint8_t* srcRow = source + static_cast<std::size_t>(rowSum / destHeight) * srcStride;
    std::uint8_t* destRow = destination + std::size_t(i) * destStride;
    if (sameWidth) {
      std::memcpy(destRow, srcRow, srcStride);
      continue;
    }
    for (int j = 0; j < destWidth; ++j) {
      const std::uint8_t* p = srcRow + columnOffset[j];
      destRow[0] = p[0];
      destRow[1] = p[1];
      destRow[2] = p[2];
      destRow += 3;
    }
  }
}

} // namespace presentation
