// Forward colour conversion: 24-bit pixels to the codec's luminance and colour-difference
// planes at its internal sample scale (BT.601 studio range):
//   luminance          32 x (Y' - 16) - 3584
//   colour differences 32 x (C' - 128), one Cb and one Cr sample per pixel pair (4:2:2)
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavelet {

// Byte order of the three bytes of a pixel.
enum class PixelOrder {
  Rgb, // red, green, blue
  Bgr, // blue, green, red (a Windows DIB's order)
};

struct PlaneTargets {
  float* luma = nullptr;           // `width` samples per line
  int lumaStride = 0;              // floats between lines
  float* blueDifference = nullptr; // (width + 1) / 2 samples per line
  float* redDifference = nullptr;
  int chromaStride = 0;
};

// Converts `lines` picture lines of `width` pixels; line i starts at firstLine + i x lineStep
// bytes (lineStep may be negative). An odd last pixel forms a pair with itself.
void convertToPlanes(const uint8_t* firstLine, ptrdiff_t lineStep, int width, int lines, PixelOrder order,
                     const PlaneTargets& targets);

} // namespace wavelet
