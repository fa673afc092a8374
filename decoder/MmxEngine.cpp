#include "decoder/MmxEngine.h"

#include "decoder/SynthesisLine.h"

#include <algorithm>
#include <cstring>

namespace wavelet {
namespace {

// Scale factor of a detail band, applied as a 16-bit product.
int detailFactor(const SubbandDescriptor& band) { return (int(band.quantiser) + 2) >> 2; }

} // namespace

void CMmxEngine::synthesiseLinesInPlace(int component, int firstLine, int lines, int nLow, int highColumn,
                                        int nHigh, int lowFactor, int highFactor) {
  // Only the low samples are copied (the extended array in scratch); the kernel reads the high
  // ones where they lie and writes pairs 0..full-1 over the row in ascending blocks. A block
  // starting at pair s reads high samples s-2 onwards, and the blocks before it overwrote row
  // samples below 2s, that is high samples below 2s - highColumn: nothing it needs while
  // s <= highColumn - 2, which holds as s <= full - kBlock and full <= nHigh <= highColumn.
  // The mirrored high samples -2, -1 go just before the band (low samples, already copied, or
  // padding), nHigh and nHigh + 1 just after it (saved and put back). The last pairs, fewer
  // than a block, are computed first into a small buffer, before anything is overwritten.
  constexpr int kBlock = mmx::kLineBlockPairs;
  if (nHigh < kBlock || highColumn < nLow || nLow > nHigh + 1 || highColumn < 2) {
    synthesiseLines(component, firstLine, lines, nLow, highColumn, nHigh, lowFactor, highFactor, kernels_->line);
    return;
  }
  const int n = nLow + nHigh;
  const int full = nHigh / kBlock * kBlock; // pairs rebuilt in place
  const int tailLength = n - 2 * full;      // outputs of the last pairs, 0..2 * kBlock
  const long stride = geometry_.stride[component];
  const int16_t factor = static_cast<int16_t>(highFactor);
  int16_t* low = scratch() + kExtension;
  int16_t tail[2 * kBlock];
  const int before[2] = {mirroredIndex(-2, true, n), mirroredIndex(-1, true, n)};
  const int after[2] = {mirroredIndex(nHigh, true, n), mirroredIndex(nHigh + 1, true, n)};
  for (int line = firstLine; line < firstLine + lines; ++line) {
    int16_t* row = planes_[component] + line * stride;
    int16_t* high = row + highColumn;
    extendSamples(row, nLow, lowFactor, false, n, low);
    high[-2] = high[before[0]];
    high[-1] = high[before[1]];
    const int16_t saved[2] = {high[nHigh], high[nHigh + 1]};
    high[nHigh] = high[after[0]];
    high[nHigh + 1] = high[after[1]];
    if (tailLength > 0) kernels_->linePairs(low + full, high + full, factor, 0, kBlock, tail);
    kernels_->linePairs(low, high, factor, 0, full, row);
    high[nHigh] = saved[0];
    high[nHigh + 1] = saved[1];
    std::memcpy(row + 2 * full, tail, sizeof(int16_t) * static_cast<size_t>(tailLength));
  }
}

CMmxEngine::CMmxEngine(SimdLevel simd) : simd_(mmx::resolveSimdLevel(simd)), kernels_(&mmx::kernelsFor(simd_)) {}

void CMmxEngine::InverseTransform() {
  // Every plane, also when the caller asked for luminance only (no caller does).
  for (int c = 0; c < kComponentCount; ++c) {
    const SubbandDescriptor& lowest = band(bandIndex(13, c));
    const int32_t q = lowest.quantiser;
    for (int line = 0; line < lowest.height; ++line) {
      int16_t* row = lowest.firstSample() + static_cast<long>(line) * lowest.stride;
      for (int x = 0; x < lowest.width; ++x) row[x] = static_cast<int16_t>((q * row[x]) / 4);
    }

    int lowWidth = lowest.width;
    int lowHeight = lowest.height;
    for (int k = 4; k >= std::max(levels_, 1); --k) {
      const SubbandDescriptor& highColumns = band(bandIndex(slotOf(BandKind::HighColumns, k), c));
      const SubbandDescriptor& highLines = band(bandIndex(slotOf(BandKind::HighLines, k), c));
      const SubbandDescriptor& highBoth = band(bandIndex(slotOf(BandKind::HighBoth, k), c));
      synthesiseLinesInPlace(c, 0, lowHeight, lowWidth, highColumns.column, highColumns.width, 1,
                             detailFactor(highColumns));
      synthesiseLinesInPlace(c, highLines.line, highLines.height, lowWidth, highBoth.column, highBoth.width,
                             detailFactor(highLines), detailFactor(highBoth));
      const int width = lowWidth + highColumns.width;
      synthesiseColumns(c, width, lowHeight, highLines.line, highLines.height, kernels_->columns);
      lowWidth = width;
      lowHeight += highLines.height;
    }
    if (levels_ == 0) {
      const SubbandDescriptor& level0 = band(bandIndex(0, c));
      synthesiseLinesInPlace(c, 0, lowHeight, lowWidth, level0.column, level0.width, 1, detailFactor(level0));
    }
  }
}

int CMmxEngine::ConvertToBgr(int offsetRed, int offsetGreen, int offsetBlue) {
  const OutputRegion region = outputRegion();
  const int scale = 1 << levels_;
  const int groups = (colEnd_ / scale - region.firstColumn) / 8;
  const int width = 8 * groups;
  for (int i = 0; i < region.sourceLines; ++i) {
    const int row = outputRow(region, i);
    if (row < 0) continue;
    const int16_t* y = planes_[0] + static_cast<long>(i) * geometry_.stride[0] + region.firstColumn;
    const int16_t* u = planes_[1] + static_cast<long>(i) * geometry_.stride[1] + region.firstColumn / 2;
    const int16_t* v = planes_[2] + static_cast<long>(i) * geometry_.stride[2] + region.firstColumn / 2;
    uint8_t* out = convertedRow(row, width);
    if (out == nullptr) continue;
    kernels_->convert(y, u, v, groups, static_cast<int16_t>(offsetBlue), static_cast<int16_t>(offsetGreen),
                      static_cast<int16_t>(offsetRed), out);
    finishRow(row, out);
  }
  return width;
}

} // namespace wavelet
