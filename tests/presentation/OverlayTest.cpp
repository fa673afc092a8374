// The on-screen display: labels in both languages, the layout, placeholders, header texts
// that lack their NUL, and narrow frames.
#include "presentation/FrameLayout.h"
#include "presentation/Overlay.h"
#include "tests/support/GoldenImage.h"
#include "tests/presentation/ReferencePicture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Draws the overlay of `record` into a grey frame of the given width (guard bytes after it).
std::vector<std::uint8_t> overlayFrame(Overlay& overlay, const PictureRecord& record, int width, int height) {
  const std::size_t bytes = std::size_t(presentation::frameStride(width)) * height;
  std::vector<std::uint8_t> frame(bytes + 64, 0x5A);
  overlay.setDestination(width, height, frame.data());
  overlay.setRecord(&record);
  overlay.drawOverlay(true);
  return frame;
}

paint::SoftwareCanvas asCanvas(const std::uint8_t* bits, int width, int height) {
  paint::SoftwareCanvas canvas(width, height);
  canvas.stretchDib(0, 0, width, height, 0, 0, width, height, {bits, width, height});
  return canvas;
}

TEST(Overlay, LabelsFollowTheLanguage) {
  for (int language : {CLanguageTable::kGerman, CLanguageTable::kEnglish}) {
    CLanguageTable table(language);
    Overlay overlay;
    ASSERT_TRUE(overlay.initOverlay(&table));
    EXPECT_STREQ(table.lookup("picture"), language == CLanguageTable::kGerman ? "Bild" : "Frame");
    EXPECT_STREQ(overlay.stats().header(), ""); // the statistics start empty
    EXPECT_GT(overlay.row(8).x, 410 + 8);
    EXPECT_EQ(overlay.row(0).x, 44);
    EXPECT_EQ(overlay.row(0).y, 1);
    EXPECT_EQ(overlay.row(10).x, 600);
    EXPECT_EQ(overlay.row(10).y, 29);
  }
  CLanguageTable german(CLanguageTable::kGerman), english(CLanguageTable::kEnglish);
  Overlay a, b;
  ASSERT_TRUE(a.initOverlay(&german));
  ASSERT_TRUE(b.initOverlay(&english));
  EXPECT_NE(a.row(8).x, b.row(8).x); // "Bild" and "Frame" differ in width
}

TEST(Overlay, TwoOverlaysInOneProcessPlaceEveryRowAlike) {
  CLanguageTable table(CLanguageTable::kEnglish);
  Overlay first, second;
  ASSERT_TRUE(first.initOverlay(&table));
  ASSERT_TRUE(second.initOverlay(&table));
  for (int i = 0; i < Overlay::kRows; ++i) {
    EXPECT_EQ(first.row(i).x, second.row(i).x);
    EXPECT_EQ(first.row(i).y, second.row(i).y);
  }
}

TEST(Overlay, DrawsLikeTheReferenceAndStaysInsideANarrowFrame) {
  CLanguageTable table(CLanguageTable::kEnglish);
  Overlay overlay;
  ASSERT_TRUE(overlay.initOverlay(&table));
  PictureRecord record;
  testsupport::fillHeader(record, 42);
  for (int width : {720, 320}) {
    const int height = 60;
    std::vector<std::uint8_t> frame = overlayFrame(overlay, record, width, height);
    const std::size_t bytes = std::size_t(presentation::frameStride(width)) * height;
    for (std::size_t i = bytes; i < frame.size(); ++i) ASSERT_EQ(frame[i], 0x5A) << "guard byte " << i - bytes;
    EXPECT_TRUE(std::any_of(frame.begin(), frame.begin() + bytes, [](std::uint8_t v) { return v != 0x5A; }));

    std::vector<std::uint8_t> expected(bytes, 0x5A);
    ASSERT_TRUE(testsupport::drawReferenceOverlay(expected.data(), width, height, record, table));
    EXPECT_TRUE(testsupport::sameImage("overlay-" + std::to_string(width), asCanvas(frame.data(), width, height),
                                       asCanvas(expected.data(), width, height)));
  }
}

TEST(Overlay, HeaderTextsWithoutTheirNulAreCutAtTheFieldEnd) {
  CLanguageTable table(CLanguageTable::kEnglish);
  Overlay overlay;
  ASSERT_TRUE(overlay.initOverlay(&table));
  PictureRecord flooded, cut;
  std::memset(flooded.header, 'W', sizeof flooded.header); // no NUL anywhere
  std::memset(cut.header, 'W', sizeof cut.header);
  const int fields[][2] = {{12, 16}, {28, 16}, {44, 8}, {52, 32}, {84, 72}, {156, 8}, {164, 2}};
  for (const auto& f : fields) cut.header[f[0] + f[1] - 1] = '\0';
  std::vector<std::uint8_t> a = overlayFrame(overlay, flooded, 720, 60);
  std::vector<std::uint8_t> b = overlayFrame(overlay, cut, 720, 60);
  EXPECT_EQ(a, b);
}

TEST(Overlay, PlaceholdersBeforeTheFirstPicture) {
  CLanguageTable english(CLanguageTable::kEnglish);
  PictureRecord record;
  std::memset(record.header, 0x77, sizeof record.header);
  writeOverlayPlaceholders(record, english);
  EXPECT_EQ(record.date(), "--.--.--");
  EXPECT_EQ(record.time(), "--:--:--");
  EXPECT_EQ(record.extraText1(), "");
  EXPECT_EQ(record.camera(), "Camera    -");
  EXPECT_EQ(record.extraText2(), "");
  EXPECT_EQ(record.pictureNumber(), "-");
  EXPECT_EQ(record.extraText3(), "");
  EXPECT_EQ(record.reservedWord(), 0);
  EXPECT_EQ(record.header[196], 0);
  EXPECT_EQ(record.header[190], 0x77); // the rest of the header is left alone
}

TEST(Overlay, StatisticsAreDrawnOnlyAfterTheyWerePublished) {
  CLanguageTable table(CLanguageTable::kEnglish);
  Overlay overlay;
  ASSERT_TRUE(overlay.initOverlay(&table));
  const int width = 720, height = 400;
  std::vector<std::uint8_t> before(std::size_t(presentation::frameStride(width)) * height, 0);
  std::vector<std::uint8_t> after = before;
  overlay.stats().setStatsLabel(0, 400, 100, "FPS: 25.000");
  overlay.setDestination(width, height, before.data());
  overlay.drawStats();
  EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](std::uint8_t v) { return v == 0; }));
  overlay.stats().publish();
  overlay.setDestination(width, height, after.data());
  overlay.drawStats();
  // Green label pixels (bytes 0, 255, 0 at full coverage) appear near (400, 100) from the top.
  bool green = false;
  for (int row = 95; row < 125 && !green; ++row)
    for (int x = 395; x < 520 && !green; ++x) {
      const std::uint8_t* p = &after[std::size_t(height - 1 - row) * presentation::frameStride(width) + x * 3];
      green = p[0] == 0 && p[1] == 255 && p[2] == 0;
    }
  EXPECT_TRUE(green);
}

} // namespace
