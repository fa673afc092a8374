#pragma once
// Writes 24-bit pictures as PNG files (uncompressed deflate blocks: no library needed, so
// the same code serves the Linux host's snapshots and the test suites on every platform).
#include <cstdint>
#include <string>
#include <vector>

namespace paint {

class SoftwareCanvas;

// Encodes `height` rows top-down of `width` pixels, three bytes each in the order blue,
// green, red, rows `stride` bytes apart, as a PNG file image.
std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* bgrRows, int stride);

// Writes the canvas to `path`; false when the file cannot be written.
bool writePng(const std::string& path, const SoftwareCanvas& canvas);
bool writePng(const std::string& path, int width, int height, const std::uint8_t* bgrRows, int stride);

} // namespace paint
