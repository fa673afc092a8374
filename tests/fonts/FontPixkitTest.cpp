// The embedded blocks read through the 2D library's font reader: the metrics text layout
// sees, and the German status texts drawn glyph by glyph.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixkit/PixkitLib.h"
#include "resources/fonts/EmbeddedFonts.h"
#include "tests/fonts/ExpectedBlocks.h"

namespace fonttest {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 24;

// A 24-bit surface with one library instance on it.
class TextSurface {
public:
  // The pitch is counted in pixels.
  TextSurface() : pixels_(kWidth * kHeight * 3, 0) {
    ok_ = lib_.Init(kWidth, kHeight, kWidth, pixels_.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0);
  }
  bool ok() const { return ok_; }
  CPixkitLib& lib() { return lib_; }

  // Adds an embedded block the way an untrusted one would be, so the reader checks it.
  unsigned long addEmbeddedFont(int id) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (!embeddedFontBlock(id, &data, &size)) return 0;
    // The library never writes to a font block; its interface takes a mutable pointer.
    return lib_.core()->addFontChecked(const_cast<unsigned char*>(data), size, false);
  }

  std::vector<char> draw(unsigned long font, const std::string& text) {
    std::fill(pixels_.begin(), pixels_.end(), 0);
    lib_.drawText(font, 0, 0, 0, 0xFFFFFF, text.c_str());
    return pixels_;
  }

  // Rows and columns that received ink, as {left, top, right, bottom}; right < left when none.
  CPKRectangle inkBounds() const {
    CPKRectangle box{kWidth, kHeight, -1, -1};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (pixels_[(y * kWidth + x) * 3] == 0) continue;
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
    }
    return box;
  }

private:
  std::vector<char> pixels_;
  CPixkitLib lib_;
  bool ok_ = false;
};

class FontPixkitTest : public ::testing::TestWithParam<ExpectedBlock> {};

TEST_P(FontPixkitTest, ReaderAcceptsTheBlockAndDerivesItsMetrics) {
  const ExpectedBlock& expected = GetParam();
  TextSurface surface;
  ASSERT_TRUE(surface.ok());
  const unsigned long handle = surface.addEmbeddedFont(expected.id);
  ASSERT_NE(handle, 0u) << "the checked reader rejected the block";
  const CPKFont* font = surface.lib().core()->font(handle);
  ASSERT_NE(font, nullptr);

  EXPECT_EQ(font->minTop(), 0);
  EXPECT_EQ(font->maxAdvance(), expected.maxAdvance);
  EXPECT_EQ(font->lineHeight(), expected.lineHeight);
  EXPECT_EQ(font->glyph(' ').advance, expected.spaceAdvance);
  const PKGlyph zero = font->glyph('0');
  EXPECT_EQ(zero.width, expected.zeroWidth);
  EXPECT_EQ(zero.advance, expected.zeroAdvance);
  EXPECT_EQ(zero.height, expected.zeroHeight);
  EXPECT_EQ(zero.top, expected.zeroTop);
}

TEST_P(FontPixkitTest, TextLayoutMeasuresWithTheBlockMetrics) {
  const ExpectedBlock& expected = GetParam();
  TextSurface surface;
  ASSERT_TRUE(surface.ok());
  const unsigned long font = surface.addEmbeddedFont(expected.id);
  ASSERT_NE(font, 0u);

  CPKRectangle size;
  surface.lib().getTextSize(font, "", &size, 0);
  EXPECT_EQ(size.bottom, expected.lineHeight);
  surface.lib().getTextSize(font, "00 0", &size, 0);
  EXPECT_EQ(size.right, 3 * expected.zeroAdvance + expected.spaceAdvance);
  // With multiplier 1 the fixed cell is the widest advance.
  surface.lib().setFontFixedMulti(font, 1.0f);
  surface.lib().getTextSize(font, "0 0", &size, PKTEXT_FIXED);
  EXPECT_EQ(size.right, 3 * expected.maxAdvance);
}

TEST_P(FontPixkitTest, DigitZeroDrawsInsideItsRecord) {
  const ExpectedBlock& expected = GetParam();
  TextSurface surface;
  ASSERT_TRUE(surface.ok());
  const unsigned long font = surface.addEmbeddedFont(expected.id);
  ASSERT_NE(font, 0u);
  surface.draw(font, "0");
  const CPKRectangle ink = surface.inkBounds();
  EXPECT_EQ(ink.top, expected.zeroTop);
  EXPECT_EQ(ink.bottom, expected.zeroTop + expected.zeroHeight - 1);
  EXPECT_GE(ink.left, 0);
  EXPECT_LT(ink.right, expected.zeroWidth);
}

std::string blockName(const ::testing::TestParamInfo<ExpectedBlock>& info) {
  return "Font" + std::to_string(info.param.id);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedBlocks, FontPixkitTest, ::testing::ValuesIn(kExpectedBlocks), blockName);

// Each character of the German status texts adds ink when the text is drawn: drawing the
// text up to and including a character differs from drawing it up to the one before.
TEST(FontPixkitRendering, EveryCharacterOfTheGermanStatusTextsDraws) {
  const std::vector<std::string> texts = {
      "Fehler w\xE4hrend der Initialisierung!",
      "Interner Ger\xE4tefehler!",
      "Die Spur wurde gel\xF6scht!",
      "Das Bild wurde \xFC"
      "berschrieben!",
      "Die Socketverbindung wurde wegen eines Fehlers beendet!",
      "Verbindungsaufbau...",
      "\xC4\xD6\xDC\xDF\xE4\xF6\xFC",
  };
  TextSurface surface;
  ASSERT_TRUE(surface.ok());
  const unsigned long font = surface.addEmbeddedFont(202);
  ASSERT_NE(font, 0u);
  for (const std::string& text : texts) {
    std::vector<char> before = surface.draw(font, "");
    for (std::size_t i = 0; i < text.size(); ++i) {
      std::vector<char> after = surface.draw(font, text.substr(0, i + 1));
      if (text[i] != ' ') {
        EXPECT_NE(after, before) << "code " << int(static_cast<unsigned char>(text[i])) << " in \"" << text << "\"";
      }
      before = std::move(after);
    }
  }
}

} // namespace
} // namespace fonttest
