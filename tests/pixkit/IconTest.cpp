// Icons: alpha maps from 24-bit pictures and from BMPs of 1, 4, 8 and 24 bits, flags,
// painting and handles.
#include <gtest/gtest.h>

#include <vector>

#include "pixkit/Pixkit.h"
#include "pixkit/PixkitLib.h"
#include "tests/pixkit/BmpBuilder.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"
#include "tests/pixkit/TestCanvas.h"

using pixkit_test::BmpLayout;
using pixkit_test::Canvas;
using pixkit_test::Picture;

namespace {

// Paints an icon in white on black and reads the alpha map back: with alpha a the byte
// becomes 255 * a >> 8 for a < 255 and 255 for a = 255.
std::vector<int> paintedLevels(CPixkit& kit, Picture& picture, unsigned long icon) {
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) picture.set(x, y, 0);
  kit.iconPaint(icon, 0, 0, 0xFFFFFF);
  std::vector<int> levels;
  for (int y = 0; y < kit.iconGetHeight(icon); ++y)
    for (int x = 0; x < kit.iconGetWidth(icon); ++x) levels.push_back(picture.at(x, y) & 0xFF);
  return levels;
}

int whiteOnBlack(int alpha) { return alpha == 255 ? 255 : (255 * alpha) >> 8; }

std::vector<int> expectedLevels(const std::vector<int>& alphas) {
  std::vector<int> out;
  for (int a : alphas) out.push_back(whiteOnBlack(a));
  return out;
}

TEST(IconFromMem, GreyLevelMapping) {
  Canvas c(8, 8);
  // Pixels (bytes): white, (10, 20, 31) -> grey 20, black, (200, 100, 0) -> grey 100.
  const unsigned char pixels[] = {255, 255, 255, 10, 20, 31, 0, 0, 0, 200, 100, 0};
  const unsigned long icon = c.kit.iconCreateFromMem(pixels, 4, 1, 12, 0, 0, 255);
  ASSERT_NE(icon, 0u);
  EXPECT_EQ(c.kit.iconGetWidth(icon), 4);
  EXPECT_EQ(c.kit.iconGetHeight(icon), 1);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, icon), expectedLevels({255, 20, 0, 100}));

  // low 255, high 0 with invert: the alpha is the grey level again.
  const unsigned long inverted = c.kit.iconCreateFromMem(pixels, 4, 1, 12, PKICON_INVERT, 255, 0);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, inverted), expectedLevels({255, 20, 0, 100}));
  // A ramp from 50 to 150, and one beyond the byte range that clamps.
  const unsigned long ramp = c.kit.iconCreateFromMem(pixels, 4, 1, 12, 0, 50, 150);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, ramp),
            expectedLevels({150, 50 + 100 * 20 / 255, 50, 50 + 100 * 100 / 255}));
  const unsigned long clamped = c.kit.iconCreateFromMem(pixels, 4, 1, 12, 0, -300, 600);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, clamped), expectedLevels({255, 0, 0, 52})); // -300 + 900*100/255 = 52
  // Extreme ramps do not overflow.
  const unsigned long extreme = c.kit.iconCreateFromMem(pixels, 4, 1, 12, 0, INT_MIN, INT_MAX);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, extreme), expectedLevels({255, 0, 0, 0}));
}

TEST(IconFromMem, FlipAndMirror) {
  Canvas c(4, 4);
  // 2 x 2 picture with grey levels 10, 20 / 30, 40, rows 8 bytes apart.
  const unsigned char pixels[] = {10, 10, 10, 20, 20, 20, 0, 0, 30, 30, 30, 40, 40, 40, 0, 0};
  const auto levels = [&](int flags) {
    return paintedLevels(c.kit, c.picture, c.kit.iconCreateFromMem(pixels, 2, 2, 8, flags, 0, 255));
  };
  EXPECT_EQ(levels(0), expectedLevels({10, 20, 30, 40}));
  EXPECT_EQ(levels(PKICON_FLIPY), expectedLevels({30, 40, 10, 20}));
  EXPECT_EQ(levels(PKICON_MIRROR), expectedLevels({20, 10, 40, 30}));
  EXPECT_EQ(levels(PKICON_FLIPY | PKICON_MIRROR | 0x100), expectedLevels({40, 30, 20, 10})); // bit 8 ignored
}

