// Fonts and text: block metrics, measurement, drawing (centring, fixed cells, clipping,
// coverage) and the word flow of fontTextOutput with tabs and shadows.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "pixkit/Pixkit.h"
#include "pixkit/PixkitLib.h"
#include "resources/fonts/EmbeddedFonts.h"
#include "tests/pixkit/FontBuilder.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"

using pixkit_test::FontBlockBuilder;
using pixkit_test::Picture;

namespace {

// ---- an independent model of glyph drawing for golden pictures ----

void referenceBlend(Picture& picture, int x, int y, std::uint32_t colour, int alpha) {
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
  const std::uint32_t old = picture.at(x, y);
  std::uint32_t out = 0;
  for (int k = 0; k < 3; ++k) {
    const unsigned s = (colour >> (8 * k)) & 0xFF, o = (old >> (8 * k)) & 0xFF;
    const unsigned v = alpha == 255 ? s : (s * alpha + o * (255 - alpha)) >> 8;
    out |= v << (8 * k);
  }
  picture.set(x, y, out);
}

void referenceGlyph(Picture& picture, const FontBlockBuilder::Glyph& g, int px, int py, std::uint32_t colour,
                    const CPKRectangle* clip = nullptr) {
  for (int r = 0; r < g.height; ++r) {
    for (int c = 0; c < g.width; ++c) {
      const int v = g.coverage[r * g.width + c];
      const int x = px + c, y = py + g.top + r;
      if (v == 0) continue;
      if (clip && (x < clip->left || x > clip->right || y < clip->top || y > clip->bottom)) continue;
      referenceBlend(picture, x, y, colour, 17 * v);
    }
  }
}

FontBlockBuilder::Glyph patterned(int width, int advance, int height, int top, int seed) {
  FontBlockBuilder::Glyph g{width, advance, height, top, {}};
  for (int i = 0; i < width * height; ++i) g.coverage.push_back(static_cast<std::uint8_t>((i * 7 + seed) % 16));
  return g;
}

// A small test font: 'A' 4 wide advance 5, 'B' 2 wide advance 3 (odd coverage pattern),
// 'W' 8 wide advance 10, space advance 2; line height 1 + 7 = 8 ('A': top 1 height 6,
// 'B': top 4 height 3 -> line bottom 7; min top 0 from the blank records).
FontBlockBuilder testFont() {
  FontBlockBuilder f;
  f.glyph('A', patterned(4, 5, 6, 1, 3));
  f.glyph('B', patterned(2, 3, 3, 4, 5));
  f.glyph('W', patterned(8, 10, 2, 0, 1));
  f.blank(' ', 2);
  return f;
}

struct Canvas {
  Picture picture;
  CPixkit kit;
  std::vector<std::uint8_t> block;
  unsigned long font = 0;

