#include "presentation/Scaler.h"

#include "presentation/FrameLayout.h"

#include <cstring>

namespace presentation {

namespace {

// A stretch of output bytes whose source bytes follow one another in the source row.
struct ColumnRun {
  int destination; // byte offset in the output row
  int source;      // byte offset in the source row
  int length;      // bytes
};

} // namespace

void scaleNearest(const std::uint8_t* source, int srcWidth, int srcHeight, std::uint8_t* destination, int destWidth,
                  int destHeight) {
  if (!source || !destination || srcWidth <= 0 || srcHeight <= 0 || destWidth <= 0 || destHeight <= 0 ||
      destWidth > kFrameMaxWidth)
    return;
  const std::size_t srcStride = std::size_t(srcWidth) * 3;
  const std::size_t destStride = std::size_t(frameStride(destWidth));
  const std::size_t rowBytes = std::size_t(destWidth) * 3;

  // Source byte offset of each output column, from running sums of srcWidth (the same
  // truncated quotients as j x srcWidth / destWidth), gathered into runs of consecutive
  // source pixels. A row stretched from 696 to 720 pixels is 25 runs; a shrunk row is one
  // run per pixel, and those are copied pixel by pixel.
  int columnOffset[kFrameMaxWidth];
  ColumnRun runs[kFrameMaxWidth];
  int runCount = 0;
  long long columnSum = 0;
  for (int j = 0; j < destWidth; ++j, columnSum += srcWidth) {
    const int offset = static_cast<int>(columnSum / destWidth) * 3;
    columnOffset[j] = offset;
    ColumnRun* last = runCount > 0 ? &runs[runCount - 1] : nullptr;
    if (last && last->source + last->length == offset) {
      last->length += 3;
    } else {
      runs[runCount++] = ColumnRun{j * 3, offset, 3};
    }
  }
  const bool copyRuns = runCount * 4 <= destWidth; // runs of four pixels or more on average

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
    const std::uint8_t* srcRow = source + static_cast<std::size_t>(sourceRow) * srcStride;
    if (copyRuns) {
      for (int r = 0; r < runCount; ++r)
        std::memcpy(destRow + runs[r].destination, srcRow + runs[r].source, std::size_t(runs[r].length));
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
