// The pieces of the presentation that need no thread and no font: scaling, the size table,
// the status screen's word wrap and the statistics texts.
#include "presentation/FrameLayout.h"
#include "presentation/Scaler.h"
#include "presentation/SizeTable.h"
#include "presentation/StatsTexts.h"
#include "presentation/StatusLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

namespace {

using presentation::frameStride;

// A packed picture whose pixel (x, y) holds bytes x, y, x ^ y.
std::vector<std::uint8_t> packedPicture(int width, int height) {
  std::vector<std::uint8_t> picture(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &picture[(std::size_t(y) * width + x) * 3];
      p[0] = std::uint8_t(x);
      p[1] = std::uint8_t(y);
      p[2] = std::uint8_t(x ^ y);
    }
  return picture;
}

// Checks every output pixel against the quotient formula, and that the row padding and
// everything past the last row stays untouched.
void expectScaled(int srcWidth, int srcHeight, int width, int height) {
  SCOPED_TRACE(std::to_string(srcWidth) + "x" + std::to_string(srcHeight) + " -> " + std::to_string(width) + "x" +
               std::to_string(height));
  std::vector<std::uint8_t> source = packedPicture(srcWidth, srcHeight);
  std::vector<std::uint8_t> frame(presentation::kFrameBytes, 0xEE);
  presentation::scaleNearest(source.data(), srcWidth, srcHeight, frame.data(), width, height);
  const int stride = frameStride(width);
  int wrong = 0;
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      const long long sy = static_cast<long long>(i) * srcHeight / height;
      const long long sx = static_cast<long long>(j) * srcWidth / width;
      const std::uint8_t* want = &source[(sy * srcWidth + sx) * 3];
      const std::uint8_t* got = &frame[std::size_t(i) * stride + j * 3];
      wrong += std::memcmp(want, got, 3) != 0;
    }
    for (int pad = width * 3; pad < stride; ++pad) wrong += frame[std::size_t(i) * stride + pad] != 0xEE;
  }
  EXPECT_EQ(wrong, 0);
  if (std::size_t(height) * stride < frame.size()) {
    EXPECT_EQ(frame[std::size_t(height) * stride], 0xEE);
  }
}

TEST(Scaler, MatchesTheTruncatedQuotientsForShrinkingGrowingAndEqualSizes) {
  expectScaled(720, 576, 720, 576); // full size, 1:1 rows
  expectScaled(696, 576, 720, 576); // the decoder's level-0 width
  expectScaled(720, 576, 350, 200); // a window 350 wide: stride 1052
  expectScaled(348, 288, 768, 576); // half size enlarged to the largest frame
  expectScaled(42, 36, 13, 7);
  expectScaled(1, 1, 5, 3);
  expectScaled(696, 576, 700, 578); // a few repeated columns and rows
  expectScaled(720, 576, 700, 570); // a few dropped columns and rows
  expectScaled(84, 72, 768, 576);   // level 3 enlarged: long runs, many repeated rows
}

