#pragma once

#include <cstdint>
#include <vector>

namespace fontgen {

// One glyph's bitmap as it goes into a block: coverage 0-15 per pixel, rows top-down.
// Column 0 is the pen position: the block format has no left bearing, so any bearing
// is part of the bitmap as blank columns.
struct GlyphImage {
  int width = 0;
  int height = 0;
  int top = 0;                        // rows from the line's top to the first bitmap row
  std::vector<std::uint8_t> coverage; // width * height values

  bool empty() const { return height == 0; }
  std::uint8_t at(int x, int y) const { return coverage[static_cast<std::size_t>(y) * width + x]; }

  // Drops blank rows at top and bottom and blank columns at the right.
  void trim();
  // Adds blank columns at the right until the width is at least `minWidth` and even.
  void padWidth(int minWidth);
  // Adds blank rows at the bottom until the bitmap reaches down to `bottom`.
  void padBottom(int bottom);
};

} // namespace fontgen