  Canvas(int w, int h, const FontBlockBuilder& builder, std::uint32_t fill = 0x203040)
      : picture(w, h, fill), block(builder.build()) {
    EXPECT_TRUE(kit.Init(w, h, w, picture.buffer(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 4));
    font = kit.addFontChecked(block.data(), block.size(), false);
    EXPECT_NE(font, 0u);
  }
};

// ---- metrics ----

TEST(FontMetrics, ScanOfAllRecords) {
  FontBlockBuilder f = testFont();
  const std::vector<std::uint8_t> block = f.build();
  CPKFont font(block.data(), nullptr);
  EXPECT_EQ(font.maxAdvance(), 10);
  EXPECT_EQ(font.lineBottom(), 7);
  EXPECT_EQ(font.minTop(), 0);
  EXPECT_EQ(font.lineHeight(), 7);
  EXPECT_EQ(font.tabPosition(), 64);
  EXPECT_EQ(font.glyph('B').advance, 3);

  // A negative top lowers min top and so the line height.
  f.glyph('C', patterned(2, 2, 2, -3, 0));
  const std::vector<std::uint8_t> block2 = f.build();
  CPKFont font2(block2.data(), nullptr);
  EXPECT_EQ(font2.minTop(), -3);
  EXPECT_EQ(font2.lineHeight(), 4);
}

TEST(FontMetrics, FixedCellRoundsTheScaledMaxAdvance) {
  FontBlockBuilder f;
  f.blank('a', 11);
  std::vector<std::uint8_t> block = f.build();
  CPKFont font(block.data(), nullptr);
  font.setFixedMulti(0.64f);
  EXPECT_EQ(font.fixedCell(), 7); // 7.04 + 0.5
  font.setFixedMulti(0.75f);
  EXPECT_EQ(font.fixedCell(), 8); // 8.25 + 0.5
  font.setFixedMulti(std::nanf(""));
  EXPECT_EQ(font.fixedCell(), 11); // an undefined multiplier keeps the max advance
  font.setFixedMulti(1e30f);
  EXPECT_EQ(font.fixedCell(), 11);
}

struct ShippedFont {
  int id;
  int maxAdvance, lineHeight, spaceAdvance;
  int zeroWidth, zeroAdvance, zeroHeight, zeroTop;
};

TEST(ShippedFonts, MetricsOfTheEightBlocks) {
  const ShippedFont table[] = {
      {201, 18, 18, 16, 16, 16, 16, 0}, {202, 16, 19, 6, 10, 9, 13, 3}, {203, 7, 8, 3, 4, 4, 6, 1},
      {204, 8, 10, 3, 6, 5, 7, 1},      {205, 11, 13, 4, 6, 6, 8, 2},   {206, 11, 11, 10, 10, 10, 10, 0},
      {207, 14, 14, 12, 12, 12, 12, 0}, {208, 13, 16, 5, 8, 7, 11, 2},
  };
  CPixkit kit;
  for (const ShippedFont& s : table) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(embeddedFontBlock(s.id, &data, &size)) << s.id;
    const unsigned long handle = kit.addFontChecked(const_cast<unsigned char*>(data), size, false);
    ASSERT_NE(handle, 0u) << s.id;
    const CPKFont* font = kit.font(handle);
    EXPECT_EQ(font->maxAdvance(), s.maxAdvance) << s.id;
    EXPECT_EQ(font->lineHeight(), s.lineHeight) << s.id;
    EXPECT_EQ(font->glyph(' ').advance, s.spaceAdvance) << s.id;
    EXPECT_EQ(font->glyph(' ').height, 0) << s.id;
    const PKGlyph zero = font->glyph('0');
    EXPECT_EQ(zero.width, s.zeroWidth) << s.id;
    EXPECT_EQ(zero.advance, s.zeroAdvance) << s.id;
    EXPECT_EQ(zero.height, s.zeroHeight) << s.id;
    EXPECT_EQ(zero.top, s.zeroTop) << s.id;
  }
  // Font 202: 'g' reaches the line bottom.
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(embeddedFontBlock(202, &data, &size));
  const CPKFont* f202 = kit.font(kit.addFont(const_cast<unsigned char*>(data), false));
  ASSERT_NE(f202, nullptr);
  EXPECT_EQ(f202->glyph('g').top + f202->glyph('g').height, 19);
}

// ---- measurement ----

TEST(TextSize, LinesAndWidths) {
  Canvas c(16, 16, testFont());
  CPKRectangle size{9, 9, 9, 9};
  c.kit.getTextSize(c.font, "", &size, 0);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, 0);
  EXPECT_EQ(size.bottom, 7);
  c.kit.getTextSize(c.font, "\n", &size, 0);
  EXPECT_EQ(size.right, 0);
  EXPECT_EQ(size.bottom, 14);
  c.kit.getTextSize(c.font, "AB\nW\n", &size, 0);
  EXPECT_EQ(size.right, 10);             // widest line "W"
  EXPECT_EQ(size.bottom, 21);            // the trailing line feed adds a line
  c.kit.fontSetFixedMulti(c.font, 0.5f); // cell 5
  c.kit.getTextSize(c.font, "AB W", &size, PKTEXT_FIXED | PKTEXT_HCENTER);
  EXPECT_EQ(size.right, 20);
  // An unknown handle leaves the rectangle alone.
  CPKRectangle untouched{1, 2, 3, 4};
  c.kit.getTextSize(c.font + 12345, "AB", &untouched, 0);
  EXPECT_EQ(untouched.right, 3);
  EXPECT_EQ(untouched.bottom, 4);
}

