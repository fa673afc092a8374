#include "decoder/RowStretch.h"

#include <cstring>

namespace wavelet {

namespace {

// Copies one run of `length` bytes (at least 3) in fixed-size pieces the compiler turns into
// single loads and stores: a call to memcpy per run of about 28 pixels cost more than the
// copying itself. The last piece overlaps the one before it instead of reading or writing
// beyond the run.
inline void copyRun(std::uint8_t* dest, const std::uint8_t* source, int length) noexcept {
  if (length >= 16) {
    for (int at = 0; at + 16 < length; at += 16) std::memcpy(dest + at, source + at, 16);
    std::memcpy(dest + length - 16, source + length - 16, 16);
  } else if (length >= 8) {
    std::memcpy(dest, source, 8);
    std::memcpy(dest + length - 8, source + length - 8, 8);
  } else if (length >= 4) {
    std::memcpy(dest, source, 4);
    std::memcpy(dest + length - 4, source + length - 4, 4);
  } else {
    for (int at = 0; at < length; ++at) dest[at] = source[at];
  }
}

} // namespace

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
    for (int r = 0; r < runCount_; ++r) copyRun(dest + runs_[r].destination, source + runs_[r].source, runs_[r].length);
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
