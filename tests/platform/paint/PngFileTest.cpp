// The PNG writer: every row layout it takes reads back as the same upright RGB picture, the
// file is compressed, and what cannot be encoded or written is reported.
#include "platform/paint/PngFile.h"
#include "platform/paint/SoftwareCanvas.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

constexpr int kWidth = 5;
constexpr int kHeight = 3;

// A different colour for every pixel and channel, so that a flip or a channel swap shows.
std::uint8_t channel(int x, int y, int c) { return static_cast<std::uint8_t>(16 * x + 64 * y + 5 * c + 1); }

// Decodes a PNG file image to packed, top-down RGB; empty when libpng refuses it.
std::vector<std::uint8_t> decodeRgb(const std::vector<std::uint8_t>& file, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return rgb;
}

TEST(PngFile, EveryRowLayoutReadsBackAsTheSameUprightPicture) {
  std::vector<std::uint8_t> expected;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) expected.push_back(channel(x, y, c));

  // Top-down RGB with padded rows; bottom-up BGR, packed; the canvas (top-down BGR).
  const int padded = kWidth * 3 + 4;
  std::vector<std::uint8_t> rgbPadded(padded * kHeight, 0xEE), bgrBottomUp(kWidth * 3 * kHeight);
  paint::SoftwareCanvas canvas(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        rgbPadded[y * padded + x * 3 + c] = channel(x, y, c);
        bgrBottomUp[(kHeight - 1 - y) * kWidth * 3 + x * 3 + 2 - c] = channel(x, y, c);
        canvas.pixels()[y * canvas.stride() + x * 3 + 2 - c] = channel(x, y, c);
      }
  const paint::PixelRows layouts[] = {
      {kWidth, kHeight, rgbPadded.data(), padded, paint::ChannelOrder::Rgb},
      {kWidth, kHeight, bgrBottomUp.data() + (kHeight - 1) * kWidth * 3, -kWidth * 3, paint::ChannelOrder::Bgr},
      {canvas.width(), canvas.height(), canvas.pixels(), canvas.stride(), paint::ChannelOrder::Bgr},
  };
  for (const paint::PixelRows& rows : layouts) {
    int width = 0, height = 0;
    EXPECT_EQ(decodeRgb(paint::encodePng(rows), width, height), expected) << "stride " << rows.stride;
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
  }

  // The file written from the canvas is the same picture.
  const auto path = std::filesystem::temp_directory_path() / "camview-png-test.png";
  ASSERT_TRUE(paint::writePng(path.string(), canvas));
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> written(1 << 16);
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::fclose(file);
  std::filesystem::remove(path);
  int width = 0, height = 0;
  EXPECT_EQ(decodeRgb(written, width, height), expected);
}

TEST(PngFile, ASnapshotIsCompressed) {
  paint::SoftwareCanvas canvas(720, 576);
  canvas.fillSolid({0, 0, 720, 576}, 0x203040);
  canvas.fillSolid({100, 50, 400, 300}, 0xFFFFFF);
  const std::vector<std::uint8_t> png =
      paint::encodePng({canvas.width(), canvas.height(), canvas.pixels(), canvas.stride(), paint::ChannelOrder::Bgr});
  ASSERT_FALSE(png.empty());
  EXPECT_LT(png.size(), 720u * 576u * 3u / 50u); // stored rows would take 1.2 MB
}

TEST(PngFile, ReportsWhatCannotBeEncodedOrWritten) {
  const std::uint8_t pixels[12] = {};
  EXPECT_TRUE(paint::encodePng({0, 1, pixels, 3}).empty());
  EXPECT_TRUE(paint::encodePng({2, 2, pixels, 3}).empty()); // rows overlap
  EXPECT_TRUE(paint::encodePng({2, 2, nullptr, 6}).empty());
  EXPECT_FALSE(paint::encodePng({2, 2, pixels, 6}).empty());
  // Wider than libpng writes: its error comes back as a failure, not a crash.
  const std::vector<std::uint8_t> wide(3 * 1100000);
  EXPECT_TRUE(paint::encodePng({1100000, 1, wide.data(), 3 * 1100000}).empty());
  EXPECT_FALSE(paint::writePng("/nonexistent-folder/picture.png", {2, 2, pixels, 6}));
}

} // namespace
