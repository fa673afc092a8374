#include <gtest/gtest.h>

#include <vector>

#include "recorder/encoder/BitWriter.h"

namespace wavelet {
namespace {

TEST(BitWriter, PacksBitsMostSignificantFirstIntoLittleEndianWords) {
  std::vector<uint8_t> out{1, 2, 3}; // replaced
  BitWriter writer(out);
  writer.write(0x81, 8);    // a band type
  writer.write(0x1234, 16); // a quantiser
  writer.write(0x5, 3);     // 101
  writer.write(0x0, 5);
  ASSERT_EQ(out.size(), 4u);
  // Word 0x81123 4A0: the first byte written is the word's most significant byte, stored last.
  EXPECT_EQ(out, (std::vector<uint8_t>{0xA0, 0x34, 0x12, 0x81}));
  writer.write(0x3, 2);
  EXPECT_EQ(writer.bitCount(), 34u);
}

TEST(BitWriter, PadsWithOneBitsAndWritesMarkersOnWordBoundaries) {
  std::vector<uint8_t> out;
  BitWriter writer(out);
  writer.padToWord(); // nothing to pad
  EXPECT_TRUE(out.empty());
  writer.write(0, 4);
  writer.writeMarker();
  writer.write(0xFFFF, 16);
  writer.write(0xABCD, 16);
  writer.write(0x2, 2); // 10, then 30 padding bits
  writer.padToWord();
  EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xCD, 0xAB, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xBF}));
  EXPECT_EQ(writer.wordCount(), 4u);
  writer.write(0xDEADBEEF, 32);
  EXPECT_EQ(out.size(), 20u);
  EXPECT_EQ(out[19], 0xDE);
}

} // namespace
} // namespace wavelet
