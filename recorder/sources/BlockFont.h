#pragma once
// A 5 x 7 block font for the texts the test pattern draws (clock, camera name, counters).
#include <array>
#include <cstdint>

namespace recorder {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Seven rows of five bits (bit 4 is the leftmost column). Characters without a glyph
// (lower case is drawn as upper case) give an empty glyph.
std::array<std::uint8_t, kGlyphHeight> blockGlyph(char c);

} // namespace recorder