TEST(IconPaint, ColourIsExactAtFullAlphaAndZeroAlphaIsSkipped) {
  Canvas c(6, 3, 0x404040);
  const unsigned char pixels[] = {255, 255, 255, 0, 0, 0, 128, 128, 128};
  const unsigned long icon = c.kit.iconCreateFromMem(pixels, 3, 1, 9, 0, 0, 255);
  c.kit.iconPaint(icon, 2, 1, 0x12AB34);
  Picture expected(6, 3, 0x404040);
  expected.set(2, 1, 0x12AB34);
  const auto mix = [](unsigned s, unsigned o) { return (s * 128 + o * 127) >> 8; };
  expected.set(4, 1, (mix(0x12, 0x40) << 16) | (mix(0xAB, 0x40) << 8) | mix(0x34, 0x40));
  EXPECT_TRUE(testsupport::sameImage("icon-paint", c.picture, expected));
  // Partly outside and far outside: only the visible pixels change.
  c.kit.iconPaint(icon, -2, 0, 0xFFFFFF);
  expected.set(0, 0, mix(0xFF, 0x40) * 0x010101);
  c.kit.iconPaint(icon, INT_MAX - 1, INT_MAX - 1, 0xFFFFFF);
  c.kit.iconPaint(icon, INT_MIN, 0, 0xFFFFFF);
  EXPECT_TRUE(testsupport::sameImage("icon-paint-clipped", c.picture, expected));
}

TEST(IconHandles, OtherKindsAndUnknownHandlesDoNothing) {
  Canvas c(4, 4);
  const unsigned char white[] = {255, 255, 255};
  const unsigned long icon = c.kit.iconCreateFromMem(white, 1, 1, 3, 0, 0, 255);
  std::vector<std::uint8_t> notAFont(5140, 0);
  notAFont[16] = 4;
  const unsigned long font = c.kit.addFont(notAFont.data(), false);
  ASSERT_NE(font, 0u);
  ASSERT_NE(icon, font);
  c.kit.iconPaint(font, 0, 0, 0xFFFFFF);
  c.kit.iconPaint(0, 0, 0, 0xFFFFFF);
  EXPECT_EQ(c.kit.iconGetWidth(font), 0);
  EXPECT_EQ(c.kit.iconGetHeight(icon + 1000), 0);
  EXPECT_TRUE(testsupport::sameImage("icon-wrong-handle", c.picture, Picture(4, 4)));
  // An empty icon is valid and paints nothing; a negative size is not.
  const unsigned long empty = c.kit.iconCreateFromMem(nullptr, 0, 5, 0, 0, 0, 255);
  EXPECT_NE(empty, 0u);
  c.kit.iconPaint(empty, 0, 0, 0xFFFFFF);
  EXPECT_EQ(c.kit.iconCreateFromMem(white, -1, 1, 3, 0, 0, 255), 0u);
}

// ---- BMPs ----

// A 5 x 3 picture with four grey levels, as palette indices into greys 0, 85, 170, 255.
const std::vector<std::uint32_t> kIndices = {0, 1, 2, 3, 0, //
                                             3, 3, 0, 1, 1, //
                                             2, 0, 0, 0, 3};
const std::vector<std::uint32_t> kGreys = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};

std::vector<int> kGreyAlphas() {
  std::vector<int> a;
  for (auto i : kIndices) a.push_back(kGreys[i] & 0xFF);
  return a;
}

BmpLayout paletteBmp(int bits) {
  BmpLayout s;
  s.width = 5;
  s.height = 3;
  s.bits = bits;
  s.palette = kGreys;
  s.pixels = kIndices;
  return s;
}

