// Forward 9/7 wavelet analysis of one coefficient plane, the exact counterpart of the decoder's
// synthesis (the CDF 9/7 pair in the normalisation where the low-pass band keeps the sample
// scale and the high-pass band has gain 2 at the highest frequency).
//
// Computed by lifting in single precision. Sequences are extended symmetrically about their end
// samples without repeating them, as the synthesis does, so a round trip is exact apart from
// quantisation and the synthesis' fixed-point rounding.
//
// Layout after analysePlane (the decoder's pyramid, no padding between bands):
//   level 0: every line is split into low (left ceil(W/2) columns) and high (right floor(W/2)).
//   levels 1..4: the low part w x h left by the previous level is split across lines and
//   columns: low/low top left, high across columns to the right, high across lines below,
//   high in both directions diagonally. What is left after level 4 is the lowest band.
#pragma once

#include <cstddef>
#include <vector>

namespace wavelet {

class ForwardTransform {
public:
  // Number of two-dimensional levels after the horizontal-only level 0.
  static constexpr int kTwoDimensionalLevels = 4;

  // Analyses the plane in place: `width` x `height` samples, rows `stride` floats apart.
  // Every sequence the transform meets must have at least 2 samples.
  void analysePlane(float* plane, int stride, int width, int height);

  // One-dimensional analysis of `count` samples (count >= 2) that lie `step` floats apart:
  // afterwards the first ceil(count/2) positions hold the low-pass band and the rest the
  // high-pass band. Exposed for tests.
  void analyseSequence(float* samples, int count, int step);

private:
  void analyseLines(float* plane, int stride, int width, int height);
  void analyseColumns(float* plane, int stride, int width, int height);

  std::vector<float> line_;    // one interleaved line
  std::vector<float> columns_; // a copy of the region while columns are reordered
};

} // namespace wavelet
