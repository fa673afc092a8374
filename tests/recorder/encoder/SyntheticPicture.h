// Natural-looking test pictures made in the tests: sky and ground gradients, a soft sun,
// buildings with windows, a textured field with noise, a sign with text-like strokes.
#pragma once

#include <cstdint>
#include <vector>

namespace wavelet::test {

// `width` x `height` pixels, bytes red, green, blue, rows top-down and packed.
std::vector<uint8_t> makeNaturalPicture(int width, int height, unsigned seed);

// One flat colour.
std::vector<uint8_t> makeFlatPicture(int width, int height, uint8_t red, uint8_t green, uint8_t blue);

} // namespace wavelet::test
