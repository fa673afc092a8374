// Solid, alpha and gradient fills on every surface format, including clipping.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "pixkit/PKColourSpace.h"
#include "pixkit/Pixkit.h"
#include "pixkit/PixkitLib.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"
#include "tests/pixkit/TestCanvas.h"

using pixkit_test::Canvas;
using pixkit_test::Picture;

namespace {

// The gradient written out directly from its definition, for every pixel of the
// rectangle, on a picture as large as the rectangle.
std::uint32_t gradientAt(int i, int j, int H, int W, std::uint32_t tl, std::uint32_t tr, std::uint32_t bl,
                         std::uint32_t br) {
  std::uint32_t out = 0;
  for (int k = 0; k < 3; ++k) {
    const unsigned long long a = (tl >> (8 * k)) & 0xFF, b = (tr >> (8 * k)) & 0xFF;
    const unsigned long long c = (bl >> (8 * k)) & 0xFF, d = (br >> (8 * k)) & 0xFF;
    const unsigned long long left = (a * (H - i) + c * i) / H;
    const unsigned long long right = (b * (H - i) + d * i) / H;
    unsigned long long v = (left * (W - j) + right * j) / W;
    if (v > 255) v = 255;
    out |= static_cast<std::uint32_t>(v) << (8 * k);
  }
  return out;
}

TEST(PaintFill, InclusiveEdgesAndEmptyRectangles) {
  Canvas c(10, 10, 0x111111);
  const CPKRectangle one{5, 5, 5, 5};
  c.kit.paintFill(&one, 0xABCDEF);
  Picture expected(10, 10, 0x111111);
  expected.set(5, 5, 0xABCDEF);
  EXPECT_TRUE(testsupport::sameImage("fill-one", c.picture, expected));
  const CPKRectangle inverted{6, 6, 5, 8}, upside{1, 8, 3, 7};
  c.kit.paintFill(&inverted, 0xFFFFFF);
  c.kit.paintFill(&upside, 0xFFFFFF);
  c.kit.paintFill(nullptr, 0xFFFFFF);
  EXPECT_TRUE(testsupport::sameImage("fill-empty", c.picture, expected));
}

TEST(PaintFill, ClipsAtTheSurfaceEdgesWithoutWalkingHugeRectangles) {
  Canvas c(7, 5);
  const CPKRectangle partial{-3, 3, 2, 100};
  c.kit.paintFill(&partial, 0x00FF00);
  Picture expected(7, 5);
  for (int y = 3; y < 5; ++y)
    for (int x = 0; x <= 2; ++x) expected.set(x, y, 0x00FF00);
  EXPECT_TRUE(testsupport::sameImage("fill-partial", c.picture, expected));
  // The whole integer plane: fills the surface at once.
  const CPKRectangle all{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  c.kit.paintFillAlpha(&all, 0xFFFFFF, 255);
  EXPECT_TRUE(testsupport::sameImage("fill-all", c.picture, Picture(7, 5, 0xFFFFFF)));
  c.kit.paintFillGradient(&all, 0, 0, 0xFFFFFF, 0xFFFFFF);
  EXPECT_EQ(c.picture.at(0, 0), 0x7F7F7Fu); // the middle of the plane is about half way
}

TEST(PaintFillAlpha, BlendsEveryPixelWithTheSurfaceArithmetic) {
  Canvas c(4, 3, 0x804020);
  const CPKRectangle r{1, 0, 2, 2};
  c.kit.paintFillAlpha(&r, 0x00FFFF, 64);
  Picture expected(4, 3, 0x804020);
  const std::uint32_t mixed = (((0x00 * 64 + 0x80 * 191) >> 8) << 16) | (((0xFF * 64 + 0x40 * 191) >> 8) << 8) |
                              ((0xFF * 64 + 0x20 * 191) >> 8);
  for (int y = 0; y < 3; ++y)
    for (int x = 1; x <= 2; ++x) expected.set(x, y, mixed);
  EXPECT_TRUE(testsupport::sameImage("fill-alpha", c.picture, expected));
}

TEST(PaintFillGradient, CornersAndSteps) {
  Canvas c(4, 4);
  const CPKRectangle one{1, 1, 1, 1};
  c.kit.paintFillGradient(&one, 0x123456, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
  EXPECT_EQ(c.picture.at(1, 1), 0x123456u);

  const CPKRectangle twoRows{0, 2, 0, 3};
  c.kit.paintFillGradient(&twoRows, 0x000000, 0x000000, 0x0000FF, 0x0000FF);
  EXPECT_EQ(c.picture.at(0, 2), 0x000000u);
  EXPECT_EQ(c.picture.at(0, 3), 0x00007Fu); // 255 * 1 / 2

  Canvas h(256, 1);
  const CPKRectangle row{0, 0, 255, 0};
  h.kit.paintFillGradient(&row, 0, 0xFFFFFF, 0, 0xFFFFFF);
  EXPECT_EQ(h.picture.at(0, 0), 0u);
  EXPECT_EQ(h.picture.at(128, 0), 0x7F7F7Fu);
  EXPECT_EQ(h.picture.at(255, 0), 0xFEFEFEu);
  for (int j = 0; j < 256; ++j) {
    const std::uint32_t v = 255u * j / 256;
    ASSERT_EQ(h.picture.at(j, 0), (v << 16) | (v << 8) | v) << j;
  }
}

TEST(PaintFillGradient, FourCornersMatchTheDefinitionAlsoWhenClipped) {
  const std::uint32_t tl = 0xFF0000, tr = 0x00FF00, bl = 0x0000FF, br = 0xFFFFFF;
  // The rectangle sticks out of the surface on every side; the visible part must equal
  // the same pixels of the whole gradient.
  Canvas c(30, 20, 0x222222);
  const CPKRectangle rect{-7, -5, 36, 28};
  c.kit.paintFillGradient(&rect, tl | 0xAB000000u, tr, bl, br); // bits 24-31 ignored
  Picture expected(30, 20);
  const int H = 28 + 5 + 1, W = 36 + 7 + 1;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) expected.set(x, y, gradientAt(y + 5, x + 7, H, W, tl, tr, bl, br));
  EXPECT_TRUE(testsupport::sameImage("gradient-clipped", c.picture, expected));
}

TEST(PaintFillGradient, YCbCrPairsTakeTheChromaOfTheSecondPixel) {
  std::vector<std::uint8_t> y(8 * 2), cb(8), cr(8);
  CPKPlanes planes{y.data(), cb.data(), cr.data()};
  CPixkit kit;
  ASSERT_TRUE(
      kit.Init(8, 2, 8, reinterpret_cast<char*>(&planes), PKLIB_DEST_YUV422, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0));
  const CPKRectangle rect{0, 0, 7, 1};
  kit.paintFillGradient(&rect, 0xFF0000, 0x0000FF, 0x00FF00, 0x00FF00);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 8; ++x) {
      const std::uint32_t v = rgbToYCbCr(gradientAt(row, x, 2, 8, 0xFF0000, 0x0000FF, 0x00FF00, 0x00FF00));
      ASSERT_EQ(y[row * 8 + x], v & 0xFF);
      if (x % 2 == 1) {
        ASSERT_EQ(cb[(row * 8 + x) / 2], (v >> 8) & 0xFF);
        ASSERT_EQ(cr[(row * 8 + x) / 2], (v >> 16) & 0xFF);
      }
    }
  }
}

TEST(PaintFill, SixteenBitSurfaceThroughTheFacade) {
  std::vector<std::uint8_t> bytes(4 * 4 * 2);
  CPixkitLib lib;
  ASSERT_TRUE(lib.Init(4, 4, 4, reinterpret_cast<char*>(bytes.data()), PKLIB_DEST_RGB16, 0xF800, 0x07E0, 0x001F, 0, 0));
  const CPKRectangle rect{1, 1, 2, 1};
  lib.paintFill(&rect, 0xFF00FF);
  lib.paintFillAlpha(&rect, 0x000000, 255);
  const CPKRectangle dot{3, 3, 3, 3};
  lib.paintFill(&dot, 0xFF00FF);
  EXPECT_EQ(bytes[(1 * 4 + 1) * 2] | (bytes[(1 * 4 + 1) * 2 + 1] << 8), 0);
  EXPECT_EQ(bytes[(3 * 4 + 3) * 2] | (bytes[(3 * 4 + 3) * 2 + 1] << 8), 0xF81F);
  EXPECT_EQ(bytes[0], 0);
}

} // namespace
