// SSE2 version of the four-lane arithmetic: eight 16-bit lanes per instruction.
#include "decoder/MmxKernels.h"
#include "decoder/Sse2Pixels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>

namespace wavelet::mmx {
namespace {

inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i broadcast(int16_t k) { return _mm_set1_epi16(k); }

// Eight even outputs; L and H address element i, s is the element distance.
inline __m128i evenLanes(const int16_t* L, const int16_t* H, long s) {
  __m128i sum = _mm_mulhi_epi16(load(L), broadcast(18270));
  sum = _mm_sub_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(H - s), load(H)), broadcast(8745)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(L - s), load(L + s)), broadcast(-942)));
  sum = _mm_sub_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(H - 2 * s), load(H + s)), broadcast(-552)));
  return _mm_slli_epi16(sum, 2);
}

inline __m128i oddLanes(const int16_t* L, const int16_t* H, long s) {
  __m128i sum = _mm_mulhi_epi16(load(H), broadcast(19757));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(L), load(L + s)), broadcast(9687)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(H - s), load(H + s)), broadcast(-2562)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(L - s), load(L + 2 * s)), broadcast(-1494)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(load(H - 2 * s), load(H + 2 * s)), broadcast(877)));
  return _mm_slli_epi16(sum, 2);
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

// Eight even and eight odd outputs from low elements i-1..i+2 and scaled high ones i-2..i+2.
inline __m128i evenFrom(__m128i lm1, __m128i l0, __m128i l1, __m128i hm2, __m128i hm1, __m128i h0, __m128i h1) {
  __m128i sum = _mm_mulhi_epi16(l0, broadcast(18270));
  sum = _mm_sub_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(hm1, h0), broadcast(8745)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(lm1, l1), broadcast(-942)));
  sum = _mm_sub_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(hm2, h1), broadcast(-552)));
  return _mm_slli_epi16(sum, 2);
}

inline __m128i oddFrom(__m128i lm1, __m128i l0, __m128i l1, __m128i l2, __m128i hm2, __m128i hm1, __m128i h0,
                       __m128i h1, __m128i h2) {
  __m128i sum = _mm_mulhi_epi16(h0, broadcast(19757));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(l0, l1), broadcast(9687)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(hm1, h1), broadcast(-2562)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(lm1, l2), broadcast(-1494)));
  sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_add_epi16(hm2, h2), broadcast(877)));
  return _mm_slli_epi16(sum, 2);
}

// Blocks of eight output pairs, high samples scaled as they are loaded (a factor of 1, the
// common case of unscaled bands, skips the multiplies).
template <bool kScaled>
void linePairsBlocks(const int16_t* low, const int16_t* high, __m128i factor, int first, int end, int16_t* out) {
  auto h = [&](const int16_t* p) { return kScaled ? _mm_mullo_epi16(load(p), factor) : load(p); };
  for (int i = first; i < end; i += 8) {
    const int16_t* L = low + i;
    const int16_t* H = high + i;
    const __m128i lm1 = load(L - 1), l0 = load(L), l1 = load(L + 1), l2 = load(L + 2);
    const __m128i hm2 = h(H - 2), hm1 = h(H - 1), h0 = h(H), h1 = h(H + 1), h2 = h(H + 2);
    const __m128i even = evenFrom(lm1, l0, l1, hm2, hm1, h0, h1);
    const __m128i odd = oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2);
    store(out + 2 * i, _mm_unpacklo_epi16(even, odd));
    store(out + 2 * i + 8, _mm_unpackhi_epi16(even, odd));
  }
}

void linePairsSse2(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end, int16_t* out) {
  if (highFactor == 1) return linePairsBlocks<false>(low, high, broadcast(1), first, end, out);
  linePairsBlocks<true>(low, high, broadcast(highFactor), first, end, out);
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

void columnPairsSse2(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs, int lanes,
                     int16_t* out, long outStride) {
  // Blocks of eight lanes; the last block may overlap the one before it.
  if (lanes < 8) return columnPairsScalar(low, lowStride, high, highStride, pairs, 0, lanes, out, outStride);
  for (int i = 0; i < pairs; ++i) {
    const int16_t* L = low + i * lowStride;
    const int16_t* H = high + i * highStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 8) {
      lane = std::min(lane, lanes - 8);
      const __m128i lm1 = load(L - lowStride + lane), l0 = load(L + lane), l1 = load(L + lowStride + lane),
                    l2 = load(L + 2 * lowStride + lane);
      const __m128i hm2 = load(H - 2 * highStride + lane), hm1 = load(H - highStride + lane), h0 = load(H + lane),
                    h1 = load(H + highStride + lane), h2 = load(H + 2 * highStride + lane);
      store(evenRow + lane, evenFrom(lm1, l0, l1, hm2, hm1, h0, h1));
      store(evenRow + outStride + lane, oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2));
      if (lane + 8 == lanes) break;
    }
  }
}

void convertSse2(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                 int16_t offsetGreen, int16_t offsetRed, uint8_t* out) {
  const __m128i offB = _mm_set1_epi16(offsetBlue);
  const __m128i offG = _mm_set1_epi16(offsetGreen);
  const __m128i offR = _mm_set1_epi16(offsetRed);
  const __m128i zero = _mm_setzero_si128();
  for (int g = 0; g < groups; ++g) {
    const __m128i luma = load(y + 8 * g);
    const __m128i cu4 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + 4 * g));
    const __m128i cv4 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + 4 * g));
    const __m128i cu = _mm_unpacklo_epi16(cu4, cu4); // each colour difference serves two pixels
    const __m128i cv = _mm_unpacklo_epi16(cv4, cv4);
    const __m128i yt = _mm_mulhi_epi16(_mm_adds_epi16(luma, broadcast(7168)), broadcast(1191));
    const __m128i bt = _mm_mulhi_epi16(cu, broadcast(2066));
    const __m128i gt = _mm_adds_epi16(_mm_mulhi_epi16(cu, broadcast(-400)), _mm_mulhi_epi16(cv, broadcast(-832)));
    const __m128i rt = _mm_mulhi_epi16(cv, broadcast(1634));
    const __m128i b = _mm_packus_epi16(_mm_adds_epi16(_mm_adds_epi16(yt, bt), offB), zero);
    const __m128i gr =
        _mm_packus_epi16(_mm_adds_epi16(_mm_adds_epi16(yt, gt), offG), _mm_adds_epi16(_mm_adds_epi16(yt, rt), offR));
    storeBgr8(b, gr, out + 24 * g, g + 1 == groups);
  }
}

const Kernels kSse2{lineSse2, linePairsSse2, columnsSse2, columnPairsSse2, convertSse2};

} // namespace

const Kernels* sse2Kernels() { return &kSse2; }

} // namespace wavelet::mmx

#else

namespace wavelet::mmx {
const Kernels* sse2Kernels() { return nullptr; }
} // namespace wavelet::mmx

#endif
