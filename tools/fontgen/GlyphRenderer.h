#pragma once

#include <optional>
#include <string>

#include "tools/fontgen/GlyphImage.h"

// FreeType types, kept out of this header.
struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace fontgen {

// The box every glyph of a block must fit in.
struct LineBox {
  int baseline;   // row of the baseline, counted from the line's top
  int lineHeight; // rows of the line; no glyph reaches below it
  int maxAdvance; // glyphs with a wider advance are squeezed horizontally to it
};

struct RenderedGlyph {
  GlyphImage image; // empty for a glyph without ink (a blank)
  int advance = 0;
};

// Renders characters of one TrueType face at a chosen size into 16-level coverage bitmaps.
class GlyphRenderer {
public:
  explicit GlyphRenderer(const std::string& facePath); // throws std::runtime_error
  ~GlyphRenderer();
  GlyphRenderer(const GlyphRenderer&) = delete;
  GlyphRenderer& operator=(const GlyphRenderer&) = delete;

  // Character size in 1/64 pixel; width and height differ to condense or widen the face.
  // `verticalScale` shrinks the hinted outlines further, for heights that hinting skips.
  void setCharSize(long width64, long height64, double verticalScale = 1.0);

  // Renders one character fitted into `box`; nothing when the face lacks the character.
  std::optional<RenderedGlyph> render(char32_t character, const LineBox& box) const;

private:
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
  double verticalScale_ = 1.0;
};

} // namespace fontgen
