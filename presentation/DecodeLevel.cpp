#include "presentation/DecodeLevel.h"

#include "presentation/FrameLayout.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace presentation {

int decodeLevel(DecodeMode mode, int recorderLevel, int pictureWidth, int pictureHeight, int windowWidth,
                int windowHeight) {
  if (mode != DecodeMode::Fit) return recorderLevel;
  int level = 0;
  while (level < kMaxFitLevel && (pictureWidth >> (level + 1)) >= windowWidth &&
         (pictureHeight >> (level + 1)) >= windowHeight)
    ++level;
  return std::max(level, recorderLevel);
}

int columnsAtLevel(int columns, int level) { return (columns + (1 << level) - 1) >> level; }

namespace {

// Source index of output index d of n, from m source samples at `level` (see scaleReduced).
int nearestSource(int d, int n, int m, int level) {
  const long long scale = 1LL << level;
  const long long k = ((2LL * d + 1) * m * scale + n * (scale - 1)) / (2LL * n * scale);
  return int(std::min<long long>(k, m - 1));
}

} // namespace

void scaleReduced(const std::uint8_t* source, int sourceStride, int srcWidth, int srcHeight, int level,
                  std::uint8_t* destination, int destWidth, int destHeight) {
  if (!source || !destination || srcWidth <= 0 || srcWidth > sourceStride || srcHeight <= 0 || destWidth <= 0 ||
      destHeight <= 0 || destWidth > kFrameMaxWidth || level < 0 || level > kMaxFitLevel)
    return;
  int columns[kFrameMaxWidth]; // byte offset of each output pixel's source in a row
  for (int j = 0; j < destWidth; ++j) columns[j] = 3 * nearestSource(j, destWidth, srcWidth, level);
  const std::size_t destStride = std::size_t(frameStride(destWidth));
  for (int i = 0; i < destHeight; ++i) {
    // Both buffers are bottom-up; the sample positions count from the picture's top.
    const int row = srcHeight - 1 - nearestSource(destHeight - 1 - i, destHeight, srcHeight, level);
    const std::uint8_t* in = source + std::size_t(row) * std::size_t(sourceStride) * 3;
    std::uint8_t* out = destination + std::size_t(i) * destStride;
    for (int j = 0; j < destWidth; ++j, out += 3) std::memcpy(out, in + columns[j], 3);
  }
}

} // namespace presentation
