// The core and the facade: Init, destinations, object tables and handles, the rule that
// every object draws on the current surface, and checked font blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>
#include <vector>

#include "pixkit/PKMemory.h"
#include "pixkit/Pixkit.h"
#include "pixkit/PixkitLib.h"
#include "tests/pixkit/FontBuilder.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"

using pixkit_test::FontBlockBuilder;
using pixkit_test::Picture;

namespace {

constexpr unsigned long kR = 0xFF0000, kG = 0x00FF00, kB = 0x0000FF;

std::vector<std::uint8_t> dotFontBlock() {
  FontBlockBuilder f;
  f.solid('x', 1, 2, 1, 0, 15);
  return f.build();
}

static_assert(!std::is_copy_constructible_v<CPixkitLib> && !std::is_copy_assignable_v<CPixkitLib>,
              "a facade has a single owner of its core");

TEST(Init, RejectsUnknownFormatsAndBadMasks) {
  Picture p(4, 4);
  CPixkitLib lib;
  EXPECT_FALSE(lib.Init(4, 4, 4, p.buffer(), static_cast<EPKLIBDestinationFormat>(3), kR, kG, kB, 0, 0));
  EXPECT_FALSE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, 0x00F0F0, kB, 0, 0));
  // After a failed Init nothing is drawn (and nothing crashes).
  const CPKRectangle all{0, 0, 3, 3};
  lib.paintFill(&all, 0xFFFFFF);
  EXPECT_EQ(lib.core(), nullptr); // a failed first Init leaves the facade empty
  EXPECT_TRUE(testsupport::sameImage("init-failed", p, Picture(4, 4)));
  EXPECT_TRUE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  EXPECT_TRUE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB16, 0xF800, 0x07E0, 0x001F, 0, 0));
  // A failing later Init keeps the core (and its objects) without a surface.
  EXPECT_FALSE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, 0, kG, kB, 0, 0));
  ASSERT_NE(lib.core(), nullptr);
  EXPECT_EQ(lib.core()->surface(), nullptr);
  lib.paintFill(&all, 0xFFFFFF);
  lib.setNewDestination(4, 4, 4, p.buffer());
  lib.core()->setFlipY(true);
  EXPECT_TRUE(testsupport::sameImage("init-failed-later", p, Picture(4, 4)));
}

TEST(Init, FlipYKeepsOnlyBitZero) {
  Picture p(2, 3);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(2, 3, 2, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 2, 0));
  EXPECT_FALSE(kit.surface()->flipY());
  ASSERT_TRUE(kit.Init(2, 3, 2, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 3, 0));
  EXPECT_TRUE(kit.surface()->flipY());
  kit.setFlipY(false);
  EXPECT_FALSE(kit.surface()->flipY());
}

TEST(Destination, FacadeAlignsRowsToFourBytesAndTheCoreAsAsked) {
  std::vector<char> buffer(2092 * 2);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(10, 2, 10, buffer.data(), PKLIB_DEST_RGB24, kR, kG, kB, 1, 0));
  lib.setNewDestination(697, 2, 697, buffer.data());
  EXPECT_EQ(lib.core()->surface()->stride(), 2092);
  EXPECT_TRUE(lib.core()->surface()->flipY()); // kept
  lib.core()->setNewDestination(697, 2, 697, buffer.data(), 0);
  EXPECT_EQ(lib.core()->surface()->stride(), 2091);
  EXPECT_NE(lib.core()->surface()->colourTable(), nullptr); // kept
}

TEST(Handles, AreDistinctNonZeroAndFoundOnlyInTheirOwnTable) {
  Picture p(4, 4);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  std::vector<std::uint8_t> block = dotFontBlock();
  const unsigned long f1 = kit.addFont(block.data(), false);
  const unsigned long f2 = kit.addFont(block.data(), false); // same block twice
  ASSERT_NE(f1, 0u);
  ASSERT_NE(f2, 0u);
  EXPECT_NE(f1, f2);
  kit.fontSetTabPosition(f1, 10);
  kit.fontSetFixedMulti(f2, 0.5f);
  EXPECT_EQ(kit.font(f1)->tabPosition(), 10);
  EXPECT_EQ(kit.font(f2)->tabPosition(), 64);
  EXPECT_EQ(kit.font(f1)->fixedMulti(), 1.0f);
  EXPECT_EQ(kit.font(f2)->fixedMulti(), 0.5f);
  // A font handle drawn as an icon does nothing; an unknown handle neither.
  kit.iconPaint(f1, 0, 0, 0xFFFFFF);
  kit.drawText(f1 + f2, 0, 0, 0, 0xFFFFFF, "x");
  EXPECT_TRUE(testsupport::sameImage("handles-foreign", p, Picture(4, 4)));
  // Handles of one core are not found in another.
  CPixkit other;
  EXPECT_EQ(other.font(f1), nullptr);
}

