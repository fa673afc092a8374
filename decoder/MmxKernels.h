// Arithmetic of the four-lane engine: 16-bit samples, wrap-around additions in the filters,
// taps mulHigh(v, k) = floor(v * k / 65536), saturating additions in the colour conversion.
//
// Four implementations compute identical bytes: a scalar model (the reference the tests
// keep), SSE2, AVX2 and WebAssembly SIMD. Each kernel works on extended arrays (see SynthesisLine.h).
#pragma once

#include "decoder/WaveletEngine.h"

#include <cstdint>

namespace wavelet::mmx {

// Floor of v * k / 65536: the upper half of the 32-bit product.
inline int16_t mulHigh(int16_t v, int16_t k) { return static_cast<int16_t>((int32_t(v) * k) >> 16); }
inline int16_t wrap(int32_t v) { return static_cast<int16_t>(v); }
inline int16_t saturate(int32_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

// Output at even position 2i (L and H point at L[i] and H[i]) and at odd position 2i + 1;
// sl and sh are the distances between neighbouring low and high elements (1 in a line, a
// row's distance in columns).
inline int16_t evenAt(const int16_t* L, long sl, const int16_t* H, long sh) {
  const int16_t sum = wrap(mulHigh(L[0], 18270) - mulHigh(wrap(H[-sh] + H[0]), 8745) +
                           mulHigh(wrap(L[-sl] + L[sl]), -942) - mulHigh(wrap(H[-2 * sh] + H[sh]), -552));
  return wrap(uint16_t(sum) << 2);
}
inline int16_t oddAt(const int16_t* L, long sl, const int16_t* H, long sh) {
  const int16_t sum =
      wrap(mulHigh(H[0], 19757) + mulHigh(wrap(L[0] + L[sl]), 9687) + mulHigh(wrap(H[-sh] + H[sh]), -2562) +
           mulHigh(wrap(L[-sl] + L[2 * sl]), -1494) + mulHigh(wrap(H[-2 * sh] + H[2 * sh]), 877));
  return wrap(uint16_t(sum) << 2);
}
inline int16_t evenAt(const int16_t* L, const int16_t* H, long s) { return evenAt(L, s, H, s); }
inline int16_t oddAt(const int16_t* L, const int16_t* H, long s) { return oddAt(L, s, H, s); }

// The low 16 bits of v * factor: how a detail band's scale is applied.
inline int16_t scaled(int16_t v, int16_t factor) {
  return static_cast<int16_t>(static_cast<uint32_t>(static_cast<uint16_t>(v)) * static_cast<uint16_t>(factor));
}

// Line blocks of the in-place kernel are this many output pairs (or a multiple of them).
constexpr int kLineBlockPairs = 16;

struct Kernels {
  // One line: extended arrays in, n = nLow + nHigh samples out in natural order.
  void (*line)(const int16_t* low, const int16_t* high, int n, int16_t* out);
  // Output pairs first..end-1 of a line (end - first a multiple of kLineBlockPairs): outputs
  // 2i and 2i + 1 from the extended low array and from high[i-2..i+2] as they lie in the plane,
  // each multiplied by highFactor (low 16 bits kept). The pairs are written in ascending blocks,
  // every input of a block read before its outputs are stored, so `out` may be the row that
  // holds `high` as long as no block overwrites high samples that a later block reads.
  void (*linePairs)(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end, int16_t* out);
  // `lanes` columns: extended arrays with rows laneStride apart in, output rows outStride apart.
  void (*columns)(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                  long outStride);
  // Output pairs 0..pairs-1 (rows 2i and 2i + 1) of `lanes` columns: low element i is row
  // low + i * lowStride, high element i row high + i * highStride (elements -2..pairs+1 read).
  // Pair by pair, every input of a pair read before its outputs are stored, so `out` may be
  // the plane that holds `high` as long as no pair overwrites high rows a later pair reads.
  void (*columnPairs)(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs, int lanes,
                      int16_t* out, long outStride);
  // `groups` groups of 8 pixels: 8 luminance and 4 + 4 colour-difference samples each, BGR out.
  void (*convert)(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                  int16_t offsetGreen, int16_t offsetRed, uint8_t* out);
};

// Scalar pieces that the SIMD kernels use for their tails.
void lineScalarFrom(const int16_t* low, const int16_t* high, int n, int16_t* out, int firstIndex);
void linePairsScalar(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end, int16_t* out);
void columnsScalar(const int16_t* low, const int16_t* high, int n, int firstLane, int lanes, int laneStride,
                   int16_t* out, long outStride);
void columnPairsScalar(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs,
                       int firstLane, int lanes, int16_t* out, long outStride);
void convertScalar(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                   int16_t offsetGreen, int16_t offsetRed, uint8_t* out);

const Kernels& scalarKernels();
const Kernels* sse2Kernels(); // null when not built for this target
const Kernels* avx2Kernels(); // null when not built for this target
// WebAssembly SIMD kernels, which WebAssembly builds run at the SSE2 level in place of the
// SSE2 ones (those still build there, through the compiler's SSE2 emulation). Null elsewhere.
const Kernels* wasmKernels();

// Rebuilds one line in place: low samples row[0..nLow-1] and high samples
// row[highColumn..highColumn+nHigh-1], each multiplied by its factor (low 16 bits kept), become
// the n = nLow + nHigh output samples row[0..n-1]. Only the low samples are copied (into
// scratch, n + 8 samples) when nLow <= highColumn <= n and nHigh >= kLineBlockPairs; the row must
// then have kLineBlockPairs + 2 samples of readable memory after the high samples, of which
// the first two are written and put back. Other lines go through extended copies of both.
void synthesiseLine(const Kernels& kernels, int16_t* row, int nLow, int highColumn, int nHigh, int lowFactor,
                    int highFactor, int16_t* scratch);

// Rebuilds `lanes` (1..laneStride) columns in place: low samples in rows 0..nLow-1 and high
// samples in rows highLine..highLine+nHigh-1 (rows planeStride apart) become the n = nLow +
// nHigh output rows 0..n-1. Only the low samples are copied when nLow <= highLine <= n and nHigh >= 8;
// other columns go through extended copies of both. Scratch needs (n + 24) * laneStride samples.
void synthesiseColumns(const Kernels& kernels, int16_t* plane, long planeStride, int nLow, int highLine, int nHigh,
                       int lanes, int laneStride, int16_t* scratch);

// The kernels of a level; Automatic picks the best the processor runs, a level the
// processor or build lacks falls back to the next lower one.
const Kernels& kernelsFor(SimdLevel level);
SimdLevel resolveSimdLevel(SimdLevel level);

} // namespace wavelet::mmx
