#include "decoder/PortableKernels.h"

namespace wavelet::portable {

void LineScalarFrom(const int16_t* low, const int16_t* high, int n, int16_t* out, int firstIndex) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = firstIndex; i < nLow; ++i) out[2 * i] = EvenAt(low + i, high + i, 1);
  for (int i = firstIndex; i < nHigh; ++i) out[2 * i + 1] = OddAt(low + i, high + i, 1);
}

void ColumnsScalar(const int16_t* low, const int16_t* high, int n, int firstLane, int lanes, int laneStride,
                   int16_t* out, long outStride) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = 0; i < nLow; ++i) {
    const long at = long(i) * laneStride;
    for (int lane = firstLane; lane < lanes; ++lane)
      out[2 * i * outStride + lane] = EvenAt(low + at + lane, high + at + lane, laneStride);
    if (i < nHigh)
      for (int lane = firstLane; lane < lanes; ++lane)
        out[(2 * i + 1) * outStride + lane] = OddAt(low + at + lane, high + at + lane, laneStride);
  }
}

namespace {
void LineScalar(const int16_t* low, const int16_t* high, int n, int16_t* out) { LineScalarFrom(low, high, n, out, 0); }
void ColumnsScalarAll(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                      long outStride) {
  ColumnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
}
} // namespace

const Kernels& ScalarKernels() {
  static const Kernels kernels{LineScalar, ColumnsScalarAll};
  return kernels;
}

const Kernels& BestKernels() {
  const Kernels* sse2 = Sse2Kernels();
  return sse2 != nullptr ? *sse2 : ScalarKernels();
}

} // namespace wavelet::portable
