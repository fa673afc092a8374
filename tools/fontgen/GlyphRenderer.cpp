#include "tools/fontgen/GlyphRenderer.h"

#include <algorithm>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace fontgen {

namespace {

// Light hinting snaps horizontal stems and heights to whole rows but leaves the
// horizontal shape alone, which suits the non-square sizes the blocks use.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;

FT_Fixed toFixed(double value) { return static_cast<FT_Fixed>(value * 65536.0 + (value < 0 ? -0.5 : 0.5)); }

// Moves and scales the outline so that its ink lies inside the rows the line allows.
// A glyph mostly inside the line (accents above it, descenders below) is squeezed towards
// the edge it crosses, so it keeps its place on the baseline; a glyph mostly outside (an
// underscore below a short line) is moved in whole, shrunk only if taller than the line.
void fitVertically(FT_Outline* outline, const LineBox& box) {
  FT_BBox cbox;
  FT_Outline_Get_CBox(outline, &cbox);
  const FT_Pos allowedTop = static_cast<FT_Pos>(box.baseline) * 64; // above the baseline
  const FT_Pos allowedBottom = static_cast<FT_Pos>(box.baseline - box.lineHeight) * 64;
  if (cbox.yMax <= allowedTop && cbox.yMin >= allowedBottom) return;
  const FT_Pos inkHeight = cbox.yMax - cbox.yMin;
  if (inkHeight <= 0) return;

  FT_Pos newTop = std::min(cbox.yMax, allowedTop);
  FT_Pos newBottom = std::max(cbox.yMin, allowedBottom);
  if (2 * (newTop - newBottom) < inkHeight) {
    const FT_Pos height = std::min(inkHeight, allowedTop - allowedBottom);
    if (cbox.yMin < allowedBottom) {
      newBottom = allowedBottom;
      newTop = allowedBottom + height;
    } else {
      newTop = allowedTop;
      newBottom = allowedTop - height;
    }
  }
  const double scale = static_cast<double>(newTop - newBottom) / static_cast<double>(inkHeight);
  FT_Matrix matrix{toFixed(1.0), 0, 0, toFixed(scale)};
  FT_Outline_Transform(outline, &matrix);
  FT_Outline_Get_CBox(outline, &cbox);
  FT_Outline_Translate(outline, 0, newTop - cbox.yMax);
}

// Squeezes a glyph wider than the widest allowed advance, and moves ink that lies left of
// the pen to the right: the block format has no negative bearing.
int fitHorizontally(FT_Outline* outline, int advance, const LineBox& box) {
  if (advance > box.maxAdvance && advance > 0) {
    FT_Matrix matrix{toFixed(static_cast<double>(box.maxAdvance) / advance), 0, 0, toFixed(1.0)};
    FT_Outline_Transform(outline, &matrix);
    advance = box.maxAdvance;
  }
  FT_BBox cbox;
  FT_Outline_Get_CBox(outline, &cbox);
  if (cbox.xMin < 0) FT_Outline_Translate(outline, (-cbox.xMin + 63) & ~63, 0);
  return advance;
}

GlyphImage toCoverage(const FT_GlyphSlot slot, const LineBox& box) {
  const FT_Bitmap& bitmap = slot->bitmap;
  const int left = std::max(0, static_cast<int>(slot->bitmap_left));
  GlyphImage image;
  image.width = left + static_cast<int>(bitmap.width);
  image.height = static_cast<int>(bitmap.rows);
  image.top = box.baseline - slot->bitmap_top;
  image.coverage.assign(static_cast<std::size_t>(image.width) * image.height, 0);
  for (int y = 0; y < image.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    for (int x = 0; x < static_cast<int>(bitmap.width); ++x) {
      const int column = slot->bitmap_left + x;
      if (column < 0) continue;
      // 8-bit coverage to 16 levels, rounded.
      image.coverage[static_cast<std::size_t>(y) * image.width + column] =
          static_cast<std::uint8_t>((row[x] * 15 + 127) / 255);
    }
  }
  return image;
}

// Rows outside the line would break the block's line height; the outline fit keeps them
// inside, this only guards against rounding at the edges.
void clipToLine(GlyphImage& image, int lineHeight) {
  for (int y = 0; y < image.height; ++y) {
    const int row = image.top + y;
    if (row >= 0 && row < lineHeight) continue;
    std::fill_n(image.coverage.begin() + static_cast<std::ptrdiff_t>(y) * image.width, image.width, 0);
  }
}

} // namespace

GlyphRenderer::GlyphRenderer(const std::string& facePath) {
  if (FT_Init_FreeType(&library_) != 0) throw std::runtime_error("FreeType cannot start");
  if (FT_New_Face(library_, facePath.c_str(), 0, &face_) != 0) {
    FT_Done_FreeType(library_);
    throw std::runtime_error("cannot open face " + facePath);
  }
}

GlyphRenderer::~GlyphRenderer() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

void GlyphRenderer::setCharSize(long width64, long height64, double verticalScale) {
  verticalScale_ = verticalScale;
  if (FT_Set_Char_Size(face_, width64, height64, 72, 72) != 0) throw std::runtime_error("cannot set size");
}

std::optional<RenderedGlyph> GlyphRenderer::render(char32_t character, const LineBox& box) const {
  const FT_UInt index = FT_Get_Char_Index(face_, character);
  if (index == 0) return std::nullopt;
  if (FT_Load_Glyph(face_, index, kLoadFlags) != 0) return std::nullopt;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return std::nullopt;

  if (verticalScale_ != 1.0) {
    FT_Matrix matrix{toFixed(1.0), 0, 0, toFixed(verticalScale_)};
    FT_Outline_Transform(&slot->outline, &matrix);
  }
  RenderedGlyph glyph;
  glyph.advance = fitHorizontally(&slot->outline, static_cast<int>((slot->advance.x + 32) >> 6), box);
  fitVertically(&slot->outline, box);
  if (slot->outline.n_points == 0) return glyph; // a blank such as the space
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return std::nullopt;

  glyph.image = toCoverage(slot, box);
  clipToLine(glyph.image, box.lineHeight);
  glyph.image.trim();
  glyph.image.padWidth(0);
  return glyph;
}

} // namespace fontgen