TEST(Handles, TablesGrowPastTheirFirstTenSlots) {
  Picture p(4, 4);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  std::vector<std::uint8_t> block = dotFontBlock();
  std::vector<unsigned long> handles;
  for (int i = 0; i < 25; ++i) handles.push_back(kit.addFont(block.data(), false));
  EXPECT_EQ(kit.fontCount(), 25);
  for (unsigned long h : handles) EXPECT_NE(kit.font(h), nullptr);
}

TEST(Lifecycle, ReInitKeepsObjectsThatThenDrawOnTheNewSurface) {
  Picture first(4, 4), second(6, 6);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(4, 4, 4, first.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  std::vector<std::uint8_t> block = dotFontBlock();
  const unsigned long font = lib.addFont(block.data());
  const unsigned char white[] = {255, 255, 255};
  const unsigned long icon = lib.core()->iconCreateFromMem(white, 1, 1, 3, 0, 0, 255);
  ASSERT_TRUE(lib.Init(6, 6, 6, second.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 4));
  lib.drawText(font, 5, 5, 0, 0xFFFFFF, "x"); // still found, drawn on the new surface
  lib.iconPaint(icon, 4, 4, 0x00FF00);
  Picture expected(6, 6);
  expected.set(5, 5, 0xFFFFFF);
  expected.set(4, 4, 0x00FF00);
  EXPECT_TRUE(testsupport::sameImage("reinit-second", second, expected));
  EXPECT_TRUE(testsupport::sameImage("reinit-first", first, Picture(4, 4)));
  // A new destination is used by the same objects.
  Picture third(3, 3);
  lib.setNewDestination(3, 3, 3, third.buffer());
  lib.drawText(font, 1, 1, 0, 0x0000FF, "x");
  EXPECT_EQ(third.at(1, 1), 0x0000FFu);
}

TEST(Lifecycle, CloseEmptiesTheTables) {
  Picture p(4, 4);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  std::vector<std::uint8_t> block = dotFontBlock();
  const unsigned long font = lib.addFont(block.data());
  lib.close();
  EXPECT_EQ(lib.core(), nullptr);
  lib.drawText(font, 0, 0, 0, 0xFFFFFF, "x"); // no core: nothing, no crash
  ASSERT_TRUE(lib.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  EXPECT_EQ(lib.core()->fontCount(), 0);
  EXPECT_EQ(lib.core()->font(font), nullptr);
  lib.drawText(font, 0, 0, 0, 0xFFFFFF, "x");
  EXPECT_TRUE(testsupport::sameImage("closed", p, Picture(4, 4)));
}

TEST(Lifecycle, CloseObjectsKeepsTheSurface) {
  Picture p(4, 4);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  std::vector<std::uint8_t> block = dotFontBlock();
  const unsigned long font = kit.addFont(block.data(), false);
  ASSERT_NE(font, 0u);
  kit.closeObjects();
  EXPECT_EQ(kit.fontCount(), 0);
  EXPECT_EQ(kit.font(font), nullptr);
  kit.drawText(font, 0, 0, 0, 0xFFFFFF, "x"); // gone: nothing drawn
  EXPECT_TRUE(testsupport::sameImage("objects closed", p, Picture(4, 4)));
  kit.drawText(kit.addFont(block.data(), false), 0, 0, 0, 0xFFFFFF, "x"); // the surface is still there
  EXPECT_EQ(p.at(0, 0), 0xFFFFFFu);
}

TEST(Fonts, OwnedBlocksAreFreedOnRejectionAndWithTheFont) {
  CPixkit kit;
  std::vector<std::uint8_t> bytes = dotFontBlock();
  bytes[16] = 8; // bits per pixel 8
  unsigned char* rejected = pkAllocBlock(bytes.size());
  std::memcpy(rejected, bytes.data(), bytes.size());
  EXPECT_EQ(kit.addFont(rejected, true), 0u); // freed by the library (ASan: no leak)
  EXPECT_EQ(kit.addFont(bytes.data(), false), 0u);
  bytes[16] = 4;
  unsigned char* owned = pkAllocBlock(bytes.size());
  std::memcpy(owned, bytes.data(), bytes.size());
  EXPECT_NE(kit.addFont(owned, true), 0u); // freed at close
  unsigned char* checked = pkAllocBlock(bytes.size());
  std::memcpy(checked, bytes.data(), bytes.size());
  EXPECT_EQ(kit.addFontChecked(checked, bytes.size() - 1, true), 0u); // too short: freed
  EXPECT_EQ(kit.addFont(nullptr, false), 0u);
  kit.close();
}

TEST(Fonts, CheckedBlocksMustHoldEveryBitmap) {
  FontBlockBuilder f;
  f.solid('a', 5, 6, 4, 1, 7);
  f.solid('b', 2, 3, 2, 0, 15);
  const std::vector<std::uint8_t> good = f.build();
  CPixkit kit;
  EXPECT_NE(kit.addFontChecked(const_cast<std::uint8_t*>(good.data()), good.size(), false), 0u);
  for (std::size_t size : {std::size_t{0}, std::size_t{19}, std::size_t{5139}, good.size() - 1}) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
    EXPECT_EQ(kit.addFontChecked(cut.data(), cut.size(), false), 0u) << size;
  }
  const auto rejects = [&](std::size_t offset, std::int32_t value) {
    std::vector<std::uint8_t> bad = good;
    for (int i = 0; i < 4; ++i)
      bad[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    return kit.addFontChecked(bad.data(), bad.size(), false) == 0;
  };
  const std::size_t a = 20 + 20 * 'a';
  EXPECT_TRUE(rejects(a + 16, 1 << 30));          // bitmap offset far beyond the block
  EXPECT_TRUE(rejects(a + 16, -1));               // negative offset
  EXPECT_TRUE(rejects(a + 8, 5000));              // height beyond the limits
  EXPECT_TRUE(rejects(a + 0, -2));                // negative width
  EXPECT_TRUE(rejects(a + 4, INT32_MIN));         // absurd advance
  EXPECT_TRUE(rejects(a + 12, INT32_MAX));        // absurd top
  EXPECT_FALSE(rejects(20 + 20 * 'c' + 16, -77)); // offsets of glyphs without bitmap are not read
}

TEST(Fonts, TrustedBlocksWithExtremeMetricsStayDefined) {
  // Not validated, but the metric arithmetic must not overflow.
  FontBlockBuilder f;
  f.solid('a', 2, 3, 2, 0, 15);
  std::vector<std::uint8_t> block = f.build();
  const std::size_t rec = 20 + 20 * 'b';
  const std::int32_t values[5] = {0, INT32_MAX, INT32_MAX, INT32_MAX, 0};
  for (int field = 0; field < 5; ++field)
    for (int i = 0; i < 4; ++i)
      block[rec + 4 * field + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(values[field]) >> (8 * i));
  CPKFont font(block.data(), nullptr);
  EXPECT_EQ(font.lineBottom(), INT32_MAX);
  EXPECT_EQ(font.maxAdvance(), INT32_MAX);
  Picture p(4, 4);
  CPixkit kit;
  ASSERT_TRUE(kit.Init(4, 4, 4, p.buffer(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0));
  const unsigned long h = kit.addFont(block.data(), false);
  CPKRectangle size;
  kit.getTextSize(h, "bbbb\nb", &size, 0);
  EXPECT_EQ(size.right, INT32_MAX); // saturated
  kit.drawText(h, 0, 0, PKTEXT_HCENTER | PKTEXT_VCENTER, 0xFFFFFF, "abab\nab");
}

// The comparison every golden test rests on: it must see one differing pixel past a padded
// row, a different channel order and a different size.
TEST(GoldenImage, FindsEveryDifference) {
  const Picture expected(5, 3, 0x102030); // rows of 15 bytes padded to 16
  Picture actual(5, 3, 0x102030);
  EXPECT_TRUE(testsupport::sameImage("golden-same", actual, expected));
  actual.set(4, 2, 0x102031);
  const ::testing::AssertionResult one = testsupport::sameImage("golden-one-pixel", actual, expected);
  EXPECT_FALSE(one);
  EXPECT_NE(std::string(one.message()).find("1 pixels differ, first at (4, 2)"), std::string::npos) << one.message();
  paint::PixelRows swapped = expected;
  swapped.order = paint::ChannelOrder::Rgb;
  EXPECT_FALSE(testsupport::sameImage("golden-order", swapped, expected));
  EXPECT_FALSE(testsupport::sameImage("golden-size", Picture(4, 3, 0x102030), expected));
}

} // namespace
