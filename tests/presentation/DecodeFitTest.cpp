// Decoding at the window's size: the level chosen for a window, the picture a small window
// gets (as good as the full decode scaled down), the switch back to the exact output when
// the window grows, and the option's way in through the facade.
#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "presentation/EmbeddedViewer.h"
#include "presentation/FrameLayout.h"
#include "recorder/server/PayloadEncoder.h"
#include "recorder/sources/TestPattern.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using presentation::DecodeMode;
using testsupport::ViewerHarness;

// The recorder's live test pattern, encoded as the recorder sends it.
const std::vector<std::uint8_t>& testPatternPicture() {
  static const std::vector<std::uint8_t> payload = [] {
    recorder::RgbFrame frame;
    frame.resize(720, 576);
    recorder::PictureContext context;
    context.connectionId = 2;
    context.elapsedMs = 1234;
    context.cameraName = "Camera 2";
    recorder::TestPattern().render(context, frame);
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!recorder::makeWaveletEncoder()->encode(frame, recorder::EncodeSettings{}, bytes, error)) bytes.clear();
    return bytes;
  }();
  return payload;
}

// The frame on screen: width x height pixels, rows bottom-up, packed.
std::vector<std::uint8_t> shownFrame(ViewerHarness& h) {
  const CFramePipeline& pipeline = h.viewer().framePipeline();
  const int index = h.viewer().showIndex();
  if (!pipeline.frameReady(index)) return {};
  const int width = pipeline.frameWidth(index), height = pipeline.frameHeight(index);
  std::vector<std::uint8_t> pixels(std::size_t(width) * height * 3);
  for (int row = 0; row < height; ++row)
    std::memcpy(&pixels[std::size_t(row) * width * 3],
                pipeline.frame(index) + std::size_t(row) * presentation::frameStride(width), std::size_t(width) * 3);
  return pixels;
}

// Parks the picture again (newer each time) and returns the frame it is shown in.
std::vector<std::uint8_t> show(ViewerHarness& h, int width, int height, int level = 0) {
  static std::uint32_t tick = 1000;
  h.setWindowSize(width, height);
  h.park(testPatternPicture(), ++tick, 7, true, level);
  if (!h.waitForFrames(1, 30000)) return {};
  return shownFrame(h);
}

// The exact output for the current picture at this size, packed like shownFrame.
std::vector<std::uint8_t> exactFrame(ViewerHarness& h, int width, int height) {
  testsupport::ReferenceFrame reference;
  if (!testsupport::referenceFrame(h.viewer().currentPicture(), h.viewer().languageTable(), width, height, reference))
    return {};
  std::vector<std::uint8_t> pixels(std::size_t(width) * height * 3);
  for (int row = 0; row < height; ++row)
    std::memcpy(&pixels[std::size_t(row) * width * 3],
                &reference.bits[std::size_t(row) * presentation::frameStride(width)], std::size_t(width) * 3);
  return pixels;
}

