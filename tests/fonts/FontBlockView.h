#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a font block's bytes on its own, independent of the 2D library, so that the
// committed blocks can be checked byte by byte.
namespace fonttest {

struct RawGlyph {
  int width;
  int advance;
  int height;
  int top;
  int bitmapOffset; // from the glyph table at byte 20
};

class FontBlockView {
public:
  static constexpr std::size_t kGlyphTable = 20;
  static constexpr std::size_t kBitmapArea = 5140;

  FontBlockView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  std::int32_t word(std::size_t offset) const;
  RawGlyph glyph(int code) const;
  // Coverage 0-15 of one pixel of a glyph's bitmap.
  int coverage(const RawGlyph& glyph, int x, int y) const;
  bool rowHasInk(const RawGlyph& glyph, int y) const;
  bool hasInk(const RawGlyph& glyph) const;

private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Loads the embedded block with this id; fails the calling test when it is missing.
FontBlockView embeddedBlock(int id);

} // namespace fonttest