TEST(IconFromBmp, EveryDepthGivesAnUprightIcon) {
  for (int bits : {1, 4, 8, 24}) {
    BmpLayout layout = paletteBmp(bits);
    std::vector<int> alphas = kGreyAlphas();
    if (bits == 1) {
      // Two colours: indices modulo 2 into black and white.
      layout.palette = {0x000000, 0xFFFFFF};
      alphas.clear();
      for (auto& i : layout.pixels) {
        i %= 2;
        alphas.push_back(i ? 255 : 0);
      }
    }
    if (bits == 24) {
      for (auto& i : layout.pixels) i = kGreys[i];
    }
    for (bool topDown : {false, true}) {
      layout.topDown = topDown;
      const std::vector<std::uint8_t> file = pixkit_test::buildBmp(layout);
      Canvas c(8, 8);
      const unsigned long icon = c.kit.iconCreateFromBmpMemChecked(false, file.data(), file.size(), 0, 0, 255);
      ASSERT_NE(icon, 0u) << bits;
      EXPECT_EQ(c.kit.iconGetWidth(icon), 5);
      EXPECT_EQ(c.kit.iconGetHeight(icon), 3);
      EXPECT_EQ(paintedLevels(c.kit, c.picture, icon), expectedLevels(alphas)) << bits << " " << topDown;
      // The trusted entry point reads the same.
      const unsigned long trusted = c.kit.iconCreateFromBmpMem(false, file.data(), 0, 0, 255);
      EXPECT_EQ(paintedLevels(c.kit, c.picture, trusted), expectedLevels(alphas)) << bits;
    }
  }
}

TEST(IconFromBmp, FlipFlagTurnsABottomUpBmpUpsideDown) {
  const std::vector<std::uint8_t> file = pixkit_test::buildBmp(paletteBmp(8));
  Canvas c(8, 8);
  const unsigned long icon = c.kit.iconCreateFromBmpMem(false, file.data(), PKICON_FLIPY, 0, 255);
  std::vector<int> alphas = kGreyAlphas();
  std::vector<int> flipped(alphas.begin() + 10, alphas.end());
  flipped.insert(flipped.end(), alphas.begin() + 5, alphas.begin() + 10);
  flipped.insert(flipped.end(), alphas.begin(), alphas.begin() + 5);
  EXPECT_EQ(paintedLevels(c.kit, c.picture, icon), expectedLevels(flipped));
}

TEST(IconFromBmp, InfoHeaderOnlyAndTheFacade) {
  const std::vector<std::uint8_t> info = pixkit_test::buildBmp(paletteBmp(4), false);
  Picture picture(8, 8);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(8, 8, 8, picture.buffer(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0));
  const unsigned long icon = lib.iconCreateFromBmpMem(true, info.data(), 0, 0, 255);
  ASSERT_NE(icon, 0u);
  EXPECT_EQ(lib.iconGetWidth(icon), 5);
  EXPECT_EQ(lib.iconGetHeight(icon), 3);
  lib.iconPaint(icon, 0, 0, 0xFFFFFF);
  EXPECT_EQ(picture.at(3, 0), 0xFFFFFFu); // index 3, white
  EXPECT_EQ(picture.at(2, 0) & 0xFF, static_cast<std::uint32_t>(whiteOnBlack(170)));
}

TEST(IconFromBmp, OneBitRowsArePaddedToFourBytes) {
  // 10 pixels wide: two bytes of bits, padded to 4. Only pixel 0 and pixel 9 are set.
  BmpLayout s;
  s.width = 10;
  s.height = 2;
  s.bits = 1;
  s.palette = {0x000000, 0xFFFFFF};
  s.pixels.assign(20, 0);
  s.pixels[0] = 1;
  s.pixels[19] = 1;
  const std::vector<std::uint8_t> file = pixkit_test::buildBmp(s);
  ASSERT_EQ(file.size(), 14u + 40 + 8 + 2 * 4);
  EXPECT_EQ(file[14 + 40 + 8 + 4], 0x80); // top row stored second; first pixel = high bit
  Canvas c(12, 2);
  const unsigned long icon = c.kit.iconCreateFromBmpMemChecked(false, file.data(), file.size(), 0, 0, 255);
  std::vector<int> alphas(20, 0);
  alphas[0] = alphas[19] = 255;
  EXPECT_EQ(paintedLevels(c.kit, c.picture, icon), expectedLevels(alphas));
}

