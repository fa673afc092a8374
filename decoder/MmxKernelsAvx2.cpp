// AVX2 version of the four-lane arithmetic: sixteen 16-bit lanes per instruction, chosen at
// run time. Windows builds leave it out (see CpuFeatures.cpp).
#include "decoder/MmxKernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define CAMVIEW_AVX2 __attribute__((target("avx2")))

namespace wavelet::mmx {
namespace {

CAMVIEW_AVX2 inline __m256i load(const int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
CAMVIEW_AVX2 inline void store(int16_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
CAMVIEW_AVX2 inline __m256i broadcast(int16_t k) { return _mm256_set1_epi16(k); }

CAMVIEW_AVX2 inline __m256i evenLanes(const int16_t* L, const int16_t* H, long s) {
  __m256i sum = _mm256_mulhi_epi16(load(L), broadcast(18270));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(H - s), load(H)), broadcast(8745)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(L - s), load(L + s)), broadcast(-942)));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(H - 2 * s), load(H + s)), broadcast(-552)));
  return _mm256_slli_epi16(sum, 2);
}

CAMVIEW_AVX2 inline __m256i oddLanes(const int16_t* L, const int16_t* H, long s) {
  __m256i sum = _mm256_mulhi_epi16(load(H), broadcast(19757));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(L), load(L + s)), broadcast(9687)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(H - s), load(H + s)), broadcast(-2562)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(L - s), load(L + 2 * s)), broadcast(-1494)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(load(H - 2 * s), load(H + 2 * s)), broadcast(877)));
  return _mm256_slli_epi16(sum, 2);
}

CAMVIEW_AVX2 void lineAvx2(const int16_t* low, const int16_t* high, int n, int16_t* out) {
  // As the SSE2 kernel, in blocks of sixteen output pairs; short lines go to SSE2.
  const int nHigh = n / 2;
  if (nHigh < 16) return sse2Kernels()->line(low, high, n, out);
  for (int i = 0;; i += 16) {
    i = std::min(i, nHigh - 16);
    const __m256i even = evenLanes(low + i, high + i, 1);
    const __m256i odd = oddLanes(low + i, high + i, 1);
    // unpack works per 128-bit half: reorder the halves to get natural order.
    const __m256i a = _mm256_unpacklo_epi16(even, odd);
    const __m256i b = _mm256_unpackhi_epi16(even, odd);
    store(out + 2 * i, _mm256_permute2x128_si256(a, b, 0x20));
    store(out + 2 * i + 16, _mm256_permute2x128_si256(a, b, 0x31));
    if (i + 16 == nHigh) break;
  }
  lineScalarFrom(low, high, n, out, nHigh); // the last even output of an odd length
}

CAMVIEW_AVX2 inline __m256i evenFrom(__m256i lm1, __m256i l0, __m256i l1, __m256i hm2, __m256i hm1, __m256i h0,
                                     __m256i h1) {
  __m256i sum = _mm256_mulhi_epi16(l0, broadcast(18270));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(hm1, h0), broadcast(8745)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(lm1, l1), broadcast(-942)));
  sum = _mm256_sub_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(hm2, h1), broadcast(-552)));
  return _mm256_slli_epi16(sum, 2);
}

CAMVIEW_AVX2 inline __m256i oddFrom(__m256i lm1, __m256i l0, __m256i l1, __m256i l2, __m256i hm2, __m256i hm1,
                                    __m256i h0, __m256i h1, __m256i h2) {
  __m256i sum = _mm256_mulhi_epi16(h0, broadcast(19757));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(l0, l1), broadcast(9687)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(hm1, h1), broadcast(-2562)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(lm1, l2), broadcast(-1494)));
  sum = _mm256_add_epi16(sum, _mm256_mulhi_epi16(_mm256_add_epi16(hm2, h2), broadcast(877)));
  return _mm256_slli_epi16(sum, 2);
}

// Blocks of sixteen output pairs, high samples scaled as they are loaded (a factor of 1 skips
// the multiplies).
template <bool kScaled>
CAMVIEW_AVX2 void linePairsBlocks(const int16_t* low, const int16_t* high, __m256i factor, int first, int end,
                                  int16_t* out) {
  for (int i = first; i < end; i += 16) {
    const int16_t* L = low + i;
    const int16_t* H = high + i;
    const __m256i lm1 = load(L - 1), l0 = load(L), l1 = load(L + 1), l2 = load(L + 2);
    __m256i hm2 = load(H - 2), hm1 = load(H - 1), h0 = load(H), h1 = load(H + 1), h2 = load(H + 2);
    if (kScaled) {
      hm2 = _mm256_mullo_epi16(hm2, factor);
      hm1 = _mm256_mullo_epi16(hm1, factor);
      h0 = _mm256_mullo_epi16(h0, factor);
      h1 = _mm256_mullo_epi16(h1, factor);
      h2 = _mm256_mullo_epi16(h2, factor);
    }
    const __m256i even = evenFrom(lm1, l0, l1, hm2, hm1, h0, h1);
    const __m256i odd = oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2);
    const __m256i a = _mm256_unpacklo_epi16(even, odd);
    const __m256i b = _mm256_unpackhi_epi16(even, odd);
    store(out + 2 * i, _mm256_permute2x128_si256(a, b, 0x20));
    store(out + 2 * i + 16, _mm256_permute2x128_si256(a, b, 0x31));
  }
}

