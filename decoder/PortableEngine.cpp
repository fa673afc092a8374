#include "decoder/PortableEngine.h"

#include "decoder/Sse2Pixels.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wavelet {

const PortableColourConstants kPortableColour{static_cast<float>(1.164 / 32.0), static_cast<float>(1.596 / 32.0),
                                              static_cast<float>(-0.813 / 32.0), static_cast<float>(-0.391 / 32.0),
                                              static_cast<float>(2.018 / 32.0)};

namespace {

inline uint8_t toByte(float value) {
  const int truncated = static_cast<int>(value); // towards zero
  return static_cast<uint8_t>(std::clamp(truncated, 1, 254));
}

} // namespace

void portableConvertPairsScalar(const int16_t* y, const int16_t* u, const int16_t* v, int pairs, uint8_t* out) {
  const PortableColourConstants k = kPortableColour;
  for (int j = 0; j < pairs; ++j) {
    const float cu = static_cast<float>(u[j]);
    const float cv = static_cast<float>(v[j]);
    const float blue = k.cbToBlue * cu;
    const float green = k.crToGreen * cv + k.cbToGreen * cu;
    const float red = k.crToRed * cv;
    for (int p = 0; p < 2; ++p) {
      const float luma = k.luma * static_cast<float>(y[2 * j + p] + 3584);
      out[6 * j + 3 * p + 0] = toByte(luma + blue);
      out[6 * j + 3 * p + 1] = toByte(luma + green);
      out[6 * j + 3 * p + 2] = toByte(luma + red);
    }
  }
}

#if defined(__SSE2__)
void portableConvertPairs(const int16_t* y, const int16_t* u, const int16_t* v, int pairs, uint8_t* out) {
  // Four pairs (eight pixels) per step; every float operation is the scalar one, in the
  // same order, and _mm_cvttps_epi32 truncates like the scalar conversion.
  const PortableColourConstants k = kPortableColour;
  const __m128 kLuma = _mm_set1_ps(k.luma), kCbB = _mm_set1_ps(k.cbToBlue), kCrG = _mm_set1_ps(k.crToGreen),
               kCbG = _mm_set1_ps(k.cbToGreen), kCrR = _mm_set1_ps(k.crToRed);
  const __m128i offset = _mm_set1_epi32(3584);
  const __m128i lowest = _mm_set1_epi16(1), highest = _mm_set1_epi16(254), zero = _mm_setzero_si128();
  auto widen = [](__m128i halves) { return _mm_srai_epi32(halves, 16); }; // sign-extend upper 16 bits
  int j = 0;
  for (; j + 4 <= pairs; j += 4) {
    const __m128i luma16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + 2 * j));
    __m128i u64 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + j));
    __m128i v64 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + j));
    const __m128 cu = _mm_cvtepi32_ps(widen(_mm_unpacklo_epi16(u64, u64)));
    const __m128 cv = _mm_cvtepi32_ps(widen(_mm_unpacklo_epi16(v64, v64)));
    const __m128 blue = _mm_mul_ps(kCbB, cu);
    const __m128 green = _mm_add_ps(_mm_mul_ps(kCrG, cv), _mm_mul_ps(kCbG, cu));
    const __m128 red = _mm_mul_ps(kCrR, cv);
    const __m128 lumaLow =
        _mm_mul_ps(kLuma, _mm_cvtepi32_ps(_mm_add_epi32(widen(_mm_unpacklo_epi16(luma16, luma16)), offset)));
    const __m128 lumaHigh =
        _mm_mul_ps(kLuma, _mm_cvtepi32_ps(_mm_add_epi32(widen(_mm_unpackhi_epi16(luma16, luma16)), offset)));
    auto channel = [&](__m128 term) {
      const __m128 low = _mm_add_ps(lumaLow, _mm_unpacklo_ps(term, term));   // pairs 0, 1
      const __m128 high = _mm_add_ps(lumaHigh, _mm_unpackhi_ps(term, term)); // pairs 2, 3
      const __m128i packed = _mm_packs_epi32(_mm_cvttps_epi32(low), _mm_cvttps_epi32(high));
      return _mm_min_epi16(_mm_max_epi16(packed, lowest), highest);
    };
    const __m128i b = _mm_packus_epi16(channel(blue), zero);
    const __m128i gr = _mm_packus_epi16(channel(green), channel(red));
    storeBgr8(b, gr, out + 6 * j, j + 4 == pairs); // a scalar tail overwrites the spill
  }
  portableConvertPairsScalar(y + 2 * j, u + j, v + j, pairs - j, out + 6 * j);
}
#else
void portableConvertPairs(const int16_t* y, const int16_t* u, const int16_t* v, int pairs, uint8_t* out) {
  portableConvertPairsScalar(y, u, v, pairs, out);
}
#endif

CPortableEngine::CPortableEngine(SimdLevel simd)
    : kernels_(simd == SimdLevel::Scalar ? &portable::scalarKernels() : &portable::bestKernels()) {}

void CPortableEngine::InverseTransform() {
  // Every plane, also when the caller asked for luminance only (no caller does).
  for (int c = 0; c < kComponentCount; ++c) {
    int lowWidth = band(bandIndex(13, c)).width;
    int lowHeight = band(bandIndex(13, c)).height;
    for (int k = 4; k >= std::max(levels_, 1); --k) {
      const SubbandDescriptor& highColumns = band(bandIndex(slotOf(BandKind::HighColumns, k), c));
      const SubbandDescriptor& highLines = band(bandIndex(slotOf(BandKind::HighLines, k), c));
      const int width = lowWidth + highColumns.width;
      const int height = lowHeight + highLines.height;
      synthesiseColumns(c, width, lowHeight, highLines.line, highLines.height, kernels_->columns);
      synthesiseLines(c, 0, height, lowWidth, highColumns.column, highColumns.width, 1, 1, kernels_->line);
      lowWidth = width;
      lowHeight = height;
    }
    if (levels_ == 0) {
      const SubbandDescriptor& level0 = band(bandIndex(0, c));
      synthesiseLines(c, 0, lowHeight, lowWidth, level0.column, level0.width, 1, 1, kernels_->line);
    }
  }
}

int CPortableEngine::ConvertToBgr(int, int, int) {
  const OutputRegion region = outputRegion();
  const int scale = 1 << levels_;
  const int pairs = (colEnd_ / scale - region.firstColumn) / 2;
  const int width = 2 * pairs;
  for (int i = 0; i < region.sourceLines; ++i) {
    const int row = outputRow(region, i);
    if (row < 0) continue;
    const int16_t* y = planes_[0] + static_cast<long>(i) * geometry_.stride[0] + region.firstColumn;
    const int16_t* u = planes_[1] + static_cast<long>(i) * geometry_.stride[1] + region.firstColumn / 2;
    const int16_t* v = planes_[2] + static_cast<long>(i) * geometry_.stride[2] + region.firstColumn / 2;
    if (uint8_t* out = convertedRow(row, width)) {
      portableConvertPairs(y, u, v, pairs, out);
      finishRow(row, out);
    }
  }
  return width;
}

} // namespace wavelet
