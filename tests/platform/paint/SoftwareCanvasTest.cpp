// The painting seam's software device context: the blits and fills the paint path makes,
// with GDI's meaning of bottom-up bitmaps, negative extents and exclusive rectangles, and
// GDI's choice of source pixels when it stretches. (Under Wine, wine_gdi_stretch_test
// compares the canvas with GDI itself, pixel for pixel.)
#include "platform/paint/SoftwareCanvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A 24-bit bitmap whose pixel (x, picture row y from the top) has the colour word
// 0x00YYXX01 (so every pixel is distinct and the position can be read back). Bottom-up
// unless `topDown`.
struct TestDib {
  int width;
  int height;
  bool topDown;
  std::vector<std::uint8_t> bits;
  TestDib(int w, int h, bool topDownRows = false)
      : width(w), height(h), topDown(topDownRows), bits(std::size_t(paint::dibStride(w)) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int memoryRow = topDown ? y : h - 1 - y;
        std::uint8_t* p = &bits[std::size_t(memoryRow) * paint::dibStride(w) + x * 3];
        p[0] = 1;               // blue
        p[1] = std::uint8_t(x); // green
        p[2] = std::uint8_t(y); // red (rows over 255 wrap)
      }
  }
  static std::uint32_t colour(int x, int y) { return (std::uint32_t(y) << 16) | (std::uint32_t(x) << 8) | 1; }
  static int columnOf(std::uint32_t colour) { return (colour >> 8) & 0xFF; }
  static int rowOf(std::uint32_t colour) { return (colour >> 16) & 0xFF; }
  paint::Dib24 dib() const { return {bits.data(), width, topDown ? -height : height}; }
};

// GDI's choice, worked out from where the pixels land rather than by the canvas's closed
// formulas: growing, destination pixel k shows the source pixel j whose span holds its centre,
// j x dest < (k + 1/2) x source <= (j + 1) x dest; shrinking, source pixel j lands on the
// destination pixel k with k x source < (j + 1/2) x dest <= (k + 1) x source, and of those
// that land on one pixel a row keeps the first and a column the last.
std::vector<int> expectedChoice(int source, int dest, bool row) {
  std::vector<int> choice(dest, -1);
  if (source <= dest) {
    for (int k = 0; k < dest; ++k) {
      int j = 0;
      while (2LL * (j + 1) * dest < (2LL * k + 1) * source) ++j;
      choice[k] = j;
    }
    return choice;
  }
  for (int j = 0; j < source; ++j) {
    int k = 0;
    while (2LL * (k + 1) * source < (2LL * j + 1) * dest) ++k;
    if (!row || choice[k] < 0) choice[k] = j;
  }
  return choice;
}

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

TEST(SoftwareCanvas, StretchPicksTheSourcePixelsGdiPicks) {
  // Measured under Wine: 4 -> 6 shows 0 0 1 2 2 3 either way; 7 -> 4 shows rows 0 2 4 5 and
  // columns 1 3 4 6; the viewer's 480 rows over 482 repeat rows 120 and 361.
  paint::SoftwareCanvas grown(6, 6);
  grown.stretchDib(0, 0, 6, 6, 0, 0, 4, 4, TestDib(4, 4).dib());
  paint::SoftwareCanvas shrunk(4, 4);
  shrunk.stretchDib(0, 0, 4, 4, 0, 0, 7, 7, TestDib(7, 7).dib());
  const int grownChoice[6] = {0, 0, 1, 2, 2, 3};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(grown.pixel(k, k), TestDib::colour(grownChoice[k], grownChoice[k])) << k;
  const int shrunkRows[4] = {0, 2, 4, 5};
  const int shrunkColumns[4] = {1, 3, 4, 6};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(shrunk.pixel(k, k), TestDib::colour(shrunkColumns[k], shrunkRows[k])) << k;

  // Every pair of sizes up to 40 in both directions, rows and columns, against the rule.
  for (int source = 1; source <= 40; ++source)
    for (int dest = 1; dest <= 40; ++dest) {
      TestDib dib(source, source);
      paint::SoftwareCanvas canvas(dest, dest);
      canvas.stretchDib(0, 0, dest, dest, 0, 0, source, source, dib.dib());
      const std::vector<int> rows = expectedChoice(source, dest, true);
      const std::vector<int> columns = expectedChoice(source, dest, false);
      for (int k = 0; k < dest; ++k) {
        ASSERT_EQ(TestDib::rowOf(canvas.pixel(0, k)), rows[k]) << source << " -> " << dest << " row " << k;
        ASSERT_EQ(TestDib::columnOf(canvas.pixel(k, 0)), columns[k]) << source << " -> " << dest << " column " << k;
      }
    }
}