// ---- drawing ----

TEST(DrawText, ProportionalGlyphsMatchTheReference) {
  const FontBlockBuilder f = testFont();
  Canvas c(32, 12, f);
  Picture expected = c.picture;
  c.kit.drawText(c.font, 3, 2, 0, 0xE0C0A0, "A B\x01W"); // code 1 has no glyph and advance 0
  referenceGlyph(expected, f.glyphOf('A'), 3, 2, 0xE0C0A0);
  referenceGlyph(expected, f.glyphOf('B'), 10, 2, 0xE0C0A0);
  referenceGlyph(expected, f.glyphOf('W'), 13, 2, 0xE0C0A0);
  EXPECT_TRUE(testsupport::sameImage("text-proportional", c.picture, expected));
}

TEST(DrawText, FullCoverageWritesTheColourAndLowCoverageBlends) {
  FontBlockBuilder f;
  f.solid('F', 2, 2, 1, 0, 15);
  f.solid('L', 2, 2, 1, 0, 1);
  Canvas c(4, 1, f, 0xFFFFFF);
  c.kit.drawText(c.font, 0, 0, 0, 0x102030, "FL");
  EXPECT_EQ(c.picture.at(0, 0), 0x102030u);
  EXPECT_EQ(c.picture.at(1, 0), 0x102030u);
  // alpha 17: (s * 17 + 255 * 238) >> 8 per byte
  const auto mix = [](unsigned s) { return (s * 17 + 255 * 238) >> 8; };
  EXPECT_EQ(c.picture.at(2, 0), (mix(0x10) << 16) | (mix(0x20) << 8) | mix(0x30));
}

TEST(DrawText, CentringMovesByHalfTheMeasuredSize) {
  const FontBlockBuilder f = testFont();
  Canvas c(40, 30, f);
  Picture expected = c.picture;
  // "AB\nA": width 8, height 14 -> x 20 - 4, y 15 - 7; the second line starts at x 16 too.
  c.kit.drawText(c.font, 20, 15, PKTEXT_HCENTER | PKTEXT_VCENTER, 0xFFFFFF, "AB\nA");
  referenceGlyph(expected, f.glyphOf('A'), 16, 8, 0xFFFFFF);
  referenceGlyph(expected, f.glyphOf('B'), 21, 8, 0xFFFFFF);
  referenceGlyph(expected, f.glyphOf('A'), 16, 15, 0xFFFFFF);
  EXPECT_TRUE(testsupport::sameImage("text-centred", c.picture, expected));

  // An odd width truncates: "ABW" minus... a width of 7 moves left by 3.
  FontBlockBuilder seven;
  seven.solid('S', 2, 7, 1, 0, 15);
  Canvas d(20, 2, seven, 0);
  d.kit.drawText(d.font, 10, 0, PKTEXT_HCENTER, 0xFFFFFF, "S");
  EXPECT_EQ(d.picture.at(7, 0), 0xFFFFFFu);
  EXPECT_EQ(d.picture.at(6, 0), 0u);
}

