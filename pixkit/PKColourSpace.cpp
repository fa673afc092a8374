#include "pixkit/PKColourSpace.h"

namespace {

std::int32_t clampByte(std::int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Arithmetic right shift (floor division by 2^16); C++20 defines it for negative values.
std::int32_t shiftDown16(std::int32_t v) { return v >> 16; }

} // namespace

std::uint32_t rgbToYCbCr(std::uint32_t rgb) {
  const std::int32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  const std::int32_t y = clampByte(shiftDown16(19595 * r + 38470 * g + 7471 * b));
  const std::int32_t cb = clampByte(shiftDown16(32768 * b - 11058 * r - 21708 * g) + 128);
  const std::int32_t cr = clampByte(shiftDown16(32768 * r - 27438 * g - 5328 * b) + 128);
  return static_cast<std::uint32_t>(y | (cb << 8) | (cr << 16));
}

std::uint32_t yCbCrToRgb(std::uint32_t ycbcr) {
  const std::int32_t y = ycbcr & 0xFF, cb = ((ycbcr >> 8) & 0xFF) - 128, cr = ((ycbcr >> 16) & 0xFF) - 128;
  const std::int32_t r = clampByte(shiftDown16(y * 65536 + 91881 * cr));
  const std::int32_t g = clampByte(shiftDown16(y * 65536 - 46801 * cr - 22553 * cb));
  const std::int32_t b = clampByte(shiftDown16(y * 65536 + 116130 * cb));
  return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
}
