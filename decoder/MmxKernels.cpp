#include "decoder/MmxKernels.h"

#include "decoder/CpuFeatures.h"
#include "decoder/SynthesisLine.h"

#include <cstring>

namespace wavelet::mmx {

void lineScalarFrom(const int16_t* low, const int16_t* high, int n, int16_t* out, int firstIndex) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  for (int i = firstIndex; i < nLow; ++i) out[2 * i] = evenAt(low + i, high + i, 1);
  for (int i = firstIndex; i < nHigh; ++i) out[2 * i + 1] = oddAt(low + i, high + i, 1);
}

void linePairsScalar(const int16_t* low, const int16_t* high, int16_t highFactor, int first, int end, int16_t* out) {
  for (int block = first; block < end; block += kLineBlockPairs) {
    // The block's high samples block-2..block+kLineBlockPairs+1, scaled, before any output.
    int16_t h[kLineBlockPairs + 4];
    for (int k = 0; k < kLineBlockPairs + 4; ++k) h[k] = scaled(high[block - 2 + k], highFactor);
    int16_t pairs[2 * kLineBlockPairs];
    for (int k = 0; k < kLineBlockPairs; ++k) {
      pairs[2 * k] = evenAt(low + block + k, h + 2 + k, 1);
      pairs[2 * k + 1] = oddAt(low + block + k, h + 2 + k, 1);
    }
    for (int k = 0; k < 2 * kLineBlockPairs; ++k) out[2 * block + k] = pairs[k];
  }
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

void convertScalar(const int16_t* y, const int16_t* u, const int16_t* v, int groups, int16_t offsetBlue,
                   int16_t offsetGreen, int16_t offsetRed, uint8_t* out) {
  auto clampByte = [](int16_t value) { return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value)); };
  for (int p = 0; p < 8 * groups; ++p) {
    const int16_t cu = u[p / 2];
    const int16_t cv = v[p / 2];
    const int16_t yt = mulHigh(saturate(y[p] + 7168), 1191);
    const int16_t bt = mulHigh(cu, 2066);
    const int16_t gt = saturate(mulHigh(cu, -400) + mulHigh(cv, -832));
    const int16_t rt = mulHigh(cv, 1634);
    out[3 * p + 0] = clampByte(saturate(saturate(yt + bt) + offsetBlue));
    out[3 * p + 1] = clampByte(saturate(saturate(yt + gt) + offsetGreen));
    out[3 * p + 2] = clampByte(saturate(saturate(yt + rt) + offsetRed));
  }
}

void synthesiseLine(const Kernels& kernels, int16_t* row, int nLow, int highColumn, int nHigh, int lowFactor,
                    int highFactor, int16_t* scratch) {
  // The kernel reads the high samples where they lie and writes pairs 0..full-1 over the row in
  // ascending blocks. A block starting at pair s reads high samples s-2 onwards, and the blocks
  // before it overwrote row samples below 2s, that is high samples below 2s - highColumn:
  // nothing it needs while s <= highColumn - 2, which holds as s <= full - kLineBlockPairs and
  // full <= nHigh <= highColumn. The mirrored high samples -2 and -1 go just before the band
  // (over low samples already copied, or padding), nHigh and nHigh + 1 just after it (saved and
  // put back). The last pairs, fewer than a block, are computed first into a small buffer,
  // before anything is overwritten.
  constexpr int kBlock = kLineBlockPairs;
  const int n = nLow + nHigh;
  if (nHigh < kBlock || highColumn < nLow || nLow > nHigh + 1) {
    int16_t* low = nullptr;
    int16_t* high = nullptr;
    extendLine(row, lowFactor, row + highColumn, highFactor, n, scratch, low, high);
    kernels.line(low, high, n, row);
    return;
  }
  const int full = nHigh / kBlock * kBlock; // pairs rebuilt in place
  const int tailLength = n - 2 * full;      // outputs of the last pairs, 0..2 * kBlock - 1
  const int16_t factor = static_cast<int16_t>(highFactor);
  int16_t* low = scratch + kExtension;
  int16_t* high = row + highColumn;
  int16_t tail[2 * kBlock];
  extendSamples(row, nLow, lowFactor, false, n, low);
  high[-2] = high[mirroredIndex(-2, true, n)];
  high[-1] = high[mirroredIndex(-1, true, n)];
  const int16_t saved[2] = {high[nHigh], high[nHigh + 1]};
  high[nHigh] = high[mirroredIndex(nHigh, true, n)];
  high[nHigh + 1] = high[mirroredIndex(nHigh + 1, true, n)];
  if (tailLength > 0) kernels.linePairs(low + full, high + full, factor, 0, kBlock, tail);
  kernels.linePairs(low, high, factor, 0, full, row);
  high[nHigh] = saved[0];
  high[nHigh + 1] = saved[1];
  std::memcpy(row + 2 * full, tail, sizeof(int16_t) * static_cast<size_t>(tailLength));
}

namespace {
void lineScalar(const int16_t* low, const int16_t* high, int n, int16_t* out) { lineScalarFrom(low, high, n, out, 0); }
void columnsScalarAll(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                      long outStride) {
  columnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
}
} // namespace

const Kernels& scalarKernels() {
  static const Kernels kernels{lineScalar, linePairsScalar, columnsScalarAll, convertScalar};
  return kernels;
}

SimdLevel resolveSimdLevel(SimdLevel level) {
  const SimdLevel best = bestSimdLevel();
  if (level == SimdLevel::Automatic || level > best) level = best;
  if (level == SimdLevel::Avx2 && avx2Kernels() == nullptr) level = SimdLevel::Sse2;
  if (level == SimdLevel::Sse2 && sse2Kernels() == nullptr) level = SimdLevel::Scalar;
  return level;
}

const Kernels& kernelsFor(SimdLevel level) {
  switch (resolveSimdLevel(level)) {
  case SimdLevel::Avx2:
    return *avx2Kernels();
  case SimdLevel::Sse2:
    return wasmKernels() != nullptr ? *wasmKernels() : *sse2Kernels();
  default:
    return scalarKernels();
  }
}

} // namespace wavelet::mmx