TEST(DrawText, FixedCellsCentreNarrowGlyphsAndLetWideOnesOverlap) {
  const FontBlockBuilder f = testFont();
  Canvas c(48, 10, f);
  c.kit.fontSetFixedMulti(c.font, 0.7f); // cell = int(10 * 0.7 + 0.5) = 7
  Picture expected = c.picture;
  c.kit.drawText(c.font, 1, 0, PKTEXT_FIXED, 0x00FF80, "ABW A");
  referenceGlyph(expected, f.glyphOf('A'), 1 + 1, 0, 0x00FF80);  // d = 2 -> 1 right
  referenceGlyph(expected, f.glyphOf('B'), 8 + 2, 0, 0x00FF80);  // d = 4 -> 2 right
  referenceGlyph(expected, f.glyphOf('W'), 15, 0, 0x00FF80);     // wider: at the pen
  referenceGlyph(expected, f.glyphOf('A'), 29 + 1, 0, 0x00FF80); // after the space's cell
  EXPECT_TRUE(testsupport::sameImage("text-fixed", c.picture, expected));
}

TEST(DrawText, ClipRectangleCutsGlyphsInPlace) {
  const FontBlockBuilder f = testFont();
  for (int x = 1; x <= 4; ++x) { // even and odd offsets of the clip edges inside a byte
    Canvas c(20, 12, f);
    Picture expected = c.picture;
    const CPKRectangle clip{4, 4, 11, 6}; // top in the middle of 'A', right inside 'W'
    c.kit.drawText(c.font, x, 1, 0, 0xFFFF00, "AW", &clip);
    referenceGlyph(expected, f.glyphOf('A'), x, 1, 0xFFFF00, &clip);
    referenceGlyph(expected, f.glyphOf('W'), x + 5, 1, 0xFFFF00, &clip);
    EXPECT_TRUE(testsupport::sameImage("text-clipped-" + std::to_string(x), c.picture, expected));
    // The glyph's lower rows are in their own places; nothing outside the clip changes.
    int inside = 0;
    for (int y = 0; y < 12; ++y) {
      for (int px = 0; px < 20; ++px) {
        if (c.picture.at(px, y) != 0x203040u) {
          ++inside;
          EXPECT_TRUE(px >= 4 && px <= 11 && y >= 4 && y <= 6) << px << "," << y;
        }
      }
    }
    EXPECT_GT(inside, 0);
  }
}

TEST(DrawText, TextOffTheSurfaceOrAtExtremesIsDropped) {
  const FontBlockBuilder f = testFont();
  Canvas c(10, 10, f);
  const Picture before = c.picture;
  c.kit.drawText(c.font, INT_MAX - 2, 0, 0, 0xFFFFFF, "WWWW");
  c.kit.drawText(c.font, INT_MIN, INT_MIN, PKTEXT_HCENTER | PKTEXT_VCENTER, 0xFFFFFF, "AAAA\nA");
  c.kit.drawText(c.font, 0, INT_MAX, 0, 0xFFFFFF, "A\nA\nA");
  c.kit.drawText(c.font, 0, 0, 0, 0xFFFFFF, nullptr);
  EXPECT_TRUE(testsupport::sameImage("text-offsurface", c.picture, before));
}

TEST(DrawText, ShippedFontThroughTheFacadeOnAFlippedSurface) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(embeddedFontBlock(205, &data, &size));
  Picture picture(60, 20, 0);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(60, 20, 60, picture.buffer(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 1, 0));
  lib.setNewDestination(60, 20, 60, picture.buffer()); // 180 is a multiple of 4 already
  const unsigned long font = lib.addFont(const_cast<unsigned char*>(data));
  ASSERT_NE(font, 0u);
  lib.drawText(font, 2, 1, 0, 0xFFFFFF, "Kamera 12");
  // Drawn into the same picture flipped: compare with a plain surface drawn by hand.
  Picture upright(60, 20, 0);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(60, 20, 60, upright.buffer(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0));
  kit.drawText(kit.addFont(const_cast<unsigned char*>(data), false), 2, 1, 0, 0xFFFFFF, "Kamera 12");
  Picture flipped(60, 20, 0);
  for (int y = 0; y < 20; ++y) std::memcpy(flipped.row(y), upright.row(19 - y), 180);
  EXPECT_TRUE(testsupport::sameImage("text-flipped", picture, flipped));
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) lit += upright.at(x, y) != 0;
  EXPECT_GT(lit, 40);
}

// ---- fontTextOutput ----

