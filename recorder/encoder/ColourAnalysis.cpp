#include "recorder/encoder/ColourAnalysis.h"

namespace wavelet {
namespace {

// BT.601 weights times 32 (the internal scale has 32 steps per 8-bit code value).
constexpr float kLumaRed = 32.0f * 0.257f;
constexpr float kLumaGreen = 32.0f * 0.504f;
constexpr float kLumaBlue = 32.0f * 0.098f;
// Colour differences from the sum of a pixel pair, hence half the usual weights.
constexpr float kBlueDiffRed = 32.0f * -0.074f;
constexpr float kBlueDiffGreen = 32.0f * -0.1455f;
constexpr float kBlueDiffBlue = 32.0f * 0.2195f;
constexpr float kRedDiffRed = 32.0f * 0.2195f;
constexpr float kRedDiffGreen = 32.0f * -0.184f;
constexpr float kRedDiffBlue = 32.0f * -0.0355f;
// 32 x (Y' - 16) - 3584 with Y' = 16 + weighted sum.
constexpr float kLumaOffset = -3584.0f;
// The decoder truncates its results towards zero; half a code value on the luminance (which
// every channel carries) turns that into rounding to the nearest value.
constexpr float kTruncationCompensation = 0.5f * 32.0f / 1.164f;

} // namespace

void convertToPlanes(const uint8_t* firstLine, ptrdiff_t lineStep, int width, int lines, PixelOrder order,
                     const PlaneTargets& targets) {
  const int redAt = order == PixelOrder::Rgb ? 0 : 2;
  const int blueAt = 2 - redAt;
  const int pairs = (width + 1) / 2;
  for (int line = 0; line < lines; ++line) {
    const uint8_t* pixel = firstLine + line * lineStep;
    float* luma = targets.luma + static_cast<ptrdiff_t>(line) * targets.lumaStride;
    float* blueDiff = targets.blueDifference + static_cast<ptrdiff_t>(line) * targets.chromaStride;
    float* redDiff = targets.redDifference + static_cast<ptrdiff_t>(line) * targets.chromaStride;
    for (int pair = 0; pair < pairs; ++pair) {
      const uint8_t* first = pixel + 6 * pair;
      const bool hasSecond = 2 * pair + 1 < width;
      const uint8_t* second = hasSecond ? first + 3 : first;
      const float r0 = first[redAt], g0 = first[1], b0 = first[blueAt];
      const float r1 = second[redAt], g1 = second[1], b1 = second[blueAt];
      const float offset = kLumaOffset + kTruncationCompensation;
      luma[2 * pair] = kLumaRed * r0 + kLumaGreen * g0 + kLumaBlue * b0 + offset;
      if (hasSecond) luma[2 * pair + 1] = kLumaRed * r1 + kLumaGreen * g1 + kLumaBlue * b1 + offset;
      const float r = r0 + r1, g = g0 + g1, b = b0 + b1;
      blueDiff[pair] = kBlueDiffRed * r + kBlueDiffGreen * g + kBlueDiffBlue * b;
      redDiff[pair] = kRedDiffRed * r + kRedDiffGreen * g + kRedDiffBlue * b;
    }
  }
}

} // namespace wavelet
