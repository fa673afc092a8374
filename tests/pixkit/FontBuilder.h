#pragma once

#include <cstdint>
#include <vector>

namespace pixkit_test {

// Builds font blocks for tests: a 20-byte header (bits per pixel 4), 256 glyph records
// and the bitmaps packed from offset 5140 in code order. Glyphs not set have no bitmap
// and advance 0.
class FontBlockBuilder {
public:
  struct Glyph {
    int width = 0;
    int advance = 0;
    int height = 0;
    int top = 0;
    std::vector<std::uint8_t> coverage; // width * height values 0..15, row by row
  };

  FontBlockBuilder() : m_glyphs(256) {}

  // A glyph whose every pixel has the same coverage.
  void solid(unsigned char code, int width, int advance, int height, int top, int coverage) {
    Glyph g{width, advance, height, top,
            std::vector<std::uint8_t>(width * height, static_cast<std::uint8_t>(coverage))};
    m_glyphs[code] = g;
  }
  void glyph(unsigned char code, Glyph g) { m_glyphs[code] = std::move(g); }
  void blank(unsigned char code, int advance) { m_glyphs[code] = Glyph{0, advance, 0, 0, {}}; }
  void setBitsPerPixel(int bits) { m_bitsPerPixel = bits; }

  std::vector<std::uint8_t> build() const {
    std::vector<std::uint8_t> block(5140);
    put(block, 0, 20);
    put(block, 4, 16);
    put(block, 8, 19);
    put(block, 12, 16);
    put(block, 16, m_bitsPerPixel);
    for (int code = 0; code < 256; ++code) {
      const Glyph& g = m_glyphs[code];
      const std::size_t record = 20 + 20 * code;
      put(block, record, g.width);
      put(block, record + 4, g.advance);
      put(block, record + 8, g.height);
      put(block, record + 12, g.top);
      put(block, record + 16, static_cast<int>(block.size() - 20));
      const int rowBytes = (g.width + 1) / 2;
      for (int r = 0; r < g.height; ++r) {
        for (int k = 0; k < rowBytes; ++k) {
          const int left = g.coverage[r * g.width + 2 * k];
          const int right = 2 * k + 1 < g.width ? g.coverage[r * g.width + 2 * k + 1] : 0;
          block.push_back(static_cast<std::uint8_t>((left << 4) | right));
        }
      }
    }
    return block;
  }

  const Glyph& glyphOf(unsigned char code) const { return m_glyphs[code]; }

private:
  static void put(std::vector<std::uint8_t>& block, std::size_t offset, int value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<std::uint8_t>(static_cast<unsigned>(value) >> (8 * i));
  }

  std::vector<Glyph> m_glyphs;
  int m_bitsPerPixel = 4;
};

} // namespace pixkit_test