// One-pixel glyphs make positions easy to read back: every letter is a 1 x 1 dot of full
// coverage at its origin, advance 6; space advance 4; line height 10.
FontBlockBuilder dotFont() {
  FontBlockBuilder f;
  for (int c = 'a'; c <= 'z'; ++c) f.solid(static_cast<unsigned char>(c), 1, 6, 1, 0, 15);
  f.blank(' ', 4);
  f.blank('\t', 0);
  FontBlockBuilder::Glyph tall{0, 0, 0, 0, {}};
  tall.top = 9; // a blank record that sets the line bottom to 9 + 1
  tall.height = 1;
  tall.width = 1;
  tall.coverage = {0};
  f.glyph(1, tall);
  return f;
}

std::vector<std::pair<int, int>> dots(const Picture& p, std::uint32_t colour) {
  std::vector<std::pair<int, int>> found;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) == colour) found.emplace_back(x, y);
  return found;
}

using Dots = std::vector<std::pair<int, int>>;

TEST(TextOutput, WrapsWordsAtTheRightEdge) {
  Canvas c(200, 60, dotFont(), 0);
  ASSERT_EQ(c.kit.font(c.font)->lineHeight(), 10);
  const CPKRectangle box{10, 5, 40, 50};
  // "ab cd  ef": ab at 10 (w 12), cd at 26 (10 + 12 + 4) ends 38 <= 40, ef 42 + 12 > 40 wraps.
  const CPKRectangle r = c.kit.fontTextOutput(c.font, &box, "ab cd  ef", 0xFFFFFF, false, 0);
  EXPECT_EQ(dots(c.picture, 0xFFFFFF), (Dots{{10, 5}, {16, 5}, {26, 5}, {32, 5}, {10, 15}, {16, 15}}));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 5);
  EXPECT_EQ(r.right, 38);
  EXPECT_EQ(r.bottom, 25);
}

TEST(TextOutput, WideWordMovesDownEvenAsFirstWordAndLineFeedsResetTheGap) {
  Canvas c(200, 60, dotFont(), 0);
  const CPKRectangle box{0, 0, 10, 50};
  const CPKRectangle r = c.kit.fontTextOutput(c.font, &box, "abc\n\nd", 0xFFFFFF, false, 0);
  // "abc" (18 wide) does not fit into 10: it moves one line down and runs past the edge.
  EXPECT_EQ(dots(c.picture, 0xFFFFFF), (Dots{{0, 10}, {6, 10}, {12, 10}, {0, 30}}));
  EXPECT_EQ(r.right, 18);
  EXPECT_EQ(r.bottom, 40);
}

TEST(TextOutput, TabStopsCountFromColumnZero) {
  Canvas c(300, 20, dotFont(), 0);
  const CPKRectangle box{58, 0, 290, 20};
  // "a" at 58 ends at 64 -> the tab goes to 128 (a pen on a stop moves to the next one);
  // "b" then follows one space width right of the stop.
  c.kit.fontTextOutput(c.font, &box, "a\tb", 0xFFFFFF, false, 0);
  EXPECT_EQ(dots(c.picture, 0xFFFFFF), (Dots{{58, 0}, {132, 0}}));

  Canvas d(300, 20, dotFont(), 0);
  const CPKRectangle box2{70, 0, 290, 20};
  d.kit.fontTextOutput(d.font, &box2, "\tb", 0xFFFFFF, false, 0); // 70 -> 128, no gap yet
  EXPECT_EQ(dots(d.picture, 0xFFFFFF), (Dots{{128, 0}}));

  d.kit.fontSetTabPosition(d.font, 100);
  const CPKRectangle box3{0, 10, 290, 20};
  d.kit.fontTextOutput(d.font, &box3, "\t\tz", 0xFFFFFF, false, 0);
  EXPECT_EQ(dots(d.picture, 0xFFFFFF), (Dots{{128, 0}, {200, 10}}));
}

