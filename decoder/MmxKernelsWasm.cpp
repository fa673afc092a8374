// WebAssembly SIMD version of the four-lane arithmetic, written for WebAssembly rather than
// carried over from the SSE2 kernels. WebAssembly has no 16-bit multiply-high: compiled from
// the SSE2 intrinsic it becomes two widenings, two 32-bit multiplies and a shuffle. Here each
// tap takes two 16 x 16 -> 32-bit dot products against the tap with a zero beside it (one
// instruction each on x86 and ARM), and a shift and a 16-bit blend place the upper halves.
// The colour conversion stores each group's 24 bytes with two byte shuffles. The kernel
// benchmark (bench/web/KernelTimeBench.cpp) times both sets in one run.
#include "decoder/MmxKernels.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include <algorithm>

namespace wavelet::mmx {
namespace {

inline v128_t load(const int16_t* p) { return wasm_v128_load(p); }
inline void store(int16_t* p, v128_t v) { wasm_v128_store(p, v); }

// A tap k as two dot-product operands: k beside 0 picks the even lanes' products, 0 beside k
// the odd lanes'.
struct Tap {
  v128_t even, odd;
};
constexpr v128_t splat32(uint32_t word) { return v128_t{int32_t(word), int32_t(word), int32_t(word), int32_t(word)}; }
constexpr Tap tap(int16_t k) { return {splat32(uint16_t(k)), splat32(uint32_t(uint16_t(k)) << 16)}; }

// mulHigh in every lane: the upper 16 bits of each exact 32-bit product. The even lanes'
// upper halves move down, the odd lanes' are in place; a 16-bit blend (one instruction on x86)
// joins them.
inline v128_t mulHigh(v128_t v, Tap k) {
  const v128_t even = wasm_i32x4_dot_i16x8(v, k.even); // v[2i] * k
  const v128_t odd = wasm_i32x4_dot_i16x8(v, k.odd);   // v[2i + 1] * k
  return wasm_i16x8_shuffle(wasm_u32x4_shr(even, 16), odd, 0, 9, 2, 11, 4, 13, 6, 15);
}

inline v128_t add(v128_t a, v128_t b) { return wasm_i16x8_add(a, b); }
inline v128_t sub(v128_t a, v128_t b) { return wasm_i16x8_sub(a, b); }

// The eight even outputs from low rows (or elements) i-1..i+1 and high ones i-2..i+1, and the
// eight odd outputs from low i-1..i+2 and high i-2..i+2.
inline v128_t evenFrom(v128_t lm1, v128_t l0, v128_t l1, v128_t hm2, v128_t hm1, v128_t h0, v128_t h1) {
  v128_t sum = mulHigh(l0, tap(18270));
  sum = sub(sum, mulHigh(add(hm1, h0), tap(8745)));
  sum = add(sum, mulHigh(add(lm1, l1), tap(-942)));
  sum = sub(sum, mulHigh(add(hm2, h1), tap(-552)));
  return wasm_i16x8_shl(sum, 2);
}

inline v128_t oddFrom(v128_t lm1, v128_t l0, v128_t l1, v128_t l2, v128_t hm2, v128_t hm1, v128_t h0, v128_t h1,
                      v128_t h2) {
  v128_t sum = mulHigh(h0, tap(19757));
  sum = add(sum, mulHigh(add(l0, l1), tap(9687)));
  sum = add(sum, mulHigh(add(hm1, h1), tap(-2562)));
  sum = add(sum, mulHigh(add(lm1, l2), tap(-1494)));
  sum = add(sum, mulHigh(add(hm2, h2), tap(877)));
  return wasm_i16x8_shl(sum, 2);
}

// Blocks of eight output pairs, high samples scaled as they are loaded (a factor of 1 skips
// the multiplies). Every load is at a fixed distance after one of two pointers, which
// WebAssembly encodes in the load itself.
template <bool kScaled>
void linePairsBlocks(const int16_t* low, const int16_t* high, v128_t factor, int first, int end, int16_t* out) {
  auto h = [&](const int16_t* p) { return kScaled ? wasm_i16x8_mul(load(p), factor) : load(p); };
  for (int i = first; i < end; i += 8) {
    const int16_t* L = low + i - 1;  // L[1] is element i
    const int16_t* H = high + i - 2; // H[2] is element i
    const v128_t lm1 = load(L), l0 = load(L + 1), l1 = load(L + 2), l2 = load(L + 3);
    const v128_t hm2 = h(H), hm1 = h(H + 1), h0 = h(H + 2), h1 = h(H + 3), h2 = h(H + 4);
    const v128_t even = evenFrom(lm1, l0, l1, hm2, hm1, h0, h1);
    const v128_t odd = oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2);
    store(out + 2 * i, wasm_i16x8_shuffle(even, odd, 0, 8, 1, 9, 2, 10, 3, 11));
    store(out + 2 * i + 8, wasm_i16x8_shuffle(even, odd, 4, 12, 5, 13, 6, 14, 7, 15));
  }
}

void lineWasm(const int16_t* low, const int16_t* high, int n, int16_t* out) {
  // Blocks of eight output pairs; the last block is moved back to end at the last pair,
  // recomputing a few outputs with the same values (the inputs are not in the output row).
  const int nHigh = n / 2;
  if (nHigh < 8) return lineScalarFrom(low, high, n, out, 0);
  for (int i = 0;; i += 8) {
    i = std::min(i, nHigh - 8);
    linePairsBlocks<false>(low, high, wasm_i16x8_splat(1), i, i + 8, out);
    if (i + 8 == nHigh) break;
  }
  lineScalarFrom(low, high, n, out, nHigh); // the last even output of an odd length
}

void linePairsWasm(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end, int16_t* out) {
  if (highFactor == 1) return linePairsBlocks<false>(low, high, wasm_i16x8_splat(1), first, end, out);
  linePairsBlocks<true>(low, high, wasm_i16x8_splat(highFactor), first, end, out);
}

void columnsWasm(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                 long outStride) {
  // Blocks of eight lanes, each walked down its rows with the rows in use kept in registers:
  // a row is loaded once, not up to five times. As in a line, the last block may overlap the
  // one before it.
  if (lanes < 8) return columnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  const long s = laneStride;
  for (int lane = 0;; lane += 8) {
    lane = std::min(lane, lanes - 8);
    const int16_t* L = low + lane;
    const int16_t* H = high + lane;
    v128_t lm1 = load(L - s), l0 = load(L), l1 = load(L + s);
    v128_t hm2 = load(H - 2 * s), hm1 = load(H - s), h0 = load(H), h1 = load(H + s);
    int16_t* row = out + lane;
    for (int i = 0; i < nLow; ++i, row += 2 * outStride) {
      // Low rows reach i + 2 and high rows i + 1 here, within the arrays' extension of two.
      store(row, evenFrom(lm1, l0, l1, hm2, hm1, h0, h1));
      const v128_t l2 = load(L + (i + 2) * s);
      if (i < nHigh) {
        const v128_t h2 = load(H + (i + 2) * s);
        store(row + outStride, oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2));
        hm2 = hm1, hm1 = h0, h0 = h1, h1 = h2;
      }
      lm1 = l0, l0 = l1, l1 = l2;
    }
    if (lane + 8 == lanes) break;
  }
}

