#include "recorder/encoder/ForwardTransform.h"

#include <algorithm>
#include <cstring>

namespace wavelet {
namespace {

// Lifting factors of the CDF 9/7 analysis.
constexpr float kAlpha = -1.586134342f;
constexpr float kBeta = -0.05298011854f;
constexpr float kGamma = 0.8829110762f;
constexpr float kDelta = 0.4435068522f;
constexpr float kK = 1.230174105f;
// Final scaling: the low band keeps the sample scale, the high band matches the synthesis.
constexpr float kLowScale = 1.0f / kK;
constexpr float kHighScale = kK / 2.0f;

// Mirror an index into 0..n-1 about the end samples (x[-k] = x[k], x[n-1+k] = x[n-1-k]).
inline int mirrorIndex(int i, int n) {
  if (i < 0) return -i;
  if (i >= n) return 2 * (n - 1) - i;
  return i;
}

// One lifting step on the interleaved sequence x: positions first, first+2, ... get
// factor x (left neighbour + right neighbour), neighbours mirrored at the ends. The ends are
// handled apart so that the inner loop has no branches.
inline void liftSequence(float* x, int n, int first, float factor) {
  int i = first;
  if (i == 0) { // x[-1] mirrors to x[1]
    x[0] += factor * (2.0f * x[1]);
    i = 2;
  }
  for (; i + 1 < n; i += 2) x[i] += factor * (x[i - 1] + x[i + 1]);
  if (i == n - 1) x[i] += factor * (2.0f * x[i - 1]); // x[n] mirrors to x[n-2]
}

// The same step applied to whole rows: row i gets factor x (row i-1 + row i+1).
inline void liftRows(float* plane, int stride, int width, int height, int first, float factor) {
  for (int i = first; i < height; i += 2) {
    float* row = plane + static_cast<ptrdiff_t>(i) * stride;
    const float* above = plane + static_cast<ptrdiff_t>(mirrorIndex(i - 1, height)) * stride;
    const float* below = plane + static_cast<ptrdiff_t>(mirrorIndex(i + 1, height)) * stride;
    for (int c = 0; c < width; ++c) row[c] += factor * (above[c] + below[c]);
  }
}

} // namespace

void ForwardTransform::analyseSequence(float* samples, int count, int step) {
  if (count < 2) return;
  line_.resize(static_cast<size_t>(count));
  float* x = line_.data();
  for (int i = 0; i < count; ++i) x[i] = samples[static_cast<ptrdiff_t>(i) * step];
  liftSequence(x, count, 1, kAlpha);
  liftSequence(x, count, 0, kBeta);
  liftSequence(x, count, 1, kGamma);
  liftSequence(x, count, 0, kDelta);
  const int lowCount = (count + 1) / 2;
  for (int i = 0; i < lowCount; ++i) samples[static_cast<ptrdiff_t>(i) * step] = x[2 * i] * kLowScale;
  for (int i = 0; 2 * i + 1 < count; ++i)
    samples[static_cast<ptrdiff_t>(lowCount + i) * step] = x[2 * i + 1] * kHighScale;
}

void ForwardTransform::analyseLines(float* plane, int stride, int width, int height) {
  for (int r = 0; r < height; ++r) analyseSequence(plane + static_cast<ptrdiff_t>(r) * stride, width, 1);
}

void ForwardTransform::analyseColumns(float* plane, int stride, int width, int height) {
  if (height < 2) return;
  // Lift whole rows at a time (cache friendly), then move the even (low-pass) rows to the
  // top and the odd (high-pass) rows below them.
  liftRows(plane, stride, width, height, 1, kAlpha);
  liftRows(plane, stride, width, height, 0, kBeta);
  liftRows(plane, stride, width, height, 1, kGamma);
  liftRows(plane, stride, width, height, 0, kDelta);

  columns_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int r = 0; r < height; ++r)
    std::memcpy(columns_.data() + static_cast<size_t>(r) * width, plane + static_cast<ptrdiff_t>(r) * stride,
                sizeof(float) * static_cast<size_t>(width));
  const int lowCount = (height + 1) / 2;
  for (int r = 0; r < height; ++r) {
    const bool low = (r % 2) == 0;
    const int target = low ? r / 2 : lowCount + r / 2;
    const float scale = low ? kLowScale : kHighScale;
    const float* source = columns_.data() + static_cast<size_t>(r) * width;
    float* row = plane + static_cast<ptrdiff_t>(target) * stride;
    for (int c = 0; c < width; ++c) row[c] = source[c] * scale;
  }
}

void ForwardTransform::analysePlane(float* plane, int stride, int width, int height) {
  // Level 0: across columns only, over the full height.
  analyseLines(plane, stride, width, height);
  int w = (width + 1) / 2;
  int h = height;
  // Levels 1..4: across columns, then across lines (the synthesis undoes them in the
  // opposite order).
  for (int level = 1; level <= kTwoDimensionalLevels; ++level) {
    analyseLines(plane, stride, w, h);
    analyseColumns(plane, stride, w, h);
    w = (w + 1) / 2;
    h = (h + 1) / 2;
  }
}

} // namespace wavelet
