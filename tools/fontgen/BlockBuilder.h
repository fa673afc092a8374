#pragma once

#include "tools/fontgen/BlockLayout.h"
#include "tools/fontgen/FontBlock.h"
#include "tools/fontgen/GlyphRenderer.h"

namespace fontgen {

// Character size in 1/64 pixel.
struct CharSize {
  long width64;
  long height64;
  double verticalScale = 1.0; // below 1 where hinting skips the wanted digit height
};

// Renders one block of the table from a face, hitting its metrics exactly.
//
// The size is chosen so that the digit '0' comes out as the table wants it: the height
// first (the '0' must be exactly digit-height rows tall and sit on the baseline), then,
// at that height, the width (the '0' advance rounds to the wanted one and its bitmap is
// no wider than the wanted width). Where hinting jumps over the wanted digit height (small
// sizes snap from 5 to 7 rows, say), the hinted outlines of the next taller size are
// scaled down by wanted/(wanted + 1), which keeps the digits' top and bottom on whole rows.
// Everything else follows from the format's freedom:
// advances are written as wanted, bitmaps are padded with blank columns or rows, and
// glyphs that would leave the line box are squeezed into it.
class BlockBuilder {
public:
  BlockBuilder(const BlockLayout& layout, GlyphRenderer& renderer);

  CharSize chooseSize();                 // throws std::runtime_error when no size fits
  FontBlock build(const CharSize& size); // throws std::runtime_error on a missing glyph

private:
  bool hasBitmap(int code) const;
  int cellAdvance(int code) const;
  LineBox lineBox() const;
  GlyphEntry renderCode(int code) const;
  void reachMaxAdvance(FontBlock& block) const;
  void reachLineHeight(FontBlock& block) const;

  const BlockLayout& layout_;
  GlyphRenderer& renderer_;
};

} // namespace fontgen
