#include "decoder/PortableEngine.h"

#include <algorithm>

namespace wavelet {

const PortableColourConstants kPortableColour{static_cast<float>(1.164 / 32.0), static_cast<float>(1.596 / 32.0),
                                              static_cast<float>(-0.813 / 32.0), static_cast<float>(-0.391 / 32.0),
                                              static_cast<float>(2.018 / 32.0)};

namespace {

// 9/7 synthesis taps in 14-bit fixed point; L and H address element i, s is the element distance.
inline int16_t EvenAt(const int16_t* L, const int16_t* H, long s) {
    const int32_t sum = 18269 * L[0] - 8744 * (H[-s] + H[0]) - 942 * (L[-s] + L[s]) + 552 * (H[-2 * s] + H[s]);
    return static_cast<int16_t>(sum >> 14);
}
inline int16_t OddAt(const int16_t* L, const int16_t* H, long s) {
    const int32_t sum = 19757 * H[0] + 9687 * (L[0] + L[s]) - 2563 * (H[-s] + H[s]) - 1495 * (L[-s] + L[2 * s]) +
                        876 * (H[-2 * s] + H[2 * s]);
    return static_cast<int16_t>(sum >> 14);
}

void PortableLineKernel(const int16_t* low, const int16_t* high, int n, int16_t* out) {
    const int nLow = (n + 1) / 2;
    const int nHigh = n / 2;
    for (int i = 0; i < nHigh; ++i) {
        out[2 * i] = EvenAt(low + i, high + i, 1);
        out[2 * i + 1] = OddAt(low + i, high + i, 1);
    }
    if (nLow > nHigh) out[2 * nHigh] = EvenAt(low + nHigh, high + nHigh, 1);
}

void PortableColumnsKernel(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride, int16_t* out,
                       long outStride) {
    const int nLow = (n + 1) / 2;
    const int nHigh = n / 2;
    for (int i = 0; i < nLow; ++i) {
        const int16_t* L = low + long(i) * laneStride;
        const int16_t* H = high + long(i) * laneStride;
        int16_t* even = out + 2 * i * outStride;
        for (int lane = 0; lane < lanes; ++lane) even[lane] = EvenAt(L + lane, H + lane, laneStride);
        if (i < nHigh) {
            int16_t* odd = even + outStride;
            for (int lane = 0; lane < lanes; ++lane) odd[lane] = OddAt(L + lane, H + lane, laneStride);
        }
    }
}

inline uint8_t ToByte(float value) {
    const int truncated = static_cast<int>(value);  // towards zero
    return static_cast<uint8_t>(std::clamp(truncated, 1, 254));
}

}  // namespace

void CPortableEngine::DequantiseBand(int index) {
    const SubbandDescriptor& band = Band(index);
    const int32_t q = band.quantiser;
    for (int line = 0; line < band.height; ++line) {
        int16_t* row = band.firstSample() + static_cast<long>(line) * band.stride;
        for (int x = 0; x < band.width; ++x) row[x] = static_cast<int16_t>((q * row[x] + 4) >> 3);
    }
}

void CPortableEngine::InverseTransform() {
    const int components = lumaOnly_ ? 1 : kComponentCount;
    for (int c = 0; c < components; ++c) {
        int lowWidth = Band(bandIndex(13, c)).width;
        int lowHeight = Band(bandIndex(13, c)).height;
        for (int k = 4; k >= std::max(levels_, 1); --k) {
            const SubbandDescriptor& highColumns = Band(bandIndex(slotOf(BandKind::HighColumns, k), c));
            const SubbandDescriptor& highLines = Band(bandIndex(slotOf(BandKind::HighLines, k), c));
            const int width = lowWidth + highColumns.width;
            const int height = lowHeight + highLines.height;
            SynthesiseColumns(c, width, lowHeight, highLines.line, highLines.height, PortableColumnsKernel);
            SynthesiseLines(c, 0, height, lowWidth, highColumns.column, highColumns.width, 1, 1, PortableLineKernel);
            lowWidth = width;
            lowHeight = height;
        }
        if (levels_ == 0) {
            const SubbandDescriptor& level0 = Band(bandIndex(0, c));
            SynthesiseLines(c, 0, lowHeight, lowWidth, level0.column, level0.width, 1, 1, PortableLineKernel);
        }
    }
}

int CPortableEngine::ConvertToBgr(int, int, int) {
    const OutputRegion region = Region();
    const int scale = 1 << levels_;
    const int pairs = (colEnd_ / scale - region.firstColumn) / 2;
    const int width = 2 * pairs;
    const int rowBytes = 3 * width;
    const PortableColourConstants k = kPortableColour;
    for (int i = 0; i < region.sourceLines; ++i) {
        const int row = OutputRow(region, i);
        if (row < 0) continue;
        const int16_t* y = planes_[0] + static_cast<long>(i) * geometry_.stride[0] + region.firstColumn;
        const int16_t* u = planes_[1] + static_cast<long>(i) * geometry_.stride[1] + region.firstColumn / 2;
        const int16_t* v = planes_[2] + static_cast<long>(i) * geometry_.stride[2] + region.firstColumn / 2;
        uint8_t* out = OutputRowPointer(row, rowBytes);
        for (int j = 0; j < pairs; ++j) {
            const float cu = static_cast<float>(u[j]);
            const float cv = static_cast<float>(v[j]);
            const float blue = k.cbToBlue * cu;
            const float green = k.crToGreen * cv + k.cbToGreen * cu;
            const float red = k.crToRed * cv;
            for (int p = 0; p < 2; ++p) {
                const float luma = k.luma * static_cast<float>(y[2 * j + p] + 3584);
                out[6 * j + 3 * p + 0] = ToByte(luma + blue);
                out[6 * j + 3 * p + 1] = ToByte(luma + green);
                out[6 * j + 3 * p + 2] = ToByte(luma + red);
            }
        }
    }
    return width;
}

}  // namespace wavelet
