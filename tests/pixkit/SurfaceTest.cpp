// Destination surfaces: addressing, flip, clipping, blend arithmetic, channel masks,
// colour table, mapColour, the YCbCr conversions and the three pixel formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "pixkit/PKColourSpace.h"
#include "pixkit/PKSurface16.h"
#include "pixkit/PKSurfaceRGB24.h"
#include "pixkit/PKSurfaceYUV422.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"

using pixkit_test::Picture;

namespace {

constexpr unsigned long kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

struct Rgb24 {
  Picture picture;
  CPKSurfaceRGB24 surface;
  Rgb24(int w, int h, bool flip = false, std::uint32_t fill = 0)
      : picture(w, h, fill), surface(w, h, w, picture.buffer(), flip, 4) {
    EXPECT_TRUE(surface.setChannelMasks(kRed, kGreen, kBlue));
  }
};

TEST(SurfaceRGB24, StoresColourWordsAsBlueGreenRedBytes) {
  Rgb24 s(4, 3);
  s.surface.setPixel(1, 2, 0x123456);
  const std::uint8_t* p = s.picture.row(2) + 3;
  EXPECT_EQ(p[0], 0x56);
  EXPECT_EQ(p[1], 0x34);
  EXPECT_EQ(p[2], 0x12);
  EXPECT_EQ(s.picture.at(0, 2), 0u); // neighbours untouched
  EXPECT_EQ(s.picture.at(2, 2), 0u);
}

TEST(SurfaceRGB24, FlipYAddressesRowsBottomUp) {
  Rgb24 s(3, 4, true);
  s.surface.setPixel(0, 0, 0xABCDEF);
  EXPECT_EQ(s.picture.at(0, 3), 0xABCDEFu); // y = 0 is the last row of the buffer
  s.surface.setFlipY(false);
  s.surface.setPixel(1, 0, 0x010203);
  EXPECT_EQ(s.picture.at(1, 0), 0x010203u);
}

TEST(SurfaceRGB24, StrideFollowsPitchAndRowAlignment) {
  std::vector<char> buffer(2092 * 2);
  CPKSurfaceRGB24 aligned(697, 2, 697, buffer.data(), false, 4);
  EXPECT_EQ(aligned.stride(), 2092);
  CPKSurfaceRGB24 packed(697, 2, 697, buffer.data(), false, 0);
  EXPECT_EQ(packed.stride(), 2091);
  aligned.setDestination(350, 1, 350, buffer.data(), 4);
  EXPECT_EQ(aligned.stride(), 1052);
  // Rows are that far apart.
  ASSERT_TRUE(aligned.setChannelMasks(kRed, kGreen, kBlue));
  aligned.setDestination(697, 2, 697, buffer.data(), 4);
  aligned.setPixel(0, 1, 0xFFFFFF);
  EXPECT_EQ(static_cast<unsigned char>(buffer[2092]), 0xFF);
  EXPECT_EQ(buffer[2091], 0);
}

TEST(SurfaceRGB24, PixelsOutsideTheSurfaceAreDropped) {
  Rgb24 s(4, 4, false, 0x777777);
  const Picture before = s.picture;
  for (int flip = 0; flip < 2; ++flip) {
    s.surface.setFlipY(flip != 0);
    const int outside[][2] = {{-1, 0}, {0, -1}, {4, 0}, {0, 4}, {INT_MIN, 0}, {0, INT_MAX}};
    for (const auto& xy : outside) {
      s.surface.setPixel(xy[0], xy[1], 0xFF0000);
      s.surface.blendPixel(xy[0], xy[1], 0xFF0000, 128);
      s.surface.setPixelIndexed(xy[0], xy[1], 0xF800);
      s.surface.fillSpanIndexed(xy[0], xy[1], 0xF800, 1);
    }
  }
  EXPECT_TRUE(testsupport::sameImage("rgb24-outside", s.picture, before));
}

TEST(SurfaceRGB24, BlendUsesDivisor256AndCopiesAtFullAlpha) {
  Rgb24 s(3, 1, false, 0xFFFFFF);
  s.surface.blendPixel(0, 0, 0x000000, 0);
  EXPECT_EQ(s.picture.at(0, 0), 0xFEFEFEu); // 255 * 255 >> 8 = 254
  s.surface.blendPixel(1, 0, 0x102030, 255);
  EXPECT_EQ(s.picture.at(1, 0), 0x102030u);
  // Half alpha on white with red: red byte (255*128 + 255*127) >> 8 = 254,
  // green/blue (0*128 + 255*127) >> 8 = 126.
  s.surface.blendPixel(2, 0, 0xFF0000, 128);
  EXPECT_EQ(s.picture.at(2, 0), 0xFE7E7Eu);
}

TEST(SurfaceRGB24, BlendClampsAlphaOutsideTheByteRange) {
  Rgb24 s(2, 1, false, 0x808080);
  s.surface.blendPixel(0, 0, 0x102030, 1000);
  EXPECT_EQ(s.picture.at(0, 0), 0x102030u);
  s.surface.blendPixel(1, 0, 0x102030, -5);
  EXPECT_EQ(s.picture.at(1, 0), 0x7F7F7Fu); // alpha 0: 128 * 255 >> 8 = 127
}

TEST(SurfaceRGB24, FillSpanIndexedClipsAtBothEnds) {
  Rgb24 s(4, 2);
  s.surface.fillSpanIndexed(-3, 1, 0xFFFF, 5);
  EXPECT_EQ(s.picture.at(0, 1), 0xF8FCF8u);
  EXPECT_EQ(s.picture.at(1, 1), 0xF8FCF8u);
  EXPECT_EQ(s.picture.at(2, 1), 0u);
  s.surface.fillSpanIndexed(2, 0, 0x001F, 100);
  EXPECT_EQ(s.picture.at(1, 0), 0u);
  EXPECT_EQ(s.picture.at(2, 0), 0x0000F8u);
  EXPECT_EQ(s.picture.at(3, 0), 0x0000F8u);
  s.surface.fillSpanIndexed(0, 0, 0xF800, 0);
  s.surface.fillSpanIndexed(0, 0, 0xF800, -4);
  EXPECT_EQ(s.picture.at(0, 0), 0u);
  s.surface.fillSpanIndexed(INT_MAX - 1, 0, 0xF800, INT_MAX); // no overflow
  EXPECT_EQ(s.picture.at(3, 0), 0x0000F8u);
}

TEST(ChannelMasks, RejectsEmptySplitAndOversizedMasks) {
  Picture p(2, 2);
  CPKSurfaceRGB24 s(2, 2, 2, p.buffer(), false, 0);
  EXPECT_FALSE(s.setChannelMasks(kRed, 0x00F0F0, kBlue));
  EXPECT_FALSE(s.setChannelMasks(0, kGreen, kBlue));
  EXPECT_EQ(s.colourTable(), nullptr); // no table after a rejection
  EXPECT_TRUE(s.setChannelMasks(kRed, kGreen, kBlue));
  EXPECT_EQ(s.red().shift, 16);
  EXPECT_EQ(s.red().width, 8);
  EXPECT_EQ(s.green().shift, 8);
  EXPECT_EQ(s.blue().shift, 0);
  EXPECT_TRUE(s.setChannelMasks(0xFF000000ul, kGreen, kBlue)); // up to bit 31 is fine
  if (sizeof(unsigned long) > 4) {
    EXPECT_FALSE(s.setChannelMasks(static_cast<unsigned long>(0x1FF000000ull), kGreen, kBlue));
  }
}

TEST(ColourTable, Maps565IndicesThroughTheMasks) {
  Rgb24 s(1, 1);
  const std::uint32_t* table = s.surface.colourTable();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table[0xF800], 0xF80000u);
  EXPECT_EQ(table[0x07E0], 0x00FC00u);
  EXPECT_EQ(table[0x001F], 0x0000F8u);
  EXPECT_EQ(table[0xFFFF], 0xF8FCF8u);
  EXPECT_EQ(table[0], 0u);
  // Every index: its three fields land in the top bits of their bytes.
  for (std::uint32_t i = 0; i < 65536; ++i) {
    const std::uint32_t expected = ((i >> 11) << 19) | (((i >> 5) & 63) << 10) | ((i & 31) << 3);
    ASSERT_EQ(table[i], expected) << i;
  }
}