CAMVIEW_AVX2 void linePairsAvx2(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end,
                                int16_t* out) {
  if (highFactor == 1) return linePairsBlocks<false>(low, high, broadcast(1), first, end, out);
  linePairsBlocks<true>(low, high, broadcast(highFactor), first, end, out);
}

CAMVIEW_AVX2 void columnsAvx2(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                              long outStride) {
  if (lanes < 16) return sse2Kernels()->columns(low, high, n, lanes, laneStride, out, outStride);
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = 0; i < nLow; ++i) {
    const long at = long(i) * laneStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 16) {
      lane = std::min(lane, lanes - 16);
      store(evenRow + lane, evenLanes(low + at + lane, high + at + lane, laneStride));
      if (i < nHigh) store(evenRow + outStride + lane, oddLanes(low + at + lane, high + at + lane, laneStride));
      if (lane + 16 == lanes) break;
    }
  }
}

CAMVIEW_AVX2 void columnPairsAvx2(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs,
                                  int lanes, int16_t* out, long outStride) {
  if (lanes < 16) return sse2Kernels()->columnPairs(low, lowStride, high, highStride, pairs, lanes, out, outStride);
  for (int i = 0; i < pairs; ++i) {
    const int16_t* L = low + i * lowStride;
    const int16_t* H = high + i * highStride;
    int16_t* evenRow = out + 2 * i * outStride;
    for (int lane = 0;; lane += 16) {
      lane = std::min(lane, lanes - 16);
      const __m256i lm1 = load(L - lowStride + lane), l0 = load(L + lane), l1 = load(L + lowStride + lane),
                    l2 = load(L + 2 * lowStride + lane);
      const __m256i hm2 = load(H - 2 * highStride + lane), hm1 = load(H - highStride + lane), h0 = load(H + lane),
                    h1 = load(H + highStride + lane), h2 = load(H + 2 * highStride + lane);
      store(evenRow + lane, evenFrom(lm1, l0, l1, hm2, hm1, h0, h1));
      store(evenRow + outStride + lane, oddFrom(lm1, l0, l1, l2, hm2, hm1, h0, h1, h2));
      if (lane + 16 == lanes) break;
    }
  }
}

// Shuffle masks of the blue-green-red interleave: output byte k of the 16-byte part `part`
// (of 48 bytes for 16 pixels) takes byte k / 3 (+ 5 or 10 in the later parts) of its
// channel; -1 leaves a zero for the other two channels to fill.
struct BgrMasks {
  __m128i part[3][3]; // [part][channel]
};
const BgrMasks& bgrMasks() {
  static const BgrMasks masks = [] {
    BgrMasks m;
    for (int part = 0; part < 3; ++part)
      for (int channel = 0; channel < 3; ++channel) {
        alignas(16) int8_t index[16];
        for (int k = 0; k < 16; ++k) {
          const int at = 16 * part + k;
          index[k] = at % 3 == channel ? int8_t(at / 3) : int8_t(-1);
        }
        std::memcpy(&m.part[part][channel], index, sizeof index);
      }
    return m;
  }();
  return masks;
}

// Interleaves 16 blue, 16 green and 16 red bytes into 48 bytes blue, green, red.
CAMVIEW_AVX2 inline void storeBgr16(__m128i b, __m128i g, __m128i r, const BgrMasks& masks, uint8_t* out) {
  for (int part = 0; part < 3; ++part) {
    const __m128i* m = masks.part[part];
    const __m128i bytes =
        _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m[0]), _mm_shuffle_epi8(g, m[1])), _mm_shuffle_epi8(r, m[2]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), bytes);
  }
}

