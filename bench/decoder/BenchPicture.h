// A natural-looking 720 x 576 test picture (sky, buildings, foliage-like texture, a road,
// fine detail and sensor noise), and encoded payloads of it near a wanted size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelet::bench {

constexpr int kBenchWidth = 720;
constexpr int kBenchHeight = 576;

// Top-down rows, 3 bytes per pixel in the order red, green, blue.
std::vector<uint8_t> makeBenchPicture();

// Encodes the picture as a two-field payload whose size is as close to `targetBytes` as the
// encoder's quality steps allow; returns the quality used.
int encodeNearSize(const std::vector<uint8_t>& rgb, size_t targetBytes, std::vector<uint8_t>& payload);

} // namespace wavelet::bench
