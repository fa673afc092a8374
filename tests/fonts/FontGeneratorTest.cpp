// Pieces of the font generator: the code page, bitmap trimming and padding, the block
// encoding; and that the generator still makes the committed blocks.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/fontgen/Cp1252.h"
#include "tools/fontgen/FontBlock.h"
#include "tools/fontgen/GlyphImage.h"

namespace {

using namespace fontgen;

TEST(FontGeneratorCp1252, HighCodesMapToTheirCharacters) {
  EXPECT_EQ(cp1252ToUnicode(0x80), U'\u20AC'); // euro sign
  EXPECT_EQ(cp1252ToUnicode(0x8A), U'\u0160'); // S with caron
  EXPECT_EQ(cp1252ToUnicode(0x99), U'\u2122'); // trade mark
  EXPECT_EQ(cp1252ToUnicode(0x9F), U'\u0178'); // Y with diaeresis
  EXPECT_EQ(cp1252ToUnicode(0xE4), U'\u00E4'); // a umlaut, same as Latin-1
  EXPECT_EQ(cp1252ToUnicode(0xDF), U'\u00DF'); // sharp s
  for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(cp1252ToUnicode(undefined), 0u) << undefined;
  EXPECT_EQ(cp1252ToUnicode(256), 0u);
  EXPECT_EQ(cp1252ToUnicode(-1), 0u);
}

TEST(FontGeneratorCp1252, CodeSetsHaveTheirSizes) {
  int proportional = 0, monospaced = 0;
  for (int code = 0; code < 256; ++code) {
    proportional += isProportionalGlyphCode(code) ? 1 : 0;
    monospaced += isMonospacedGlyphCode(code) ? 1 : 0;
    if (isProportionalGlyphCode(code)) {
      EXPECT_NE(cp1252ToUnicode(code), 0u) << code;
    }
  }
  EXPECT_EQ(proportional, 216);
  EXPECT_EQ(monospaced, 100);
}

GlyphImage imageFromRows(int top, const std::vector<std::string>& rows) {
  GlyphImage image;
  image.top = top;
  image.height = static_cast<int>(rows.size());
  image.width = static_cast<int>(rows.front().size());
  for (const std::string& row : rows) {
    for (char c : row) image.coverage.push_back(static_cast<std::uint8_t>(c == '.' ? 0 : c - 'a' + 1));
  }
  return image;
}

TEST(FontGeneratorGlyphImage, TrimDropsBlankEdgesButKeepsTheLeftBearing) {
  GlyphImage image = imageFromRows(3, {"....", ".a..", "..b.", "...."});
  image.trim();
  EXPECT_EQ(image.top, 4);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.at(0, 0), 0);
  EXPECT_EQ(image.at(1, 0), 1);
  EXPECT_EQ(image.at(2, 1), 2);

  GlyphImage blank = imageFromRows(0, {"...", "..."});
  blank.trim();
  EXPECT_TRUE(blank.empty());
  EXPECT_EQ(blank.width, 0);
}

TEST(FontGeneratorGlyphImage, PaddingAddsBlankColumnsAndRows) {
  GlyphImage image = imageFromRows(2, {"ab.", "c.d"});
  image.padWidth(0);
  EXPECT_EQ(image.width, 4); // even
  image.padWidth(5);
  EXPECT_EQ(image.width, 6);
  EXPECT_EQ(image.at(2, 1), 4);
  EXPECT_EQ(image.at(5, 1), 0);
  image.padBottom(7);
  EXPECT_EQ(image.height, 5);
  EXPECT_EQ(image.at(0, 0), 1);
  EXPECT_EQ(image.at(0, 4), 0);
  image.padBottom(3); // never shrinks
  EXPECT_EQ(image.height, 5);
}

TEST(FontGeneratorEncoding, RecordsPointIntoAPackedBitmapArea) {
  FontBlock block;
  block.headerWord1 = 18;
  block.glyphs['A'] = GlyphEntry{5, imageFromRows(1, {"o.", ".a"})}; // coverage 15 and 1
  block.glyphs['B'] = GlyphEntry{7, imageFromRows(0, {"..ab", "c...", "...d"})};
  block.glyphs[' '].advance = 3;
  const std::vector<std::uint8_t> bytes = encodeBlock(block);

  ASSERT_EQ(bytes.size(), 5140u + 2 + 6);
  EXPECT_EQ(bytes[4], 18);
  EXPECT_EQ(bytes[16], 4);
  const std::size_t recordA = 20 + 20 * 'A';
  EXPECT_EQ(bytes[recordA + 16], 0x00); // offset 5120 = 0x1400
  EXPECT_EQ(bytes[recordA + 17], 0x14);
  // High nibble is the left pixel.
  EXPECT_EQ(bytes[5140], 0xF0);
  EXPECT_EQ(bytes[5141], 0x01);
  EXPECT_EQ(bytes[5142], 0x00);
  EXPECT_EQ(bytes[5143], 0x12);
  EXPECT_EQ(bytes.back(), 0x04);

  const BlockMetrics metrics = measureBlock(bytes);
  EXPECT_EQ(metrics.glyphsWithBitmap, 2);
  EXPECT_EQ(metrics.maxAdvance, 7);
  EXPECT_EQ(metrics.lineHeight, 3);
  EXPECT_EQ(metrics.spaceAdvance, 3);
}

std::vector<char> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The committed blocks are the generator's output: regenerating changes nothing.
TEST(FontGeneratorOutput, RegeneratesTheCommittedBlocks) {
  const std::filesystem::path faces = "/usr/share/fonts/truetype/dejavu";
  if (!std::filesystem::exists(faces / "DejaVuSans.ttf") ||
      !std::filesystem::exists(faces / "DejaVuSansMono-Bold.ttf")) {
    GTEST_SKIP() << "DejaVu faces not installed (fonts-dejavu-core)";
  }
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "camview-fontgen-test";
  std::filesystem::create_directories(out);
  const std::string command = std::string(CAMVIEW_FONTGEN) + " --out " + out.string() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "the generator reported differing metrics";
  for (int id = 201; id <= 208; ++id) {
    const std::string name = "font" + std::to_string(id) + ".bin";
    const std::vector<char> made = readFile(out / name);
    ASSERT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == readFile(std::filesystem::path(CAMVIEW_FONTS_DIR) / name)) << name << " differs";
  }
  std::filesystem::remove_all(out);
}

} // namespace