TEST(ColourTable, NarrowAndSwappedMasks) {
  Picture p(1, 1);
  CPKSurfaceRGB24 s(1, 1, 1, p.buffer(), false, 0);
  // Blue and red swapped: red goes to the low byte.
  ASSERT_TRUE(s.setChannelMasks(0x0000FF, 0x00FF00, 0xFF0000));
  EXPECT_EQ(s.colourTable()[0xF800], 0x0000F8u);
  EXPECT_EQ(s.mapColour(0x123456), 0x563412u);
  // 5-6-5 masks: the table is the identity on 16-bit values.
  Picture q(1, 1);
  CPKSurface16 s16(1, 1, 1, q.buffer(), false, 0);
  ASSERT_TRUE(s16.setChannelMasks(0xF800, 0x07E0, 0x001F));
  for (std::uint32_t i = 0; i < 65536; i += 41) ASSERT_EQ(s16.colourTable()[i], i);
}

TEST(MapColour, IdentityForStandardMasksAndScaledForOthers) {
  Rgb24 s(1, 1);
  for (unsigned long c : {0x000000ul, 0x123456ul, 0xFFFFFFul, 0x80FF01ul}) {
    EXPECT_EQ(s.surface.mapColour(c), c);
  }
  Picture q(1, 1);
  CPKSurface16 s16(1, 1, 1, q.buffer(), false, 0);
  ASSERT_TRUE(s16.setChannelMasks(0xF800, 0x07E0, 0x001F));
  EXPECT_EQ(s16.mapColour(0xFFFFFF), 0xFFFFu);
  EXPECT_EQ(s16.mapColour(0xFF0000), 0xF800u);
  EXPECT_EQ(s16.mapColour(0x00FF00), 0x07E0u);
  EXPECT_EQ(s16.mapColour(0x0000FF), 0x001Fu);
  EXPECT_EQ(s16.mapColour(0x084108), 0x0A01u); // 1, 16 >> 2 = 16, 1
}

