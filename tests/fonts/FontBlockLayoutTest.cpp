// Byte-level checks of the eight embedded font blocks: header, metrics, which codes carry
// bitmaps, and how the bitmap area is packed.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "tests/fonts/ExpectedBlocks.h"
#include "tests/fonts/FontBlockView.h"

namespace fonttest {
namespace {

class FontBlockLayoutTest : public ::testing::TestWithParam<ExpectedBlock> {
protected:
  const ExpectedBlock& expected() const { return GetParam(); }
  FontBlockView block() const { return embeddedBlock(expected().id); }
};

TEST_P(FontBlockLayoutTest, HeaderWordsAreThoseTheViewerKnows) {
  const FontBlockView view = block();
  ASSERT_GE(view.size(), FontBlockView::kBitmapArea);
  EXPECT_EQ(view.word(0), 20);
  EXPECT_EQ(view.word(4), expected().headerWord1);
  EXPECT_EQ(view.word(8), 19);
  EXPECT_EQ(view.word(12), 16);
  EXPECT_EQ(view.word(16), 4) << "bits per pixel";
}

TEST_P(FontBlockLayoutTest, MetricsMatchTheTable) {
  const FontBlockView view = block();
  int maxAdvance = 0, lineBottom = 0, minTop = INT_MAX;
  for (int code = 0; code < 256; ++code) {
    const RawGlyph g = view.glyph(code);
    maxAdvance = std::max(maxAdvance, g.advance);
    lineBottom = std::max(lineBottom, g.top + g.height);
    minTop = std::min(minTop, g.top);
  }
  EXPECT_EQ(minTop, 0);
  EXPECT_EQ(maxAdvance, expected().maxAdvance);
  EXPECT_EQ(minTop + lineBottom, expected().lineHeight) << "line height";
  EXPECT_EQ(view.glyph(' ').advance, expected().spaceAdvance);

  const RawGlyph zero = view.glyph('0');
  EXPECT_EQ(zero.width, expected().zeroWidth);
  EXPECT_EQ(zero.advance, expected().zeroAdvance);
  EXPECT_EQ(zero.height, expected().zeroHeight);
  EXPECT_EQ(zero.top, expected().zeroTop);
  // The record describes the visible digit: ink in its first and its last row.
  ASSERT_GT(zero.height, 0);
  EXPECT_TRUE(view.rowHasInk(zero, 0));
  EXPECT_TRUE(view.rowHasInk(zero, zero.height - 1));
}

TEST_P(FontBlockLayoutTest, ExactlyTheCodeSetHasBitmaps) {
  const FontBlockView view = block();
  int withBitmap = 0;
  for (int code = 0; code < 256; ++code) {
    const bool wanted = expected().monospaced ? monospacedCodeHasBitmap(code) : proportionalCodeHasBitmap(code);
    const RawGlyph g = view.glyph(code);
    EXPECT_EQ(g.height > 0, wanted) << "code " << code;
    if (g.height > 0) {
      ++withBitmap;
      EXPECT_TRUE(view.hasInk(g)) << "code " << code << " has a bitmap without ink";
    } else {
      EXPECT_EQ(g.width, 0) << "code " << code;
    }
  }
  EXPECT_EQ(withBitmap, expected().glyphsWithBitmap);
}

// Monospaced: every record, blanks included, has the cell advance except the digit '3'.
// Proportional: the digits share one advance, so that numbers keep their width.
TEST_P(FontBlockLayoutTest, AdvancesFollowTheSpacing) {
  const FontBlockView view = block();
  for (int code = 0; code < 256; ++code) {
    const int advance = view.glyph(code).advance;
    if (expected().monospaced) {
      EXPECT_EQ(advance, code == '3' ? expected().digitThree : expected().cell) << "code " << code;
    } else if (code >= '0' && code <= '9') {
      EXPECT_EQ(advance, expected().zeroAdvance) << "code " << code;
    } else {
      EXPECT_GE(advance, 0) << "code " << code;
    }
  }
}

TEST_P(FontBlockLayoutTest, GlyphsHaveEvenWidthsAndStayInsideTheLine) {
  const FontBlockView view = block();
  for (int code = 0; code < 256; ++code) {
    const RawGlyph g = view.glyph(code);
    if (g.height == 0) continue;
    EXPECT_GT(g.width, 0) << "code " << code;
    EXPECT_EQ(g.width % 2, 0) << "code " << code;
    EXPECT_GE(g.top, 0) << "code " << code;
    EXPECT_LE(g.top + g.height, expected().lineHeight) << "code " << code;
  }
}

// Bitmaps run from byte 5140 to the block's last byte without gaps or overlaps.
TEST_P(FontBlockLayoutTest, BitmapAreaIsPackedFromItsStartToTheBlockEnd) {
  const FontBlockView view = block();
  struct Span {
    std::size_t begin, end;
    int code;
  };
  std::vector<Span> spans;
  for (int code = 0; code < 256; ++code) {
    const RawGlyph g = view.glyph(code);
    if (g.height == 0) continue;
    ASSERT_GE(g.bitmapOffset, 0) << "code " << code;
    const std::size_t begin = FontBlockView::kGlyphTable + static_cast<std::size_t>(g.bitmapOffset);
    const std::size_t bytes = static_cast<std::size_t>(g.width + 1) / 2 * static_cast<std::size_t>(g.height);
    spans.push_back({begin, begin + bytes, code});
  }
  ASSERT_FALSE(spans.empty());
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
  EXPECT_EQ(spans.front().begin, FontBlockView::kBitmapArea) << "first bitmap byte";
  EXPECT_EQ(spans.back().end, view.size()) << "last bitmap end";
  for (std::size_t i = 1; i < spans.size(); ++i) {
    EXPECT_EQ(spans[i].begin, spans[i - 1].end) << "codes " << spans[i - 1].code << " and " << spans[i].code;
  }
}

TEST_P(FontBlockLayoutTest, SizeIsCloseToTheOriginalBlock) {
  const double ratio = static_cast<double>(block().size()) / expected().originalSize;
  EXPECT_GT(ratio, 0.85);
  EXPECT_LT(ratio, 1.15);
}

std::string blockName(const ::testing::TestParamInfo<ExpectedBlock>& info) {
  return "Font" + std::to_string(info.param.id);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedBlocks, FontBlockLayoutTest, ::testing::ValuesIn(kExpectedBlocks), blockName);

} // namespace
} // namespace fonttest
