// Building blocks of the one-dimensional 9/7 synthesis shared by both engines.
//
// A sequence of n samples (n >= 5) is the interleave of ceil(n/2) low-pass samples L and
// floor(n/2) high-pass samples H (position 2i = L[i], 2i+1 = H[i]), extended symmetrically
// about its end samples without repeating them. The filters then only need L[i-2..i+2] and
// H[i-2..i+2], so each sequence is copied into two scratch arrays with two extension samples
// on either side ("extended arrays"), which also makes the filtering work in place.
//
// Column passes work on `lanes` columns at once: element i of an extended array is then a row
// of `laneStride` samples (one per column).
#pragma once

#include <cstdint>

namespace wavelet {

constexpr int kExtension = 2; // extension samples before and after each extended array

// Source index inside L (isHigh false) or H (isHigh true) of extended element i, for a
// sequence of n samples.
inline int mirroredIndex(int i, bool isHigh, int n) {
  int p = 2 * i + (isHigh ? 1 : 0);
  if (p < 0) p = -p;
  if (p > n - 1) p = 2 * (n - 1) - p;
  while (p < 0 || p > n - 1) p = p < 0 ? -p : 2 * (n - 1) - p; // more reflections: very short sequences only
  return p / 2;
}

// Copies the `count` low (isHigh false) or high samples of a sequence of n into an extended
// array: out[-kExtension..count-1+kExtension], each multiplied by a 16-bit factor (low 16 bits).
void extendSamples(const int16_t* in, int count, int factor, bool isHigh, int n, int16_t* out);

// Copies a line's low and high samples into extended arrays (scratch needs n + 8 samples;
// the returned pointers address element 0), multiplying each by a 16-bit factor and
// keeping the low 16 bits (factor 1: a plain copy).
void extendLine(const int16_t* low, int lowFactor, const int16_t* high, int highFactor, int n, int16_t* scratch,
                int16_t*& lowExtended, int16_t*& highExtended);

// Copies `lanes` columns of a column pass into extended arrays whose elements are rows
// `laneStride` samples apart. Low sample i of the first column is lowFirst[i * planeStride],
// high sample i is highFirst[i * planeStride]. Scratch needs (n + 8) * laneStride samples.
void extendColumns(const int16_t* lowFirst, const int16_t* highFirst, long planeStride, int n, int lanes,
                   int laneStride, int16_t* scratch, int16_t*& lowExtended, int16_t*& highExtended);

} // namespace wavelet