TEST(TextOutput, NonPositiveTabPositionsNeverHang) {
  for (int tab : {0, -1, -64, INT_MIN}) {
    Canvas c(100, 20, dotFont(), 0);
    c.kit.fontSetTabPosition(c.font, tab);
    const CPKRectangle box{0, 0, 90, 20};
    const CPKRectangle r = c.kit.fontTextOutput(c.font, &box, "a\t\tb", 0xFFFFFF, false, 0);
    // Without stops a tab separates words like a space.
    EXPECT_EQ(dots(c.picture, 0xFFFFFF), (Dots{{0, 0}, {10, 0}})) << tab;
    EXPECT_EQ(r.right, 16);
  }
}

TEST(TextOutput, ShadowNarrowsTheLimitAndExtendsTheBottom) {
  Canvas c(200, 60, dotFont(), 0);
  const CPKRectangle box{10, 10, 100, 60};
  // 15 letters = 90 pixels: fits 10..100 without shadow, not within the limit 98 with it.
  const char* text = "abcdefghijklmn"; // 14 letters: 84 wide, ends at 94
  CPKRectangle r = c.kit.fontTextOutput(c.font, &box, text, 0xFFFFFF, true, 0x0000FF);
  EXPECT_EQ(r.bottom, 10 + 10 + 2);
  EXPECT_EQ(c.picture.at(10, 10), 0xFFFFFFu);
  EXPECT_EQ(c.picture.at(12, 12), 0x0000FFu); // the shadow, 2 right and 2 down
  Canvas d(200, 60, dotFont(), 0);
  r = d.kit.fontTextOutput(d.font, &box, "abcdefghijklmno", 0xFFFFFF, true, 0x0000FF); // ends at 100 > 98
  EXPECT_EQ(d.picture.at(10, 20), 0xFFFFFFu);
  EXPECT_EQ(r.bottom, 32);
  Canvas e(200, 60, dotFont(), 0);
  r = e.kit.fontTextOutput(e.font, &box, "abcdefghijklmno", 0xFFFFFF, false, 0); // fits exactly
  EXPECT_EQ(e.picture.at(10, 10), 0xFFFFFFu);
  EXPECT_EQ(r.bottom, 20);
}

TEST(TextOutput, LongWordsAreCutAfter255Codes) {
  FontBlockBuilder f = dotFont();
  for (int c = 'a'; c <= 'z'; ++c) f.solid(static_cast<unsigned char>(c), 1, 1, 1, 0, 15);
  Canvas c(600, 30, f, 0);
  const std::string word(300, 'a');
  const CPKRectangle box{0, 0, 590, 30};
  const CPKRectangle r = c.kit.fontTextOutput(c.font, &box, word.c_str(), 0xFFFFFF, false, 0);
  // 255 dots, then the rest as the next word after one space width (4).
  EXPECT_EQ(c.picture.at(254, 0), 0xFFFFFFu);
  EXPECT_EQ(c.picture.at(255, 0), 0u);
  EXPECT_EQ(c.picture.at(259, 0), 0xFFFFFFu);
  EXPECT_EQ(r.right, 259 + 45);
}

TEST(TextOutput, EmptyTextsAndUnknownFonts) {
  Canvas c(50, 30, dotFont(), 0);
  const CPKRectangle box{5, 6, 40, 30};
  CPKRectangle r = c.kit.fontTextOutput(c.font, &box, "   ", 0xFFFFFF, false, 0);
  EXPECT_EQ(r.right, 0); // no word drawn
  EXPECT_EQ(r.bottom, 16);
  r = c.kit.fontTextOutput(c.font, &box, nullptr, 0xFFFFFF, true, 0);
  EXPECT_EQ(r.bottom, 18);
  r = c.kit.fontTextOutput(c.font + 99, &box, "abc", 0xFFFFFF, false, 0);
  EXPECT_EQ(r.right - r.left, 0);
  EXPECT_EQ(r.bottom - r.top, 0);
  EXPECT_TRUE(dots(c.picture, 0xFFFFFF).empty());
}

} // namespace
