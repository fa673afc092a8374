// Arithmetic of the portable engine's 9/7 synthesis: 14-bit fixed-point taps summed in 32-bit
// signed arithmetic, shifted right by 14 (towards minus infinity) and truncated to 16 bits.
//
// Two implementations compute identical samples: the scalar definition below (the reference
// the tests keep) and SSE2, which forms each pair of taps with one 16 x 16 -> 32-bit
// multiply-add, exact because no sum leaves the 32-bit range. Each kernel works on extended
// arrays (see SynthesisLine.h).
#pragma once

#include <cstdint>

namespace wavelet::portable {

// Output at even position 2i (L and H point at L[i] and H[i]) and at odd position 2i + 1;
// s is the distance between neighbouring elements (1 in a line, the lane stride in columns).
inline int16_t evenAt(const int16_t* L, const int16_t* H, long s) {
  const int32_t sum = 18269 * L[0] - 8744 * (H[-s] + H[0]) - 942 * (L[-s] + L[s]) + 552 * (H[-2 * s] + H[s]);
  return static_cast<int16_t>(sum >> 14);
}
inline int16_t oddAt(const int16_t* L, const int16_t* H, long s) {
  const int32_t sum = 19757 * H[0] + 9687 * (L[0] + L[s]) - 2563 * (H[-s] + H[s]) - 1495 * (L[-s] + L[2 * s]) +
                      876 * (H[-2 * s] + H[2 * s]);
  return static_cast<int16_t>(sum >> 14);
}

struct Kernels {
  // One line: extended arrays in, n = nLow + nHigh samples out in natural order.
  void (*line)(const int16_t* low, const int16_t* high, int n, int16_t* out);
  // `lanes` columns: extended arrays with rows laneStride apart in, output rows outStride apart.
  void (*columns)(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                  long outStride);
};

// Scalar pieces that the SIMD kernels use for short sequences and tails.
void lineScalarFrom(const int16_t* low, const int16_t* high, int n, int16_t* out, int firstIndex);
void columnsScalar(const int16_t* low, const int16_t* high, int n, int firstLane, int lanes, int laneStride,
                   int16_t* out, long outStride);

const Kernels& scalarKernels();
const Kernels* sse2Kernels(); // null when not built for this target
// SSE2 where built, else the scalar definition.
const Kernels& bestKernels();

} // namespace wavelet::portable
