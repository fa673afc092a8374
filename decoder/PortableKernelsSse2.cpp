// SSE2 version of the portable synthesis: eight outputs per step, each pair of taps one
// multiply-add of interleaved 16-bit samples into 32-bit sums (_mm_madd_epi16).
#include "decoder/PortableKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>

namespace wavelet::portable {
namespace {

inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Coefficient pair (a for the first sample of each interleaved pair, b for the second).
inline __m128i pair(int16_t a, int16_t b) {
  return _mm_set1_epi32(int32_t(uint32_t(uint16_t(a)) | uint32_t(uint16_t(b)) << 16));
}

// Accumulates a * x + b * y for eight lanes into two vectors of four 32-bit sums.
struct Sum {
  __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
  void add(__m128i x, __m128i y, __m128i coefficients) {
    low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(x, y), coefficients));
    high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(x, y), coefficients));
  }
  // (sum >> 14) truncated to 16 bits: bits 14..29 of each sum, sign-extended.
  __m128i result() const {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(low, 2), 16), _mm_srai_epi32(_mm_slli_epi32(high, 2), 16));
  }
};

// Eight even outputs; L and H address element i, s is the element distance.
inline __m128i evenLanes(const int16_t* L, const int16_t* H, long s) {
  Sum sum;
  sum.add(load(L), load(H - s), pair(18269, -8744));
  sum.add(load(H), load(L - s), pair(-8744, -942));
  sum.add(load(L + s), load(H - 2 * s), pair(-942, 552));
  sum.add(load(H + s), _mm_setzero_si128(), pair(552, 0));
  return sum.result();
}

inline __m128i oddLanes(const int16_t* L, const int16_t* H, long s) {
  Sum sum;
  sum.add(load(H), load(L), pair(19757, 9687));
  sum.add(load(L + s), load(H - s), pair(9687, -2563));
  sum.add(load(H + s), load(L - s), pair(-2563, -1495));
  sum.add(load(L + 2 * s), load(H - 2 * s), pair(-1495, 876));
  sum.add(load(H + 2 * s), _mm_setzero_si128(), pair(876, 0));
  return sum.result();
}

void lineSse2(const int16_t* low, const int16_t* high, int n, int16_t* out) {
  // Blocks of eight output pairs; the last block is moved back to end at the last pair,
  // recomputing a few outputs with the same values (the inputs are not in the output row).
  const int nHigh = n / 2;
  if (nHigh < 8) return lineScalarFrom(low, high, n, out, 0);
  for (int i = 0;; i += 8) {
    i = std::min(i, nHigh - 8);
    const __m128i even = evenLanes(low + i, high + i, 1);
    const __m128i odd = oddLanes(low + i, high + i, 1);
    store(out + 2 * i, _mm_unpacklo_epi16(even, odd));
    store(out + 2 * i + 8, _mm_unpackhi_epi16(even, odd));
    if (i + 8 == nHigh) break;
  }
  lineScalarFrom(low, high, n, out, nHigh); // the last even output of an odd length
}

void columnsSse2(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                 long outStride) {
  // Blocks of eight lanes; as in a line, the last block may overlap the one before it.
  if (lanes < 8) return columnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = 0; i < nLow; ++i) {
    const long at = long(i) * laneStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 8) {
      lane = std::min(lane, lanes - 8);
      store(evenRow + lane, evenLanes(low + at + lane, high + at + lane, laneStride));
      if (i < nHigh) store(evenRow + outStride + lane, oddLanes(low + at + lane, high + at + lane, laneStride));
      if (lane + 8 == lanes) break;
    }
  }
}

const Kernels kSse2{lineSse2, columnsSse2};

} // namespace

const Kernels* sse2Kernels() { return &kSse2; }

} // namespace wavelet::portable

#else

namespace wavelet::portable {
const Kernels* sse2Kernels() { return nullptr; }
} // namespace wavelet::portable

#endif