// ---- YCbCr ----

TEST(ColourSpace, KnownValues) {
  EXPECT_EQ(rgbToYCbCr(0x000000), 0x808000u);
  EXPECT_EQ(rgbToYCbCr(0xFFFFFF), 0x8080FFu);
  // Red: Y = 19595*255 >> 16 = 76; Cb = floor(-11058*255 / 65536) + 128 = -44 + 128 = 84;
  // Cr = (32768*255 >> 16) + 128 = 127 + 128 = 255.
  EXPECT_EQ(rgbToYCbCr(0xFF0000), (255u << 16) | (84u << 8) | 76u);
  EXPECT_EQ(yCbCrToRgb(0x8080FF), 0xFFFFFFu);
  EXPECT_EQ(yCbCrToRgb(0x808000), 0x000000u);
  // Y 0 with Cr 255: red = 91881 * 127 >> 16 = 178, green clamps at 0.
  EXPECT_EQ(yCbCrToRgb(0xFF8000), 178u << 16);
}

TEST(ColourSpace, MatchesTheBt601EquationsWithinTruncation) {
  for (int r = 0; r < 256; r += 15) {
    for (int g = 0; g < 256; g += 17) {
      for (int b = 0; b < 256; b += 51) {
        const std::uint32_t v = rgbToYCbCr((r << 16) | (g << 8) | b);
        const double y = 0.299 * r + 0.587 * g + 0.114 * b;
        const double cb = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b;
        const double cr = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b;
        ASSERT_NEAR(v & 0xFF, std::clamp(y, 0.0, 255.0), 1.0);
        ASSERT_NEAR((v >> 8) & 0xFF, std::clamp(cb, 0.0, 255.0), 1.0);
        ASSERT_NEAR((v >> 16) & 0xFF, std::clamp(cr, 0.0, 255.0), 1.0);
        const std::uint32_t back = yCbCrToRgb(v);
        ASSERT_NEAR(static_cast<int>(back >> 16), r, 3);
        ASSERT_NEAR(static_cast<int>((back >> 8) & 0xFF), g, 3);
        ASSERT_NEAR(static_cast<int>(back & 0xFF), b, 3);
      }
    }
  }
}

