// Nearest-neighbour stretching of one row of packed 24-bit pixels to another width: output
// pixel j takes source pixel floor(j x sourceWidth / destWidth). The decoder stretches each
// converted row with it when asked for rows of the window's width, and the frame scaler
// stretches the rows it picks: both give the same pixels.
#pragma once

#include <cstdint>

namespace wavelet {

class RowStretch {
public:
  // Widest output row.
  static constexpr int kMaxDestWidth = 1024;

  // Builds the column map from sourceWidth to destWidth pixels (a map already built for them
  // is kept). False, with no map, when either width is 0 or less or destWidth is above
  // kMaxDestWidth.
  bool prepare(int sourceWidth, int destWidth) noexcept;
  bool prepared() const noexcept { return destWidth_ > 0; }
  int sourceWidth() const noexcept { return sourceWidth_; }
  int destWidth() const noexcept { return destWidth_; }

  // Writes destWidth pixels from sourceWidth pixels; the rows must not overlap.
  void apply(const std::uint8_t* source, std::uint8_t* dest) const noexcept;

private:
  // A stretch of output bytes whose source bytes follow one another in the source row.
  struct ColumnRun {
    int destination; // byte offset in the output row
    int source;      // byte offset in the source row
    int length;      // bytes
  };

  int sourceWidth_ = 0;
  int destWidth_ = 0;
  int runCount_ = 0;
  bool copyRuns_ = false; // runs of four pixels or more on average: copied run by run
  int columnOffset_[kMaxDestWidth] = {};
  ColumnRun runs_[kMaxDestWidth] = {};
};

} // namespace wavelet
