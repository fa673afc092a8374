#include "decoder/RowStretch.h"

#include <cstring>

namespace wavelet {

bool RowStretch::prepare(int sourceWidth, int destWidth) noexcept {
  if (sourceWidth == sourceWidth_ && destWidth == destWidth_ && prepared()) return true;
  sourceWidth_ = 0;
  destWidth_ = 0;
  runCount_ = 0;
  if (sourceWidth <= 0 || destWidth <= 0 || destWidth > kMaxDestWidth) return false;
  // Source byte offset of each output pixel, from running sums of sourceWidth (the same
  // truncated quotients as j x sourceWidth / destWidth), gathered into runs of consecutive
  // source pixels. A row stretched from 696 to 720 pixels is 25 runs; a shrunk row is one
  // run per pixel, and those are copied pixel by pixel.
  long long columnSum = 0;
  for (int j = 0; j < destWidth; ++j, columnSum += sourceWidth) {
    const int offset = static_cast<int>(columnSum / destWidth) * 3;
    columnOffset_[j] = offset;
    ColumnRun* last = runCount_ > 0 ? &runs_[runCount_ - 1] : nullptr;
    if (last && last->source + last->length == offset) {
      last->length += 3;
    } else {
      runs_[runCount_++] = ColumnRun{j * 3, offset, 3};
    }
  }
  copyRuns_ = runCount_ * 4 <= destWidth;
  sourceWidth_ = sourceWidth;
  destWidth_ = destWidth;
  return true;
}

void RowStretch::apply(const std::uint8_t* source, std::uint8_t* dest) const noexcept {
  if (copyRuns_) {
    for (int r = 0; r < runCount_; ++r)
      std::memcpy(dest + runs_[r].destination, source + runs_[r].source, std::size_t(runs_[r].length));
    return;
  }
  for (int j = 0; j < destWidth_; ++j) {
    const std::uint8_t* p = source + columnOffset_[j];
    dest[0] = p[0];
    dest[1] = p[1];
    dest[2] = p[2];
    dest += 3;
  }
}

} // namespace wavelet