struct Yuv {
  std::vector<std::uint8_t> y, cb, cr;
  CPKPlanes planes;
  CPKSurfaceYUV422 surface;
  Yuv(int w, int h, bool flip = false)
      : y(w * h, 0), cb(w * h / 2 + 1, 128), cr(w * h / 2 + 1, 128), planes{y.data(), cb.data(), cr.data()},
        surface(w, h, w, reinterpret_cast<char*>(&planes), flip, 0) {
    EXPECT_TRUE(surface.setChannelMasks(kRed, kGreen, kBlue));
  }
};

TEST(SurfaceYUV422, PairsShareChroma) {
  Yuv s(4, 2);
  s.surface.setPixel(0, 0, 0xFF0000);
  s.surface.setPixel(1, 0, 0x0000FF);
  const std::uint32_t blue = rgbToYCbCr(0x0000FF);
  EXPECT_EQ(s.y[0], rgbToYCbCr(0xFF0000) & 0xFF); // Y at x = 0 kept
  EXPECT_EQ(s.y[1], blue & 0xFF);
  EXPECT_EQ(s.cb[0], (blue >> 8) & 0xFF); // chroma of the pair: the second write
  EXPECT_EQ(s.cr[0], (blue >> 16) & 0xFF);
  EXPECT_EQ(s.cb[1], 128); // next pair untouched
}

TEST(SurfaceYUV422, FlipAndRowAddressing) {
  Yuv s(4, 3, true);
  s.surface.setPixel(2, 0, 0xFFFFFF); // row 2 of the buffer: p = 2 + 2 * 4 = 10
  EXPECT_EQ(s.y[10], 255);
  EXPECT_EQ(s.cb[5], 128);
  s.surface.setPixel(4, 0, 0xFFFFFF); // outside
  s.surface.setPixel(0, 3, 0xFFFFFF);
  int written = 0;
  for (auto v : s.y) written += v != 0;
  EXPECT_EQ(written, 1);
}

TEST(SurfaceYUV422, BlendConvertsThroughRgb) {
  Yuv s(2, 1);
  s.surface.setPixel(0, 0, 0x808080);
  s.surface.blendPixel(0, 0, 0xFF0000, 128);
  const std::uint32_t old = yCbCrToRgb(rgbToYCbCr(0x808080));
  auto mix = [](unsigned src, unsigned dst) { return (src * 128 + dst * 127) >> 8; };
  const std::uint32_t blended = (mix(255, old >> 16) << 16) | (mix(0, (old >> 8) & 0xFF) << 8) | mix(0, old & 0xFF);
  const std::uint32_t expected = rgbToYCbCr(blended);
  EXPECT_EQ(s.y[0], expected & 0xFF);
  EXPECT_EQ(s.cb[0], (expected >> 8) & 0xFF);
  EXPECT_EQ(s.cr[0], (expected >> 16) & 0xFF);
  s.surface.blendPixel(1, 0, 0x00FF00, 255);
  EXPECT_EQ(s.y[1], rgbToYCbCr(0x00FF00) & 0xFF);
}

TEST(SurfaceYUV422, IndexedWritesGoThroughTheColourTable) {
  Yuv s(4, 1);
  s.surface.fillSpanIndexed(-1, 0, 0xFFFF, 3);
  const std::uint32_t v = rgbToYCbCr(0xF8FCF8);
  EXPECT_EQ(s.y[0], v & 0xFF);
  EXPECT_EQ(s.y[1], v & 0xFF);
  EXPECT_EQ(s.y[2], 0);
  s.surface.setPixelIndexed(3, 0, 0xF800);
  EXPECT_EQ(s.y[3], rgbToYCbCr(0xF80000) & 0xFF);
}

