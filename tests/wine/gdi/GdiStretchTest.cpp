// The software canvas against the GDI it stands in for: the same paint calls made on a
// SoftwareCanvas and, through GdiCanvas, on a memory device context must leave the same
// pixels. StretchDIBits with COLORONCOLOR for the blits the viewer makes (a frame over its
// window plus two rows, the mirrored status box, both at an offset when printing) and a
// table of sizes around them: growing and shrinking, bottom-up and top-down bitmaps,
// mirrored extents, source sub-rectangles, destinations clipped at every edge.
#include "platform/paint/SoftwareCanvas.h"
#include "platform/paint/win32/GdiCanvas.h"
#include "tests/wine/support/WindowReadBack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBackground = 0xFFFFFF; // a colour no source pixel has here

// A 24-bit bitmap whose every pixel has a colour of its own: column and picture row (from
// the top) in 12 bits each, so a differing pixel tells which source pixel each side chose.
struct CoordinateBitmap {
  int width;
  int height; // negative: rows top-down
  std::vector<std::uint8_t> bits;

  CoordinateBitmap(int w, int h) : width(w), height(h) {
    const int rows = h < 0 ? -h : h;
    bits.resize(std::size_t(paint::dibStride(w)) * rows);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < w; ++x) {
        const int memoryRow = h < 0 ? y : rows - 1 - y;
        std::uint8_t* p = &bits[std::size_t(memoryRow) * paint::dibStride(w) + x * 3];
        p[0] = std::uint8_t(x);
        p[1] = std::uint8_t(((x >> 8) & 0xF) | ((y & 0xF) << 4));
        p[2] = std::uint8_t(y >> 4);
      }
  }
  paint::Dib24 dib() const { return {bits.data(), width, height}; }
};