TEST(SoftwareCanvas, TheFrameBlitRepeatsTheRowsGdiRepeatsAndClipsTheTwoBelow) {
  // As the viewer paints a frame: two rows taller than the window, from (-1, -1) here so
  // that the clipping at both ends shows too. Clipping does not move the choice.
  TestDib frame(6, 480);
  paint::SoftwareCanvas window(5, 480);
  window.stretchDib(-1, -1, 6, 482, 0, 0, 6, 480, frame.dib());
  const std::vector<int> rows = expectedChoice(480, 482, true);
  int repeated = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t shown = window.pixel(x, y);
      ASSERT_EQ(TestDib::columnOf(shown), x + 1) << x << "," << y;
      ASSERT_EQ(TestDib::rowOf(shown), rows[y + 1] & 0xFF) << x << "," << y; // rows over 255 wrap in red
    }
    repeated += y > 0 && window.pixel(0, y) == window.pixel(0, y - 1);
  }
  EXPECT_EQ(rows[120], rows[119]); // the rows GDI repeats, as measured under Wine
  EXPECT_EQ(rows[361], rows[360]);
  EXPECT_EQ(repeated, 2);
}

TEST(SoftwareCanvas, NegativeExtentsMirrorThePictureAndTheChoice) {
  // The status screen's call: StretchDIBits(dc, 0, h - 1, w, -h, 0, 0, w, h, ...).
  TestDib source(4, 3);
  paint::SoftwareCanvas canvas(4, 5);
  canvas.stretchDib(0, 3 - 1, 4, -3, 0, 0, 4, 3, source.dib());
  // Memory row 0 is the picture's bottom row (y = 2); it lands on canvas row 0.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.pixel(x, y), TestDib::colour(x, 2 - y));
  EXPECT_EQ(canvas.pixel(0, 3), 0u);

  // Stretched and mirrored both ways: destination pixel k counts from (xDest, yDest) towards
  // the left and up, and shows what k shows unmirrored.
  TestDib picture(7, 4);
  paint::SoftwareCanvas mirrored(6, 6);
  mirrored.stretchDib(5, 5, -6, -6, 0, 0, 7, 4, picture.dib());
  const std::vector<int> columns = expectedChoice(7, 6, false);
  const std::vector<int> rows = expectedChoice(4, 6, true);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(mirrored.pixel(5 - k, 5 - k), TestDib::colour(columns[k], rows[k])) << k;
}

TEST(SoftwareCanvas, SourceRectangleCountsFromTheBottomRowForBothRowOrders) {
  // Rows 1..2 counted from the bottom of a 5-row bitmap are picture rows 2..3 from the top;
  // GDI counts ySrc from the bottom of a top-down bitmap as well.
  for (bool topDown : {false, true}) {
    TestDib source(4, 5, topDown);
    paint::SoftwareCanvas canvas(2, 2);
    canvas.stretchDib(0, 0, 2, 2, 1, 1, 2, 2, source.dib());
    EXPECT_EQ(canvas.pixel(0, 0), TestDib::colour(1, 2)) << topDown;
    EXPECT_EQ(canvas.pixel(1, 1), TestDib::colour(2, 3)) << topDown;
  }
  // A source reaching outside the bitmap copies only the pixels inside it.
  TestDib source(3, 3);
  paint::SoftwareCanvas canvas(3, 3);
  canvas.stretchDib(0, 0, 3, 3, 1, 0, 3, 3, source.dib());
  EXPECT_EQ(canvas.pixel(1, 0), TestDib::colour(2, 0));
  EXPECT_EQ(canvas.pixel(2, 0), 0u);
}

TEST(SoftwareCanvas, HugeExtentsAreClippedToTheCanvasWithoutOverflow) {
  TestDib source(3, 3);
  paint::SoftwareCanvas canvas(4, 4);
  canvas.stretchDib(-2000000000, 0, 2000000004, -2147483647 - 1, 0, 0, 3, 3, source.dib());
  // The last destination column lands on canvas column 3, the first row on row 0.
  EXPECT_EQ(canvas.pixel(3, 0), TestDib::colour(2, 0));
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
