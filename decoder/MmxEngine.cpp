#include "decoder/MmxEngine.h"

#include <algorithm>

namespace wavelet {
namespace {

// Scale factor of a detail band, applied as a 16-bit product.
int detailFactor(const SubbandDescriptor& band) { return (int(band.quantiser) + 2) >> 2; }

} // namespace

void CMmxEngine::synthesiseLinesInPlace(int component, int firstLine, int lines, int nLow, int highColumn, int nHigh,
                                        int lowFactor, int highFactor) {
  const long stride = geometry_.stride[component];
  for (int line = firstLine; line < firstLine + lines; ++line)
    mmx::synthesiseLine(*kernels_, planes_[component] + line * stride, nLow, highColumn, nHigh, lowFactor, highFactor,
                        scratch());
}

void CMmxEngine::synthesiseColumnsInPlace(int component, int columns, int nLow, int highLine, int nHigh) {
  const long stride = geometry_.stride[component];
  for (int first = 0; first < columns; first += kColumnLanes)
    mmx::synthesiseColumns(*kernels_, planes_[component] + first, stride, nLow, highLine, nHigh,
                           std::min(kColumnLanes, columns - first), kColumnLanes, scratch());
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
      synthesiseColumnsInPlace(c, width, lowHeight, highLines.line, highLines.height);
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
