#pragma once
// The display frames: 24-bit device-independent-bitmap pictures of at most 768 x 576
// pixels, bytes blue, green, red, rows bottom-up and a 4-byte-aligned stride apart.
#include <cstddef>

namespace presentation {

constexpr int kFrameMaxWidth = 768;
constexpr int kFrameMaxHeight = 576;
constexpr std::size_t kFrameBytes = std::size_t(kFrameMaxWidth) * kFrameMaxHeight * 3; // 1,327,104

// Bytes from one frame row to the next: width x 3 raised to the next multiple of 4.
constexpr int frameStride(int width) { return (width * 3 + 3) & ~3; }

} // namespace presentation
