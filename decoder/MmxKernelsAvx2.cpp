// AVX2 version of the four-lane arithmetic: sixteen 16-bit lanes per instruction, chosen at
// run time. Windows builds leave it out (see CpuFeatures.cpp); the colour conversion uses the
// SSE2 kernel.
#include "decoder/MmxKernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include <immintrin.h>

#include <algorithm>

#define CAMVIEW_AVX2 __attribute__((target("avx2")))

namespace wavelet::mmx {
namespace {

CAMVIEW_AVX2 inline __m256i Load(const int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
CAMVIEW_AVX2 inline void Store(int16_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
CAMVIEW_AVX2 inline __m256i K(int16_t k) { return _mm256_set1_epi16(k); }

CAMVIEW_AVX2 inline __m256i Even(const int16_t* L, const int16_t* H, long s) {
  __m256i sum = _mm256_mulhi_epi16(Load(L), K(18270));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(H - s), Load(H)), K(8745)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(L - s), Load(L + s)), K(-942)));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(H - 2 * s), Load(H + s)), K(-552)));
  return _mm256_slli_epi16(sum, 2);
}

CAMVIEW_AVX2 inline __m256i Odd(const int16_t* L, const int16_t* H, long s) {
  __m256i sum = _mm256_mulhi_epi16(Load(H), K(19757));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(L), Load(L + s)), K(9687)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(H - s), Load(H + s)), K(-2562)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(L - s), Load(L + 2 * s)), K(-1494)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(Load(H - 2 * s), Load(H + 2 * s)), K(877)));
  return _mm256_slli_epi16(sum, 2);
}

CAMVIEW_AVX2 void LineAvx2(const int16_t* low, const int16_t* high, int n, int16_t* out) {
  // As the SSE2 kernel, in blocks of sixteen output pairs; short lines go to SSE2.
  const int nHigh = n / 2;
  if (nHigh < 16) return Sse2Kernels()->line(low, high, n, out);
  for (int i = 0;; i += 16) {
    i = std::min(i, nHigh - 16);
    const __m256i even = Even(low + i, high + i, 1);
    const __m256i odd = Odd(low + i, high + i, 1);
    // unpack works per 128-bit half: reorder the halves to get natural order.
    const __m256i a = _mm256_unpacklo_epi16(even, odd);
    const __m256i b = _mm256_unpackhi_epi16(even, odd);
    Store(out + 2 * i, _mm256_permute2x128_si256(a, b, 0x20));
    Store(out + 2 * i + 16, _mm256_permute2x128_si256(a, b, 0x31));
    if (i + 16 == nHigh) break;
  }
  LineScalarFrom(low, high, n, out, nHigh); // the last even output of an odd length
}

CAMVIEW_AVX2 void ColumnsAvx2(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                              long outStride) {
  if (lanes < 16) return Sse2Kernels()->columns(low, high, n, lanes, laneStride, out, outStride);
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = 0; i < nLow; ++i) {
    const long at = long(i) * laneStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 16) {
      lane = std::min(lane, lanes - 16);
      Store(evenRow + lane, Even(low + at + lane, high + at + lane, laneStride));
      if (i < nHigh) Store(evenRow + outStride + lane, Odd(low + at + lane, high + at + lane, laneStride));
      if (lane + 16 == lanes) break;
    }
  }
}

} // namespace

const Kernels* Avx2Kernels() {
  const Kernels* sse2 = Sse2Kernels();
  if (sse2 == nullptr) return nullptr;
  static const Kernels kernels{LineAvx2, ColumnsAvx2, sse2->convert};
  return &kernels;
}

} // namespace wavelet::mmx

#else

namespace wavelet::mmx {
const Kernels* Avx2Kernels() { return nullptr; }
} // namespace wavelet::mmx

#endif
