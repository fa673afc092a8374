// The engine variant with plain integer and single-precision arithmetic.
//
// Band values are scaled as they are decoded ((q * x + 4) >> 3), the transform runs the
// 9/7 synthesis in 14-bit fixed point with 32-bit sums (columns first, then lines, per level),
// and colours are converted pixel pair by pixel pair in single precision, clamped to 1..254.
#pragma once

#include "decoder/PortableKernels.h"
#include "decoder/WaveletEngine.h"

namespace wavelet {

class CPortableEngine final : public CWaveletEngine {
public:
  // Scalar runs the synthesis as its scalar definition; any other level uses SSE2 where built
  // (identical results).
  explicit CPortableEngine(SimdLevel simd = SimdLevel::Automatic);

  void InverseTransform() override;
  int ConvertToBgr(int offsetRed, int offsetGreen, int offsetBlue) override;
  bool dequantisesWhileDecoding() const override { return true; }
  int RoundDimension(int n) const override { return n; }
  bool isPortable() const override { return true; }

private:
  const portable::Kernels* kernels_;
};

// Conversion constants: the BT.601 factors divided by 32, in single precision.
struct PortableColourConstants {
  float luma;      // 1.164 / 32
  float crToRed;   // 1.596 / 32
  float crToGreen; // -0.813 / 32
  float cbToGreen; // -0.391 / 32
  float cbToBlue;  // 2.018 / 32
};
extern const PortableColourConstants kPortableColour;

// Converts `pairs` pixel pairs (luminance y[2j], y[2j+1] with colour differences u[j], v[j])
// to bytes blue, green, red, clamped to 1..254. The scalar version is the definition; the
// default one uses SSE2 where built, with identical results.
void portableConvertPairsScalar(const int16_t* y, const int16_t* u, const int16_t* v, int pairs, uint8_t* out);
void portableConvertPairs(const int16_t* y, const int16_t* u, const int16_t* v, int pairs, uint8_t* out);

} // namespace wavelet