TEST(IconFromBmp, UnsupportedBmpsAreRejected) {
  Canvas c(4, 4);
  BmpLayout rle = paletteBmp(8);
  rle.compression = 1;
  std::vector<std::uint8_t> file = pixkit_test::buildBmp(rle);
  EXPECT_EQ(c.kit.iconCreateFromBmpMem(false, file.data(), 0, 0, 255), 0u);
  for (int bits : {16, 32, 2, 0}) {
    BmpLayout s = paletteBmp(8);
    file = pixkit_test::buildBmp(s);
    file[14 + 14] = static_cast<std::uint8_t>(bits);
    EXPECT_EQ(c.kit.iconCreateFromBmpMem(false, file.data(), 0, 0, 255), 0u) << bits;
  }
  EXPECT_EQ(c.kit.iconCreateFromBmpMem(false, nullptr, 0, 0, 255), 0u);
}

TEST(IconFromBmp, CheckedReaderRejectsEveryTruncation) {
  for (int bits : {1, 4, 8, 24}) {
    BmpLayout layout = paletteBmp(bits);
    if (bits == 24)
      for (auto& i : layout.pixels) i = kGreys[i];
    if (bits == 1)
      for (auto& i : layout.pixels) i %= 2;
    const std::vector<std::uint8_t> file = pixkit_test::buildBmp(layout);
    Canvas c(4, 4);
    for (std::size_t size = 0; size < file.size(); ++size) {
      // A copy of exactly `size` bytes, so that ASan sees any read beyond it.
      std::vector<std::uint8_t> cut(file.begin(), file.begin() + size);
      ASSERT_EQ(c.kit.iconCreateFromBmpMemChecked(false, cut.data(), cut.size(), 0, 0, 255), 0u)
          << bits << " bits, " << size << " bytes";
    }
    EXPECT_NE(c.kit.iconCreateFromBmpMemChecked(false, file.data(), file.size(), 0, 0, 255), 0u);
  }
  // Width and height that would overflow the arithmetic.
  BmpLayout s = paletteBmp(24);
  for (auto& i : s.pixels) i = kGreys[i];
  std::vector<std::uint8_t> file = pixkit_test::buildBmp(s);
  Canvas c(4, 4);
  const std::uint8_t minHeight[4] = {0, 0, 0, 0x80}; // INT_MIN
  std::copy(minHeight, minHeight + 4, file.begin() + 14 + 8);
  EXPECT_EQ(c.kit.iconCreateFromBmpMemChecked(false, file.data(), file.size(), 0, 0, 255), 0u);
  // Zero columns and 2^31 - 1 rows: an empty icon, made without walking the rows.
  for (int bits : {8, 24}) {
    BmpLayout empty = paletteBmp(bits);
    empty.width = 0;
    empty.height = 0;
    empty.pixels.clear();
    std::vector<std::uint8_t> bytes = pixkit_test::buildBmp(empty);
    const std::uint8_t maxHeight[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    std::copy(maxHeight, maxHeight + 4, bytes.begin() + 14 + 8);
    const unsigned long icon = c.kit.iconCreateFromBmpMemChecked(false, bytes.data(), bytes.size(), 0, 0, 255);
    ASSERT_NE(icon, 0u);
    EXPECT_EQ(c.kit.iconGetWidth(icon), 0);
    EXPECT_EQ(c.kit.iconGetHeight(icon), INT_MAX);
    c.kit.iconPaint(icon, 0, 0, 0xFFFFFF);
  }
  const std::uint8_t hugeWidth[4] = {0xFF, 0xFF, 0xFF, 0x7F};
  file = pixkit_test::buildBmp(s);
  std::copy(hugeWidth, hugeWidth + 4, file.begin() + 14 + 4);
  EXPECT_EQ(c.kit.iconCreateFromBmpMemChecked(false, file.data(), file.size(), 0, 0, 255), 0u);
}

} // namespace