TEST(SurfaceYUV422, MissingPlanesDrawNothing) {
  CPKPlanes none;
  CPKSurfaceYUV422 s(4, 4, 4, reinterpret_cast<char*>(&none), false, 0);
  ASSERT_TRUE(s.setChannelMasks(kRed, kGreen, kBlue));
  s.setPixel(0, 0, 0xFFFFFF); // would crash through a null plane
  s.blendPixel(1, 1, 0xFFFFFF, 100);
  s.fillSpanIndexed(0, 0, 1, 4);
  CPKSurfaceYUV422 nullRecord(4, 4, 4, nullptr, false, 0);
  nullRecord.setPixel(0, 0, 0);
  EXPECT_EQ(s.width(), 0);
}

// ---- 16-bit ----

struct Rgb16 {
  std::vector<std::uint8_t> bytes;
  CPKSurface16 surface;
  Rgb16(int w, int h, int align = 4)
      : bytes(((w * 2 + 3) & ~3) * h), surface(w, h, w, reinterpret_cast<char*>(bytes.data()), false, align) {
    EXPECT_TRUE(surface.setChannelMasks(0xF800, 0x07E0, 0x001F));
  }
  unsigned at(int x, int y) const {
    const std::size_t o = static_cast<std::size_t>(y) * surface.stride() + 2 * x;
    return bytes[o] | (bytes[o + 1] << 8);
  }
};

TEST(Surface16, PacksColourWordsThroughTheMasks) {
  Rgb16 s(3, 2);
  EXPECT_EQ(s.surface.stride(), 8);
  s.surface.setPixel(0, 1, 0xFF0000);
  s.surface.setPixel(1, 1, 0xFFFFFF);
  s.surface.setPixelIndexed(2, 1, 0x1234);
  EXPECT_EQ(s.at(0, 1), 0xF800u);
  EXPECT_EQ(s.at(1, 1), 0xFFFFu);
  EXPECT_EQ(s.at(2, 1), 0x1234u);
  EXPECT_EQ(s.at(0, 0), 0u);
  s.surface.fillSpanIndexed(-1, 0, 0x07E0, 3);
  EXPECT_EQ(s.at(0, 0), 0x07E0u);
  EXPECT_EQ(s.at(1, 0), 0x07E0u);
  EXPECT_EQ(s.at(2, 0), 0u);
}

TEST(Surface16, BlendExpandsChannelsToBytes) {
  Rgb16 s(3, 1);
  s.surface.setPixel(0, 0, 0xFFFFFF);
  s.surface.blendPixel(0, 0, 0xFFFFFF, 0); // white stays (nearly) white
  EXPECT_EQ(s.at(0, 0), 0xFFFFu & s.surface.mapColour(0xFEFEFE));
  s.surface.blendPixel(1, 0, 0x00FF00, 255);
  EXPECT_EQ(s.at(1, 0), 0x07E0u);
  // Black background, white at alpha 128: each byte (255 * 128) >> 8 = 127.
  s.surface.blendPixel(2, 0, 0xFFFFFF, 128);
  EXPECT_EQ(s.at(2, 0), s.surface.mapColour(0x7F7F7F));
}

TEST(Surface16, RejectsMasksBeyondSixteenBits) {
  std::vector<char> bytes(8);
  CPKSurface16 s(2, 2, 2, bytes.data(), false, 0);
  EXPECT_FALSE(s.setChannelMasks(0xFF0000, 0x00FF00, 0x0000FF));
  EXPECT_TRUE(s.setChannelMasks(0x7C00, 0x03E0, 0x001F)); // 5-5-5
  EXPECT_EQ(s.mapColour(0xFFFFFF), 0x7FFFu);
}

TEST(Surface, NullBufferOrNegativeSizeIsNotDrawable) {
  CPKSurfaceRGB24 s(10, 10, 10, nullptr, false, 4);
  ASSERT_TRUE(s.setChannelMasks(kRed, kGreen, kBlue));
  s.setPixel(0, 0, 1); // must not write through null
  s.fillSpanIndexed(0, 0, 1, 10);
  EXPECT_EQ(s.width(), 0);
  Picture p(2, 2);
  s.setDestination(-2, 2, 2, p.buffer(), 4);
  s.setPixel(0, 0, 0xFFFFFF);
  EXPECT_EQ(p.at(0, 0), 0u);
}

} // namespace
