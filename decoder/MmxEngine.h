// The four-lane engine variant: 16-bit fixed point at twice the portable sample scale.
//
// Detail bands are scaled by (q + 2) >> 2 while they are read into the line synthesis, the
// lowest bands by (q * x) / 4 before the levels; per level the lines are synthesised first
// (low lines, then high lines) and the columns after them, with the four-lane tap arithmetic
// of MmxKernels.h. Colours are converted in groups of 8 pixels and clamped to 0..255. Bands
// lie on multiples of 4 in the planes. The arithmetic runs as a scalar model, SSE2 or AVX2,
// all giving identical bytes.
#pragma once

#include "decoder/MmxKernels.h"
#include "decoder/WaveletEngine.h"

namespace wavelet {

class CMmxEngine final : public CWaveletEngine {
public:
  explicit CMmxEngine(SimdLevel simd = SimdLevel::Automatic);

  void InverseTransform() override;
  int ConvertToBgr(int offsetRed, int offsetGreen, int offsetBlue) override;
  bool dequantisesWhileDecoding() const override { return false; }
  int RoundDimension(int n) const override { return roundUpToFour(n); }
  bool isPortable() const override { return false; }

  SimdLevel simd() const { return simd_; }

private:
  // As synthesiseLines, each line rebuilt in place by mmx::synthesiseLine.
  void synthesiseLinesInPlace(int component, int firstLine, int lines, int nLow, int highColumn, int nHigh,
                              int lowFactor, int highFactor);

  // As synthesiseColumns, in strips of kColumnLanes rebuilt in place by mmx::synthesiseColumns.
  void synthesiseColumnsInPlace(int component, int columns, int nLow, int highLine, int nHigh);

  SimdLevel simd_;
  const mmx::Kernels* kernels_;
};

} // namespace wavelet
