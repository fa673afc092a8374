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

void columnPairsScalar(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs,
                       int firstLane, int lanes, int16_t* out, long outStride) {
  for (int i = 0; i < pairs; ++i) {
    int16_t even[64];
    int16_t odd[64];
    for (int first = firstLane; first < lanes; first += 64) {
      const int count = lanes - first < 64 ? lanes - first : 64;
      const int16_t* L = low + i * lowStride + first;
      const int16_t* H = high + i * highStride + first;
      for (int lane = 0; lane < count; ++lane) {
        even[lane] = evenAt(L + lane, lowStride, H + lane, highStride);
        odd[lane] = oddAt(L + lane, lowStride, H + lane, highStride);
      }
      std::memcpy(out + 2 * i * outStride + first, even, sizeof(int16_t) * static_cast<size_t>(count));
      std::memcpy(out + (2 * i + 1) * outStride + first, odd, sizeof(int16_t) * static_cast<size_t>(count));
    }
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
  if (nHigh < kBlock || highColumn < nLow || highColumn > n || nLow > nHigh + 1) {
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

void synthesiseColumns(const Kernels& kernels, int16_t* plane, long planeStride, int nLow, int highLine, int nHigh,
                       int lanes, int laneStride, int16_t* scratch) {
  // As in a line: pair i reads high rows i-2..i+2 and the pairs before it overwrote rows below
  // 2i, high rows below 2i - highLine, nothing it needs while i <= highLine - 2. The kernel's
  // overlapping last block of lanes reads a pair's inputs again after storing some of its
  // outputs, so the pairs in place stop one earlier still (i <= highLine - 4, odd row 2i + 1
  // below high row i - 2). The pairs from there on need mirrored rows at the end: they are
  // computed first from extended copies, as are the mirrored rows -2 and -1, which go just
  // above the band (over low rows already copied, or unused rows).
  const int n = nLow + nHigh;
  int16_t* high = plane + highLine * planeStride;
  if (nHigh < 8 || highLine < nLow || highLine > n || nLow > nHigh + 1) {
    int16_t* low = nullptr;
    int16_t* highExtended = nullptr;
    extendColumns(plane, high, planeStride, n, lanes, laneStride, scratch, low, highExtended);
    kernels.columns(low, highExtended, n, lanes, laneStride, plane, planeStride);
    return;
  }
  const int inPlace = nHigh - 2 < highLine - 3 ? nHigh - 2 : highLine - 3;
  const int tailRows = n - 2 * inPlace; // at most 8 (nHigh - inPlace <= 3, nLow <= nHigh + 1)
  const size_t laneBytes = sizeof(int16_t) * static_cast<size_t>(lanes);
  // Strips of 32 lanes are the common case: a copy of known size compiles to a few moves.
  auto copyRow = [lanes, laneBytes](int16_t* to, const int16_t* from) {
    if (lanes == 32)
      std::memcpy(to, from, 32 * sizeof(int16_t));
    else
      std::memcpy(to, from, laneBytes);
  };
  int16_t* low = scratch + kExtension * laneStride;
  int16_t* tailHigh = low + (nLow + kExtension) * laneStride + kExtension * laneStride; // element 0 = high row inPlace
  const int tailHighRows = nHigh - inPlace;
  int16_t* tailOut = tailHigh + (tailHighRows + kExtension) * laneStride;
  for (int i = 0; i < nLow; ++i) copyRow(low + i * laneStride, plane + i * planeStride);
  for (int k = 1; k <= kExtension; ++k) {
    copyRow(low - k * laneStride, plane + mirroredIndex(-k, false, n) * planeStride);
    copyRow(low + (nLow - 1 + k) * laneStride, plane + mirroredIndex(nLow - 1 + k, false, n) * planeStride);
  }
  for (int i = -kExtension; i < tailHighRows + kExtension; ++i)
    copyRow(tailHigh + i * laneStride, high + mirroredIndex(inPlace + i, true, n) * planeStride);
  kernels.columns(low + inPlace * laneStride, tailHigh, tailRows, lanes, laneStride, tailOut, laneStride);
  for (int k = 1; k <= kExtension; ++k)
    copyRow(high - k * planeStride, high + mirroredIndex(-k, true, n) * planeStride);
  kernels.columnPairs(low, laneStride, high, planeStride, inPlace, lanes, plane, planeStride);
  for (int r = 0; r < tailRows; ++r) copyRow(plane + (2 * inPlace + r) * planeStride, tailOut + r * laneStride);
}

namespace {
void lineScalar(const int16_t* low, const int16_t* high, int n, int16_t* out) { lineScalarFrom(low, high, n, out, 0); }
void columnsScalarAll(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                      long outStride) {
  columnsScalar(low, high, n, 0, lanes, laneStride, out, outStride);
}
void columnPairsScalarAll(const int16_t* low, long lowStride, const int16_t* high, long highStride, int pairs,
                          int lanes, int16_t* out, long outStride) {
  columnPairsScalar(low, lowStride, high, highStride, pairs, 0, lanes, out, outStride);
}
} // namespace

const Kernels& scalarKernels() {
  static const Kernels kernels{lineScalar, linePairsScalar, columnsScalarAll, columnPairsScalarAll, convertScalar};
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