// Colour arithmetic of sixteen pixels (the SSE2 kernel's, in 256-bit registers): blue, green
// and red as saturated 16-bit lanes in natural order.
struct Channels16 {
  __m256i b, g, r;
};
CAMVIEW_AVX2 inline Channels16 channels16(const int16_t* y, const int16_t* u, const int16_t* v, __m256i offB,
                                          __m256i offG, __m256i offR) {
  const __m256i luma = load(y);
  // Each colour difference serves two pixels: duplicate the eight samples in natural order.
  const __m256i cu8 =
      _mm256_permute4x64_epi64(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u))), 0x50);
  const __m256i cv8 =
      _mm256_permute4x64_epi64(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v))), 0x50);
  const __m256i cu = _mm256_unpacklo_epi16(cu8, cu8);
  const __m256i cv = _mm256_unpacklo_epi16(cv8, cv8);
  const __m256i yt = _mm256_mulhi_epi16(_mm256_adds_epi16(luma, broadcast(7168)), broadcast(1191));
  const __m256i bt = _mm256_mulhi_epi16(cu, broadcast(2066));
  const __m256i gt =
      _mm256_adds_epi16(_mm256_mulhi_epi16(cu, broadcast(-400)), _mm256_mulhi_epi16(cv, broadcast(-832)));
  const __m256i rt = _mm256_mulhi_epi16(cv, broadcast(1634));
  return {_mm256_adds_epi16(_mm256_adds_epi16(yt, bt), offB), _mm256_adds_epi16(_mm256_adds_epi16(yt, gt), offG),
          _mm256_adds_epi16(_mm256_adds_epi16(yt, rt), offR)};
}

// packus works per 128-bit half: packing lanes a0-15 and b0-15 gives [a0-7 b0-7 | a8-15 b8-15];
// reordering the quarters makes it [a0-15 | b0-15].
CAMVIEW_AVX2 inline __m256i packBytes(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
}

// Thirty-two pixels per step: each 128-bit half of the byte registers holds sixteen pixels, so
// one 256-bit shuffle interleaves two 48-byte runs at once. Sixteen and eight remaining pixels
// take the narrower steps.
CAMVIEW_AVX2 void convertAvx2(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                              int16_t offsetGreen, int16_t offsetRed, uint8_t* out) {
  const __m256i offB = _mm256_set1_epi16(offsetBlue);
  const __m256i offG = _mm256_set1_epi16(offsetGreen);
  const __m256i offR = _mm256_set1_epi16(offsetRed);
  const BgrMasks& masks = bgrMasks();
  __m256i wide[3][3];
  for (int part = 0; part < 3; ++part)
    for (int channel = 0; channel < 3; ++channel)
      wide[part][channel] = _mm256_broadcastsi128_si256(masks.part[part][channel]);
  int g = 0;
  for (; g + 4 <= groups; g += 4) {
    const Channels16 first = channels16(y + 8 * g, u + 4 * g, v + 4 * g, offB, offG, offR);
    const Channels16 second = channels16(y + 8 * g + 16, u + 4 * g + 8, v + 4 * g + 8, offB, offG, offR);
    const __m256i blue = packBytes(first.b, second.b); // [pixels 0-15 | pixels 16-31]
    const __m256i green = packBytes(first.g, second.g);
    const __m256i red = packBytes(first.r, second.r);
    __m256i parts[3]; // [48-byte run of pixels 0-15, part p | run of pixels 16-31, part p]
    for (int part = 0; part < 3; ++part)
      parts[part] = _mm256_or_si256(
          _mm256_or_si256(_mm256_shuffle_epi8(blue, wide[part][0]), _mm256_shuffle_epi8(green, wide[part][1])),
          _mm256_shuffle_epi8(red, wide[part][2]));
    uint8_t* o = out + 24 * g;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_permute2x128_si256(parts[0], parts[1], 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), _mm256_permute2x128_si256(parts[2], parts[0], 0x30));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), _mm256_permute2x128_si256(parts[1], parts[2], 0x31));
  }
  if (g + 2 <= groups) {
    const Channels16 c = channels16(y + 8 * g, u + 4 * g, v + 4 * g, offB, offG, offR);
    const __m256i bg = packBytes(c.b, c.g);
    const __m256i rr = packBytes(c.r, c.r);
    storeBgr16(_mm256_castsi256_si128(bg), _mm256_extracti128_si256(bg, 1), _mm256_castsi256_si128(rr), masks,
               out + 24 * g);
    g += 2;
  }
  if (g < groups)
    sse2Kernels()->convert(y + 8 * g, u + 4 * g, v + 4 * g, groups - g, offsetBlue, offsetGreen, offsetRed,
                           out + 24 * g);
}

} // namespace

const Kernels* avx2Kernels() {
  if (sse2Kernels() == nullptr) return nullptr;
  static const Kernels kernels{lineAvx2, linePairsAvx2, columnsAvx2, columnPairsAvx2, convertAvx2};
  return &kernels;
}

} // namespace wavelet::mmx

#else

namespace wavelet::mmx {
const Kernels* avx2Kernels() { return nullptr; }
} // namespace wavelet::mmx

#endif