void columnPairsWasm(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs, int lanes,
                     int16_t* out, long outStride) {
  // Blocks of eight lanes; the last block may overlap the one before it.
  if (lanes < 8) return columnPairsScalar(low, lowStride, high, highStride, pairs, 0, lanes, out, outStride);
  for (int i = 0; i < pairs; ++i) {
    const int16_t* L = low + i * lowStride;
    const int16_t* H = high + i * highStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 8) {
      lane = std::min(lane, lanes - 8);
      const v128_t lm1 = load(L - lowStride + lane), l0 = load(L + lane), l1 = load(L + lowStride + lane),
                   l2 = load(L + 2 * lowStride + lane);
      const v128_t hm2 = load(H - 2 * highStride + lane), hm1 = load(H - highStride + lane), h0 = load(H + lane),
                   h1 = load(H + highStride + lane), h2 = load(H + 2 * highStride + lane);
      store(evenRow + lane, evenFrom(lm1, l0, l1, hm2, hm1, h0, h1));
      store(evenRow + outStride + lane, oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2));
      if (lane + 8 == lanes) break;
    }
  }
}

// Four 16-bit samples, each doubled: a colour difference serves two pixels.
inline v128_t loadDoubled(const int16_t* p) {
  const v128_t four = wasm_v128_load64_splat(p);
  return wasm_i16x8_shuffle(four, four, 0, 0, 1, 1, 2, 2, 3, 3);
}

void convertWasm(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                 int16_t offsetGreen, int16_t offsetRed, uint8_t* out) {
  const v128_t offB = wasm_i16x8_splat(offsetBlue);
  const v128_t offG = wasm_i16x8_splat(offsetGreen);
  const v128_t offR = wasm_i16x8_splat(offsetRed);
  const v128_t zero = wasm_i16x8_splat(0);
  const v128_t lumaOffset = wasm_i16x8_splat(7168);
  for (int g = 0; g < groups; ++g) {
    const v128_t cu = loadDoubled(u + 4 * g);
    const v128_t cv = loadDoubled(v + 4 * g);
    const v128_t yt = mulHigh(wasm_i16x8_add_sat(load(y + 8 * g), lumaOffset), tap(1191));
    const v128_t bt = mulHigh(cu, tap(2066));
    const v128_t gt = wasm_i16x8_add_sat(mulHigh(cu, tap(-400)), mulHigh(cv, tap(-832)));
    const v128_t rt = mulHigh(cv, tap(1634));
    // Bytes 0-7 blue, 8-15 green in one register, 0-7 red (8-15 unused) in the other.
    const v128_t blueGreen = wasm_u8x16_narrow_i16x8(wasm_i16x8_add_sat(wasm_i16x8_add_sat(yt, bt), offB),
                                                     wasm_i16x8_add_sat(wasm_i16x8_add_sat(yt, gt), offG));
    const v128_t red = wasm_u8x16_narrow_i16x8(wasm_i16x8_add_sat(wasm_i16x8_add_sat(yt, rt), offR), zero);
    uint8_t* bgr = out + 24 * g;
    wasm_v128_store(bgr, wasm_i8x16_shuffle(blueGreen, red, 0, 8, 16, 1, 9, 17, 2, 10, 18, 3, 11, 19, 4, 12, 20, 5));
    wasm_v128_store64_lane(bgr + 16,
                           wasm_i8x16_shuffle(blueGreen, red, 13, 21, 6, 14, 22, 7, 15, 23, 0, 0, 0, 0, 0, 0, 0, 0), 0);
  }
}

const Kernels kWasm{lineWasm, linePairsWasm, columnsWasm, columnPairsWasm, convertWasm};

} // namespace

const Kernels* wasmKernels() { return &kWasm; }

} // namespace wavelet::mmx

#else

namespace wavelet::mmx {
const Kernels* wasmKernels() { return nullptr; }
} // namespace wavelet::mmx

#endif
