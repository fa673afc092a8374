// The embedding API: ids 201-208 give the committed blocks byte for byte, others nothing.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/fonts/EmbeddedFonts.h"

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EmbeddedFonts, EveryIdGivesItsCommittedBlock) {
  for (int id = 201; id <= 208; ++id) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(embeddedFontBlock(id, &data, &size)) << id;
    const std::vector<std::uint8_t> file =
        readFile(std::string(CAMVIEW_FONTS_DIR) + "/font" + std::to_string(id) + ".bin");
    ASSERT_FALSE(file.empty()) << "cannot read font" << id << ".bin";
    ASSERT_EQ(size, file.size()) << id;
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + size), file) << id;
    // 32-bit fields start at offset 20: an aligned block keeps them aligned.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 16, 0u) << id;
  }
}

TEST(EmbeddedFonts, BlocksAreDistinct) {
  const std::uint8_t* first = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(embeddedFontBlock(201, &first, &size));
  for (int id = 202; id <= 208; ++id) {
    const std::uint8_t* data = nullptr;
    ASSERT_TRUE(embeddedFontBlock(id, &data, &size));
    EXPECT_NE(data, first) << id;
  }
}

TEST(EmbeddedFonts, OtherIdsFindNothingAndLeaveTheOutputsAlone) {
  for (int id : {0, -1, 104, 111, 200, 209, 1000}) {
    const std::uint8_t marker = 0;
    const std::uint8_t* data = &marker;
    std::size_t size = 77;
    EXPECT_FALSE(embeddedFontBlock(id, &data, &size)) << id;
    EXPECT_EQ(data, &marker) << id;
    EXPECT_EQ(size, 77u) << id;
  }
}

TEST(EmbeddedFonts, NullOutputsAreAllowed) {
  EXPECT_TRUE(embeddedFontBlock(205, nullptr, nullptr));
  EXPECT_FALSE(embeddedFontBlock(209, nullptr, nullptr));
}

} // namespace