TEST(DecodeFit, ChoosesTheLowestResolutionThatCoversTheWindow) {
  struct Case {
    DecodeMode mode;
    int recorderLevel, pictureHeight, width, height, level;
  };
  const Case cases[] = {
      {DecodeMode::Fit, 0, 576, 720, 576, 0},  {DecodeMode::Fit, 0, 576, 361, 288, 0},
      {DecodeMode::Fit, 0, 576, 360, 289, 0},  {DecodeMode::Fit, 0, 576, 360, 288, 1},
      {DecodeMode::Fit, 0, 576, 180, 144, 2},  {DecodeMode::Fit, 0, 576, 181, 144, 1},
      {DecodeMode::Fit, 0, 576, 90, 72, 3},    {DecodeMode::Fit, 0, 576, 40, 30, 3},
      {DecodeMode::Fit, 0, 486, 180, 121, 2},  {DecodeMode::Fit, 0, 486, 180, 122, 1},
      {DecodeMode::Fit, 2, 576, 720, 576, 2},  {DecodeMode::Fit, 4, 576, 20, 20, 4},
      {DecodeMode::Full, 0, 576, 180, 144, 0}, {DecodeMode::Full, 1, 576, 90, 72, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(presentation::decodeLevel(c.mode, c.recorderLevel, 720, c.pictureHeight, c.width, c.height), c.level)
        << c.width << " x " << c.height << " of " << c.pictureHeight << " lines, recorder level " << c.recorderLevel;
}

// Peak signal to noise ratio of `frame` against `reference` (both packed, 3 bytes a pixel)
// over the pixels `mask` leaves (0).
double psnr(const std::vector<std::uint8_t>& frame, const std::vector<std::uint8_t>& reference,
            const std::vector<std::uint8_t>& mask) {
  double squares = 0;
  long samples = 0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    if (mask[i / 3]) continue;
    const double d = double(frame[i]) - double(reference[i]);
    squares += d * d;
    ++samples;
  }
  return samples && squares > 0 ? 10.0 * std::log10(255.0 * 255.0 * samples / squares) : 0;
}

TEST(DecodeFit, QuarterSizeStaysWithinOneDecibelOfTheFullDecode) {
  ASSERT_FALSE(testPatternPicture().empty());
  const int width = 180, height = 144;
  ViewerHarness h(CLanguageTable::kEnglish, width, height);
  const std::vector<std::uint8_t> full = show(h, width, height);
  h.viewer().setDecodeMode(DecodeMode::Fit);
  const std::vector<std::uint8_t> fit = show(h, width, height);
  ASSERT_FALSE(full.empty());
  ASSERT_FALSE(fit.empty());
  EXPECT_NE(fit, full); // decoded at a lower level, not merely scaled

  // The reference: the full picture (696 x 576, rows bottom-up) averaged over the box of
  // source pixels each window pixel stands for.
  wavelet::FieldStreams fields;
  ASSERT_TRUE(
      wavelet::splitPicturePayload(testPatternPicture().data(), std::uint32_t(testPatternPicture().size()), fields));
  std::vector<std::uint8_t> decoded(720 * 576 * 3);
  wavelet::CWaveletDecoder decoder(720, 576);
  wavelet::DecodeSettings settings;
  settings.region.colEnd = 696;
  settings.setFields(fields);
  settings.output = decoded.data();
  settings.outputSize = decoded.size();
  const wavelet::DecodeReport report = decoder.Decode(settings);
  ASSERT_TRUE(report.ok());
  std::vector<std::uint8_t> reference(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int x0 = x * report.outWidth / width, x1 = (x + 1) * report.outWidth / width;
      const int y0 = y * report.outHeight / height, y1 = (y + 1) * report.outHeight / height;
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int sy = y0; sy < y1; ++sy)
          for (int sx = x0; sx < x1; ++sx) sum += decoded[(std::size_t(sy) * report.outWidth + sx) * 3 + c];
        reference[(std::size_t(y) * width + x) * 3 + c] =
            std::uint8_t((sum + (x1 - x0) * (y1 - y0) / 2) / ((x1 - x0) * (y1 - y0)));
      }
    }
  // The on-screen display is drawn at the window's size over both: its pixels are left out.
  std::vector<std::uint8_t> marked(std::size_t(presentation::frameStride(width)) * height);
  for (int row = 0; row < height; ++row)
    std::memcpy(&marked[std::size_t(row) * presentation::frameStride(width)], &reference[std::size_t(row) * width * 3],
                std::size_t(width) * 3);
  ASSERT_TRUE(testsupport::drawReferenceOverlay(marked.data(), width, height, h.viewer().currentPicture(),
                                                h.viewer().languageTable()));
  std::vector<std::uint8_t> mask(std::size_t(width) * height, 0);
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x)
      mask[std::size_t(row) * width + x] =
          std::memcmp(&marked[std::size_t(row) * presentation::frameStride(width) + x * 3],
                      &reference[(std::size_t(row) * width + x) * 3], 3) != 0;

  // The display is drawn at the window's size over either picture: where it covers the
  // picture (the same pixels over black and over white), both frames show the same.
  std::vector<std::uint8_t> black(marked.size(), 0), white(marked.size(), 0xFF);
  ASSERT_TRUE(testsupport::drawReferenceOverlay(black.data(), width, height, h.viewer().currentPicture(),
                                                h.viewer().languageTable()));
  ASSERT_TRUE(testsupport::drawReferenceOverlay(white.data(), width, height, h.viewer().currentPicture(),
                                                h.viewer().languageTable()));
  int covered = 0, differing = 0;
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) {
      const std::size_t at = std::size_t(row) * presentation::frameStride(width) + x * 3;
      if (std::memcmp(&black[at], &white[at], 3) != 0) continue;
      ++covered;
      differing +=
          std::memcmp(&fit[(std::size_t(row) * width + x) * 3], &full[(std::size_t(row) * width + x) * 3], 3) != 0;
    }
  EXPECT_GT(covered, 100);
  EXPECT_EQ(differing, 0);

  const double fullPsnr = psnr(full, reference, mask), fitPsnr = psnr(fit, reference, mask);
  std::printf("test pattern at %d x %d against the full picture box-filtered: full %.2f dB, fit %.2f dB\n", width,
              height, fullPsnr, fitPsnr);
  EXPECT_GT(fullPsnr, 10.0);
  EXPECT_GE(fitPsnr, fullPsnr - 1.0);
}

TEST(DecodeFit, WindowSizeSwitchesBetweenReducedAndExactOutput) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.viewer().setDecodeMode(DecodeMode::Fit);
  const std::vector<std::uint8_t> tile = show(h, 180, 144);
  ASSERT_FALSE(tile.empty());
  EXPECT_NE(tile, exactFrame(h, 180, 144));
  struct Window {
    int width, height, level;
    bool exact;
  };
  // A tile enlarged to the whole window, and one just over half the picture's size, decode
  // in full again; half the picture's size is reduced; a picture the recorder sends at level
  // 2 is already as small as the tile and keeps the exact output.
  for (const Window w :
       {Window{720, 576, 0, true}, Window{361, 289, 0, true}, Window{360, 288, 0, false}, Window{180, 144, 2, true}}) {
    SCOPED_TRACE(std::to_string(w.width) + " x " + std::to_string(w.height));
    const std::vector<std::uint8_t> frame = show(h, w.width, w.height, w.level);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame == exactFrame(h, w.width, w.height), w.exact);
  }
  EXPECT_EQ(show(h, 180, 144), tile); // and back to the tile's reduced decode

  // Through the facade: the setting at creation and the change while the viewer runs.
  embed::setDecodeMode(&h.viewer(), DecodeMode::Full);
  EXPECT_EQ(show(h, 180, 144), exactFrame(h, 180, 144));
  embed::ViewerSettings settings;
  settings.decode = DecodeMode::Fit;
  CViewer* created = embed::createViewer(settings);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->decodeMode(), DecodeMode::Fit);
  embed::destroyViewer(created);
}

} // namespace
