// Stores eight pixels, given as bytes in SSE2 registers, as packed blue-green-red triples.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace wavelet {

// `blue` holds 8 blue bytes in its low half, `greenRed` 8 green bytes then 8 red bytes.
// Writes 24 bytes at out; unless `exact`, it may also write (garbage) into the 2 bytes after
// them, which is faster: callers pass exact for the last group of a line.
inline void storeBgr8(__m128i blue, __m128i greenRed, uint8_t* out, bool exact) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bg = _mm_unpacklo_epi8(blue, greenRed);                               // b0 g0 b1 g1 ...
  const __m128i r0 = _mm_unpacklo_epi8(_mm_srli_si128(greenRed, 8), zero);            // r0 0 r1 0 ...
  const __m128i pixels[2] = {_mm_unpacklo_epi16(bg, r0), _mm_unpackhi_epi16(bg, r0)}; // b g r 0 each
  if (exact) {
    alignas(16) uint8_t bgr0[32];
    _mm_store_si128(reinterpret_cast<__m128i*>(bgr0), pixels[0]);
    _mm_store_si128(reinterpret_cast<__m128i*>(bgr0 + 16), pixels[1]);
    for (int p = 0; p < 8; ++p) std::memcpy(out + 3 * p, bgr0 + 4 * p, 3);
    return;
  }
  // Two pixels per 64-bit word: drop each pixel's zero byte, store 8 bytes (6 valid).
  const __m128i lowMask = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  for (int half = 0; half < 2; ++half) {
    const __m128i v = pixels[half];
    const __m128i packed = _mm_or_si128(_mm_and_si128(v, lowMask), _mm_srli_epi64(_mm_andnot_si128(lowMask, v), 8));
    uint64_t words[2];
    std::memcpy(words, &packed, sizeof words);
    std::memcpy(out + 12 * half, &words[0], 8);
    std::memcpy(out + 12 * half + 6, &words[1], 8);
  }
}

} // namespace wavelet

#endif