std::string sourceOf(std::uint32_t colour) {
  if (colour == kBackground) return "nothing";
  const int x = int(colour & 0xFF) | int((colour >> 8) & 0xF) << 8;
  const int y = int((colour >> 12) & 0xF) | int((colour >> 16) & 0xFF) << 4;
  return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

struct Blit {
  int canvasWidth, canvasHeight; // the device
  int bitmapWidth, bitmapHeight; // negative height: top-down
  int xDest, yDest, wDest, hDest;
  int xSrc, ySrc, wSrc, hSrc;
};

std::string describe(const Blit& b) {
  std::ostringstream text;
  text << "device " << b.canvasWidth << "x" << b.canvasHeight << ", bitmap " << b.bitmapWidth << "x" << b.bitmapHeight
       << ", StretchDIBits(" << b.xDest << ", " << b.yDest << ", " << b.wDest << ", " << b.hDest << ", " << b.xSrc
       << ", " << b.ySrc << ", " << b.wSrc << ", " << b.hSrc << ")";
  return text.str();
}

// The blit made on both sides; the first pixel where they differ, and what each shows there.
::testing::AssertionResult sameAsGdi(const Blit& b) {
  const CoordinateBitmap bitmap(b.bitmapWidth, b.bitmapHeight);
  paint::SoftwareCanvas software(b.canvasWidth, b.canvasHeight);
  const auto paintOn = [&](paint::Canvas& canvas) {
    canvas.fillSolid({0, 0, b.canvasWidth, b.canvasHeight}, kBackground);
    canvas.setStretchMode(paint::kStretchColorOnColor);
    canvas.stretchDib(b.xDest, b.yDest, b.wDest, b.hDest, b.xSrc, b.ySrc, b.wSrc, b.hSrc, bitmap.dib());
  };
  paintOn(software);
  const paint::SoftwareCanvas gdi = winetest::captureDrawing(b.canvasWidth, b.canvasHeight, [&](HDC dc) {
    paint::GdiCanvas canvas(dc);
    paintOn(canvas);
  });
  for (int y = 0; y < b.canvasHeight; ++y)
    for (int x = 0; x < b.canvasWidth; ++x)
      if (software.pixel(x, y) != gdi.pixel(x, y))
        return ::testing::AssertionFailure()
               << describe(b) << ": at (" << x << ", " << y << ") GDI shows " << sourceOf(gdi.pixel(x, y))
               << ", the canvas " << sourceOf(software.pixel(x, y));
  return ::testing::AssertionSuccess();
}

TEST(GdiStretch, TheViewersBlitsPaintWhatGdiPaints) {
  // Frames over a window plus two rows (the two below are clipped), growing and shrinking,
  // at the origin and at an offset as when printing into a page's device context.
  const int frames[][4] = {{720, 576, 720, 576},  {640, 480, 640, 480}, {352, 288, 720, 576}, {720, 576, 360, 288},
                           {768, 576, 1000, 700}, {176, 144, 100, 50},  {333, 251, 517, 389}, {720, 486, 719, 13}};
  for (const auto& f : frames) {
    EXPECT_TRUE(sameAsGdi({f[2], f[3], f[0], f[1], 0, 0, f[2], f[3] + 2, 0, 0, f[0], f[1]}));
    EXPECT_TRUE(sameAsGdi({f[2] + 30, f[3] + 20, f[0], f[1], 13, 7, f[2], f[3] + 2, 0, 0, f[0], f[1]}));
  }
  // The status box, 1:1 and mirrored: its memory row 0 lands at the top.
  for (const auto& box : {std::pair{160, 50}, std::pair{720, 576}, std::pair{4, 1}}) {
    EXPECT_TRUE(sameAsGdi({box.first, box.second, box.first, box.second, 0, box.second - 1, box.first, -box.second, 0,
                           0, box.first, box.second}));
    EXPECT_TRUE(sameAsGdi({box.first + 9, box.second + 9, box.first, box.second, 5, 3 + box.second - 1, box.first,
                           -box.second, 0, 0, box.first, box.second}));
  }
}

TEST(GdiStretch, EverySizeUpToThirtyInEveryOrientationPaintsWhatGdiPaints) {
  // Both axes at once: columns stretch source -> dest while rows stretch dest -> source.
  for (int source = 1; source <= 30; ++source)
    for (int dest = 1; dest <= 30; ++dest) {
      const int variant = (source * 31 + dest) % 4; // bitmap row order and mirroring, by turns
      const bool topDown = variant & 1;
      const bool mirrored = variant & 2;
      const int w = mirrored ? -dest : dest;
      const int h = mirrored ? -source : source;
      ASSERT_TRUE(sameAsGdi(
          {32, 32, source, topDown ? -dest : dest, mirrored ? 31 : 0, mirrored ? 31 : 0, w, h, 0, 0, source, dest}));
    }
}

TEST(GdiStretch, SubRectanglesAndClippedDestinationsPaintWhatGdiPaints) {
  // Source rectangles inside bitmaps of both row orders, destinations reaching over every
  // edge of the device, mirrored or not: a fixed pseudo-random table, the same every run.
  std::uint32_t state = 12345;
  const auto next = [&](int low, int high) {
    state = state * 1103515245u + 12345u;
    return low + int((state >> 8) % std::uint32_t(high - low + 1));
  };
  for (int i = 0; i < 400; ++i) {
    const int bitmapWidth = next(1, 40), rows = next(1, 40);
    const int xSrc = next(0, bitmapWidth - 1), ySrc = next(0, rows - 1);
    const int wSrc = next(1, bitmapWidth - xSrc), hSrc = next(1, rows - ySrc);
    const int wDest = next(1, 60) * (next(0, 3) == 0 ? -1 : 1), hDest = next(1, 60) * (next(0, 3) == 0 ? -1 : 1);
    ASSERT_TRUE(sameAsGdi({next(1, 48), next(1, 48), bitmapWidth, next(0, 1) ? -rows : rows, next(-30, 50),
                           next(-30, 50), wDest, hDest, xSrc, ySrc, wSrc, hSrc}));
  }
}

} // namespace