TEST(Scaler, SpreadRowsGivesTheFrameLayoutOfAPictureOfTheFramesSize) {
  for (const auto& [width, height] : {std::pair{42, 36}, std::pair{696, 576}, std::pair{350, 7}, std::pair{1, 3}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const std::vector<std::uint8_t> packed = packedPicture(width, height);
    std::vector<std::uint8_t> scaled(presentation::kFrameBytes, 0xEE);
    presentation::scaleNearest(packed.data(), width, height, scaled.data(), width, height);
    std::vector<std::uint8_t> spread(presentation::kFrameBytes, 0xEE);
    std::copy(packed.begin(), packed.end(), spread.begin());
    presentation::spreadRows(spread.data(), width, height);
    int wrong = 0;
    for (int row = 0; row < height; ++row)
      wrong += std::memcmp(&scaled[std::size_t(row) * frameStride(width)],
                           &spread[std::size_t(row) * frameStride(width)], std::size_t(width) * 3) != 0;
    EXPECT_EQ(wrong, 0);
  }
}

TEST(Scaler, RowStrideIsRaisedToFourBytes) {
  EXPECT_EQ(frameStride(350), 1052);
  EXPECT_EQ(frameStride(768), 2304);
  EXPECT_EQ(frameStride(1), 4);
  EXPECT_EQ(presentation::kFrameBytes, 1327104u);
}

TEST(Scaler, WritesNothingForEmptyOrOversizedTargets) {
  std::vector<std::uint8_t> source = packedPicture(8, 8);
  std::vector<std::uint8_t> frame(presentation::kFrameBytes, 0xEE);
  presentation::scaleNearest(source.data(), 8, 8, frame.data(), 0, 10);
  presentation::scaleNearest(source.data(), 8, 8, frame.data(), 10, -1);
  presentation::scaleNearest(source.data(), 8, 8, frame.data(), 769, 10);
  presentation::scaleNearest(source.data(), 0, 8, frame.data(), 10, 10);
  EXPECT_EQ(std::count(frame.begin(), frame.end(), 0xEE), static_cast<long>(frame.size()));
}

TEST(SizeTable, StartsWithTheLevelSizesAndResetsAfterDecodedSizes) {
  presentation::SizeTable table;
  EXPECT_EQ(table.heights(true)[0], 576);
  EXPECT_EQ(table.heights(false)[2], 122);
  EXPECT_EQ(table.decodedWidth[3], 84);
  EXPECT_EQ(table.columnLimit[4], 640);
  table.heights(false)[0] = 480;
  table.decodedWidth[0] = 720;
  table.reset();
  EXPECT_EQ(table.height486[0], 486);
  EXPECT_EQ(table.decodedWidth[0], 696);
  EXPECT_FALSE(presentation::SizeTable::validLevel(5));
  EXPECT_FALSE(presentation::SizeTable::validLevel(-1));
  EXPECT_TRUE(presentation::SizeTable::validLevel(4));
}

// Every character 7 pixels wide, lines 19 high (the status font's line height).
class FixedMeasurer : public presentation::TextMeasurer {
public:
  void measure(const char* text, int& width, int& height) override {
    width = 7 * static_cast<int>(std::strlen(text));
    height = 19;
    ++calls;
  }
  int calls = 0;
};

TEST(StatusLayout, EmptyTextGivesAFourPixelBox) {
  FixedMeasurer measurer;
  presentation::StatusLayout layout;
  layout.layout(nullptr, 720, 576, measurer, 768, 576);
  EXPECT_EQ(layout.wordCount(), 0);
  EXPECT_EQ(layout.boxWidth(), 4);
  EXPECT_EQ(layout.boxHeight(), 12 + 19);
  layout.layout("", 720, 576, measurer, 768, 576);
  EXPECT_EQ(layout.boxWidth(), 4);
}

TEST(StatusLayout, WrapsWordsAndHonoursLineFeeds) {
  FixedMeasurer measurer;
  presentation::StatusLayout layout;
  layout.layout("a\nb", 720, 576, measurer, 768, 576);
  ASSERT_EQ(layout.wordCount(), 2);
  EXPECT_EQ(layout.word(1).x, 10);
  EXPECT_EQ(layout.word(1).y, layout.word(0).y + 19);

  // Words of 70 pixels and a space of 7 in a window 200 wide: the third would reach 241.
  layout.layout("aaaaaaaaaa  bbbbbbbbbb cccccccccc", 200, 576, measurer, 768, 576);
  ASSERT_EQ(layout.wordCount(), 3);
  EXPECT_EQ(layout.word(1).x, 10 + 70 + 7); // several spaces count as one
  EXPECT_EQ(layout.word(2).x, 10);
  EXPECT_EQ(layout.word(2).y, 10 + 19);
  EXPECT_EQ(layout.boxWidth(), 160); // right end 157 + 2, raised to a multiple of 4
}

TEST(StatusLayout, AWordWiderThanTheWindowStartsANewLineAndTheBoxStaysInside) {
  FixedMeasurer measurer;
  presentation::StatusLayout layout;
  layout.layout("wide-word-of-many-characters", 100, 576, measurer, 768, 576);
  ASSERT_EQ(layout.wordCount(), 1);
  EXPECT_EQ(layout.word(0).x, 10);
  EXPECT_EQ(layout.word(0).y, 10 + 19); // new line even on the first line
  EXPECT_EQ(layout.boxWidth(), 100);
  EXPECT_EQ(layout.boxHeight(), 10 + 19 + 19 + 2);
}

TEST(StatusLayout, OverlongTextsAreCutNeverOverflowTheBoxBuffer) {
  FixedMeasurer measurer;
  presentation::StatusLayout layout;
  std::string longWord(1000, 'x');
  layout.layout(longWord.c_str(), 1024, 768, measurer, 768, 576);
  ASSERT_EQ(layout.wordCount(), 1);
  EXPECT_EQ(std::strlen(layout.word(0).text), 255u);
  EXPECT_TRUE(layout.truncated());

  std::string manyWords;
  for (int i = 0; i < 400; ++i) manyWords += "w ";
  layout.layout(manyWords.c_str(), 1024, 768, measurer, 768, 576);
  EXPECT_EQ(layout.wordCount(), presentation::StatusLayout::kMaxWords);
  EXPECT_TRUE(layout.truncated());

  // Many lines in a large window: the box is limited to the 768 x 576 frame it is drawn in.
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "line with several words in it\n";
  layout.layout(lines.c_str(), 1024, 768, measurer, 768, 576);
  EXPECT_LE(layout.boxWidth(), 768);
  EXPECT_LE(layout.boxHeight(), 576);
  EXPECT_EQ(layout.boxWidth() % 4, 0);
}

TEST(StatsTexts, RowOfEqualStampsIsSixRightAlignedZeros) {
  unsigned int timing[7] = {500, 500, 500, 500, 500, 500, 500};
  char row[presentation::StatsTexts::kTextSize];
  presentation::formatStatsRow(timing, row);
  EXPECT_STREQ(row, "   0     0     0     0     0     0  ");
  EXPECT_EQ(std::strlen(row), 36u);

  unsigned int later[7] = {0xFFFFFFF0u, 5, 0xFFFFFFE0u, 0, 0, 0, 0}; // across the tick wrap
  presentation::formatStatsRow(later, row);
  EXPECT_EQ(std::string(row).substr(0, 12), "  21   -16  ");
}

TEST(StatsTexts, SeventeenthRowReplacesTheFirstAndNewestIsLast) {
  presentation::StatsTexts stats;
  for (int i = 1; i <= 17; ++i) stats.addStatsRow(("row " + std::to_string(i)).c_str());
  EXPECT_STREQ(stats.row(0), "row 2");
  EXPECT_STREQ(stats.row(15), "row 17");
}

TEST(StatsTexts, LabelsAndHeaderAppearOnlyWhenPublishedAndAreCut) {
  presentation::StatsTexts stats;
  stats.setStatsLabel(0, 400, 100, "FPS: 5.000");
  stats.setStatsLabel(16, 1, 1, "ignored");
  stats.setStatsLabel(-1, 1, 1, "ignored");
  std::string longText(300, 'z');
  stats.setStatsHeader(longText.c_str());
  EXPECT_STREQ(stats.label(0).text, ""); // staged, not yet handed to the Decoder thread
  EXPECT_STREQ(stats.header(), "");
  stats.publish();
  EXPECT_STREQ(stats.label(0).text, "FPS: 5.000");
  EXPECT_EQ(stats.label(0).x, 400);
  EXPECT_EQ(stats.label(0).y, 100);
  EXPECT_EQ(std::strlen(stats.header()), 127u);
  for (int slot = 1; slot < presentation::StatsTexts::kLabels; ++slot) EXPECT_STREQ(stats.label(slot).text, "");
}

TEST(StatsTexts, RatesOverTenPictures) {
  presentation::RateTexts rates;
  presentation::formatRates(10, 10 * (10032 + 208), 2000, rates);
  EXPECT_STREQ(rates.fps, "FPS: 5.000");
  presentation::formatRates(10, 10 * (10032 + 208), 1000, rates);
  EXPECT_STREQ(rates.dps, "DPS: 100.0");
  // Ten pictures within one tick: finite figures, as if one millisecond had passed.
  presentation::formatRates(10, 10240, 0, rates);
  EXPECT_STREQ(rates.fps, "FPS: 10000.000");
  EXPECT_STREQ(rates.dps, "DPS: 10000.0");
}

} // namespace
