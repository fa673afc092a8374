#include "decoder/PortableKernels.h"

namespace wavelet::portable {

void lineScalarFrom(const int16_t* low, const int16_t* high, int n, int16_t* out, int firstIndex) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = firstIndex; i < nLow; ++i) out[2 * i] = evenAt(low + i, high + i, 1);
  for (int i = firstIndex; i < nHigh; ++i) out[2 * i + 1] = oddAt(low + i, high + i, 1);
}

void columnsScalar(const int16_t* low, const int16_t* high, int n, int firstLane, int lanes, int laneStride,
                   int16_t* out, long outStride) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = 0; i < nLow; ++i) {
    const long at = long(i) * laneStride;
    for (int lane = firstLane; lane < lanes; ++lane)
      out[2 * i * outStride + lane] = evenAt(low + at + lane, high + at + lane, laneStride);
    if (i < nHigh)
      for (int lane = firstLane; lane < lanes; ++lane)
        out[(2 * i + 1) * outStride + lane] = oddAt(low + at + lane, high + at + lane, laneStride);
  }
}

namespace {
void lineScalar(const int16_t* low, const int16_t* high, int n, int16_t* out) { lineScalarFrom(low, high, n, out, 0); }
void columnsScalarAll(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                      long outStride) {
  columnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
}
} // namespace

const Kernels& scalarKernels() {
  static const Kernels kernels{lineScalar, columnsScalarAll};
  return kernels;
}

const Kernels& bestKernels() {
  const Kernels* sse2 = sse2Kernels();
  return sse2 != nullptr ? *sse2 : scalarKernels();
}

} // namespace wavelet::portable
