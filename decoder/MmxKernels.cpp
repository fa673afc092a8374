#include "decoder/MmxKernels.h"

#include "decoder/CpuFeatures.h"

namespace wavelet::mmx {

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

void ConvertScalar(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                   int16_t offsetGreen, int16_t offsetRed, uint8_t* out) {
  auto clampByte = [](int16_t value) { return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value)); };
  for (int p = 0; p < 8 * groups; ++p) {
    const int16_t cu = u[p / 2];
    const int16_t cv = v[p / 2];
    const int16_t yt = P(Saturate(y[p] + 7168), 1191);
    const int16_t bt = P(cu, 2066);
    const int16_t gt = Saturate(P(cu, -400) + P(cv, -832));
    const int16_t rt = P(cv, 1634);
    out[3 * p + 0] = clampByte(Saturate(Saturate(yt + bt) + offsetBlue));
    out[3 * p + 1] = clampByte(Saturate(Saturate(yt + gt) + offsetGreen));
    out[3 * p + 2] = clampByte(Saturate(Saturate(yt + rt) + offsetRed));
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
  static const Kernels kernels{LineScalar, ColumnsScalarAll, ConvertScalar};
  return kernels;
}

SimdLevel ResolveSimdLevel(SimdLevel level) {
  const SimdLevel best = BestSimdLevel();
  if (level == SimdLevel::Automatic || level > best) level = best;
  if (level == SimdLevel::Avx2 && Avx2Kernels() == nullptr) level = SimdLevel::Sse2;
  if (level == SimdLevel::Sse2 && Sse2Kernels() == nullptr) level = SimdLevel::Scalar;
  return level;
}

const Kernels& KernelsFor(SimdLevel level) {
  switch (ResolveSimdLevel(level)) {
  case SimdLevel::Avx2:
    return *Avx2Kernels();
  case SimdLevel::Sse2:
    return *Sse2Kernels();
  default:
    return ScalarKernels();
  }
}

} // namespace wavelet::mmx
