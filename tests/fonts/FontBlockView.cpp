#include "tests/fonts/FontBlockView.h"

#include <stdexcept>

#include "resources/fonts/EmbeddedFonts.h"

namespace fonttest {

std::int32_t FontBlockView::word(std::size_t offset) const {
  if (offset + 4 > size_) throw std::out_of_range("word beyond the block");
  const std::uint32_t bits =
      static_cast<std::uint32_t>(data_[offset]) | static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
      static_cast<std::uint32_t>(data_[offset + 2]) << 16 | static_cast<std::uint32_t>(data_[offset + 3]) << 24;
  return static_cast<std::int32_t>(bits);
}

RawGlyph FontBlockView::glyph(int code) const {
  const std::size_t record = kGlyphTable + static_cast<std::size_t>(code) * 20;
  return RawGlyph{word(record), word(record + 4), word(record + 8), word(record + 12), word(record + 16)};
}

int FontBlockView::coverage(const RawGlyph& glyph, int x, int y) const {
  const std::size_t rowBytes = static_cast<std::size_t>(glyph.width + 1) / 2;
  const std::size_t at = kGlyphTable + static_cast<std::size_t>(glyph.bitmapOffset) + y * rowBytes + x / 2;
  if (at >= size_) throw std::out_of_range("bitmap beyond the block");
  return x % 2 == 0 ? data_[at] >> 4 : data_[at] & 15;
}

bool FontBlockView::rowHasInk(const RawGlyph& glyph, int y) const {
  for (int x = 0; x < glyph.width; ++x) {
    if (coverage(glyph, x, y) != 0) return true;
  }
  return false;
}

bool FontBlockView::hasInk(const RawGlyph& glyph) const {
  for (int y = 0; y < glyph.height; ++y) {
    if (rowHasInk(glyph, y)) return true;
  }
  return false;
}

FontBlockView embeddedBlock(int id) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (!embeddedFontBlock(id, &data, &size)) throw std::runtime_error("no embedded block " + std::to_string(id));
  return FontBlockView(data, size);
}

} // namespace fonttest
