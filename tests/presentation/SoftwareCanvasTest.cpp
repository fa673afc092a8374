// The painting seam's software device context: the blits and fills the paint path makes,
// with GDI's meaning of bottom-up bitmaps, negative extents and exclusive rectangles.
#include "platform/paint/SoftwareCanvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A bottom-up 24-bit bitmap whose pixel (x, row-from-top y) has the colour word
// 0x00YYXX01 (so every pixel is distinct and the position can be read back).
struct TestDib {
  int width;
  int height;
  std::vector<std::uint8_t> bits;
  TestDib(int w, int h) : width(w), height(h), bits(std::size_t(paint::dibStride(w)) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = &bits[std::size_t(h - 1 - y) * paint::dibStride(w) + x * 3];
        p[0] = 1; // blue
        p[1] = x; // green
        p[2] = y; // red
      }
  }
  static std::uint32_t colour(int x, int y) { return (std::uint32_t(y) << 16) | (std::uint32_t(x) << 8) | 1; }
  paint::Dib24 dib() const { return {bits.data(), width, height}; }
};

TEST(SoftwareCanvas, OneToOneBlitShowsABottomUpBitmapTheRightWayUp) {
  TestDib source(5, 3); // stride 16: rows padded
  paint::SoftwareCanvas canvas(8, 6);
  canvas.stretchDib(2, 1, 5, 3, 0, 0, 5, 3, source.dib());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(canvas.pixel(2 + x, 1 + y), TestDib::colour(x, y)) << x << "," << y;
  EXPECT_EQ(canvas.pixel(1, 1), 0u);
  EXPECT_EQ(canvas.pixel(7, 1), 0u);
  EXPECT_EQ(canvas.pixel(2, 4), 0u);
}

TEST(SoftwareCanvas, StretchSamplesTheNearestNeighbourAndClipsAtTheEdges) {
  TestDib source(4, 4);
  paint::SoftwareCanvas canvas(6, 6);
  // Twice the size from (-1, -1): the canvas shows the picture's pixels doubled, shifted.
  canvas.stretchDib(-1, -1, 8, 8, 0, 0, 4, 4, source.dib());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(canvas.pixel(x, y), TestDib::colour((x + 1) / 2, (y + 1) / 2));

  // Two rows taller than the target, as the frame blit does: row k shows source row k*H/(H+2).
  paint::SoftwareCanvas tall(4, 6);
  tall.stretchDib(0, 0, 4, 6, 0, 0, 4, 4, source.dib());
  const int expectedRow[6] = {0, 0, 1, 2, 2, 3};
  for (int y = 0; y < 6; ++y) EXPECT_EQ(tall.pixel(0, y), TestDib::colour(0, expectedRow[y])) << y;
}

TEST(SoftwareCanvas, NegativeHeightPutsTheFirstMemoryRowAtTheTop) {
  // The status screen's call: StretchDIBits(dc, 0, h - 1, w, -h, 0, 0, w, h, ...).
  TestDib source(4, 3);
  paint::SoftwareCanvas canvas(4, 5);
  canvas.stretchDib(0, 3 - 1, 4, -3, 0, 0, 4, 3, source.dib());
  // Memory row 0 is the picture's bottom row (y = 2); it lands on canvas row 0.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.pixel(x, y), TestDib::colour(x, 2 - y));
  EXPECT_EQ(canvas.pixel(0, 3), 0u);
}

TEST(SoftwareCanvas, SourceRectangleCountsFromTheBottomLeftOfABottomUpBitmap) {
  TestDib source(4, 4);
  paint::SoftwareCanvas canvas(2, 2);
  canvas.stretchDib(0, 0, 2, 2, 1, 1, 2, 2, source.dib());
  // Source rows 1..2 from the bottom are picture rows 1..2 from the top (height 4).
  EXPECT_EQ(canvas.pixel(0, 0), TestDib::colour(1, 1));
  EXPECT_EQ(canvas.pixel(1, 1), TestDib::colour(2, 2));
}

TEST(SoftwareCanvas, FillUsesAColorRefAndExcludesRightAndBottom) {
  paint::SoftwareCanvas canvas(5, 4);
  canvas.fillSolid({1, 1, 3, 4}, 0xDC5050); // red 0x50, green 0x50, blue 0xDC
  EXPECT_EQ(canvas.pixel(1, 1), 0x5050DCu);
  EXPECT_EQ(canvas.pixel(2, 3), 0x5050DCu);
  EXPECT_EQ(canvas.pixel(3, 1), 0u);
  EXPECT_EQ(canvas.pixel(0, 1), 0u);
  EXPECT_EQ(canvas.pixel(1, 0), 0u);
  canvas.fillSolid({-10, -10, 100, 100}, 0x0000FF); // clipped, pure red
  EXPECT_EQ(canvas.pixel(4, 3), 0xFF0000u);
}

TEST(SoftwareCanvas, StretchModeReturnsThePreviousOne) {
  paint::SoftwareCanvas canvas(1, 1);
  EXPECT_EQ(canvas.setStretchMode(paint::kStretchColorOnColor), paint::kStretchBlackOnWhite);
  EXPECT_EQ(canvas.setStretchMode(paint::kStretchBlackOnWhite), paint::kStretchColorOnColor);
  EXPECT_EQ(canvas.setStretchMode(99), 0);
}

} // namespace
