#include "decoder/CodeTables.h"

#include <gtest/gtest.h>

#include <set>

using namespace wavelet;

namespace {

constexpr CodeTableId kAllTables[] = {CodeTableId::ClassA, CodeTableId::ClassBType132, CodeTableId::ClassBType131};

int expectedCount(CodeTableId id) { return id == CodeTableId::ClassA ? 256 : 138; }

} // namespace

TEST(CodeTables, EveryTableIsACanonicalPrefixCodeWithoutTheAllOnesPattern) {
  for (CodeTableId id : kAllTables) {
    const CodeTable& t = decodingTable(id);
    ASSERT_EQ(t.count, expectedCount(id));
    std::set<int> symbols;
    uint64_t kraft = 0; // in units of 2^-16
    for (int i = 0; i < t.count; ++i) {
      const CodeEntry& e = t.entries[i];
      symbols.insert(e.symbol);
      kraft += 1u << (16 - e.length);
      if (i > 0) {
        const CodeEntry& p = t.entries[i - 1];
        EXPECT_GE(e.length, p.length);
        // Canonical: the next code starts where the previous one's interval ends.
        EXPECT_EQ(uint32_t(e.code), uint32_t(p.code) + (1u << (16 - p.length))) << "entry " << i;
      }
    }
    EXPECT_EQ(int(symbols.size()), t.count) << "a symbol appears twice";
    EXPECT_EQ(t.entries[0].code, 0);
    EXPECT_LT(kraft, 65536u); // the all-ones pattern stays unused
    EXPECT_NE(t.entries[t.count - 1].code, 0xFFFF);
    EXPECT_GT(t.entries[t.firstLong].length, kFastBits);
    EXPECT_LE(t.entries[t.firstLong - 1].length, kFastBits);
  }
}

TEST(CodeTables, TableOneCoversEverySymbolAndKnownCodesMatch) {
  const CodeTable& t = decodingTable(CodeTableId::ClassA);
  std::set<int> symbols;
  for (int i = 0; i < t.count; ++i) symbols.insert(t.entries[i].symbol);
  EXPECT_EQ(symbols.size(), 256u);
  // First codes: 127 = "00", 129 = "010", 252 = "011".
  EXPECT_EQ(t.entries[0].symbol, 127);
  EXPECT_EQ(t.entries[0].code, 0x0000);
  EXPECT_EQ(t.entries[1].symbol, 129);
  EXPECT_EQ(t.entries[1].code, 0x4000);
  EXPECT_EQ(t.entries[2].symbol, 252);
  EXPECT_EQ(t.entries[2].code, 0x6000);
  EXPECT_EQ(t.entries[255].symbol, 251);
  EXPECT_EQ(t.entries[255].length, 16);
}

TEST(CodeTables, FastFormAgreesWithDecodingFormForEveryFourteenBitPrefix) {
  for (CodeTableId id : kAllTables) {
    const CodeTable& t = decodingTable(id);
    const FastTable& f = fastTable(id);
    for (int index = 0; index < kFastEntries; ++index) {
      const uint32_t key = uint32_t(index) << 2;
      int match = -1;
      for (int i = 0; i < t.count; ++i) {
        const uint32_t mask = 0xFFFFu << (16 - t.entries[i].length) & 0xFFFF;
        if ((key & mask) == t.entries[i].code) match = i;
      }
      if (match >= 0 && t.entries[match].length <= kFastBits) {
        ASSERT_EQ(f.entries[index].length, t.entries[match].length) << index;
        ASSERT_EQ(f.entries[index].symbol, t.entries[match].symbol) << index;
      } else {
        ASSERT_EQ(f.entries[index].length, 0) << index;
      }
    }
  }
}

TEST(CodeTables, EncodingFormIsTheInverseOfTheDecodingForm) {
  for (CodeTableId id : kAllTables) {
    const CodeTable& t = decodingTable(id);
    const EncodingTable& enc = encodingTable(id);
    int coded = 0;
    for (int s = 0; s < 256; ++s) {
      if (enc.symbols[s].length == 0) continue;
      ++coded;
      const uint16_t left = uint16_t(enc.symbols[s].code << (16 - enc.symbols[s].length));
      bool found = false;
      for (int i = 0; i < t.count; ++i)
        if (t.entries[i].symbol == s) {
          found = true;
          EXPECT_EQ(t.entries[i].code, left);
          EXPECT_EQ(t.entries[i].length, enc.symbols[s].length);
        }
      EXPECT_TRUE(found) << s;
    }
    EXPECT_EQ(coded, t.count);
  }
  // Table 3 gives the invalid class B symbol 253 a short code; the encoder must not use it,
  // but it exists, so the decoder must reject it.
  EXPECT_EQ(encodingTable(CodeTableId::ClassBType131).symbols[253].length, 8);
  EXPECT_EQ(encodingTable(CodeTableId::ClassBType131).symbols[32].length, 0);
}

TEST(CodeTables, BandTypeSelectsTable) {
  CodeTableId id{};
  EXPECT_TRUE(codeTableForBandType(129, id));
  EXPECT_EQ(id, CodeTableId::ClassA);
  EXPECT_TRUE(codeTableForBandType(130, id));
  EXPECT_EQ(id, CodeTableId::ClassA);
  EXPECT_TRUE(codeTableForBandType(131, id));
  EXPECT_EQ(id, CodeTableId::ClassBType131);
  EXPECT_TRUE(codeTableForBandType(132, id));
  EXPECT_EQ(id, CodeTableId::ClassBType132);
  EXPECT_FALSE(codeTableForBandType(143, id));
  EXPECT_FALSE(codeTableForBandType(128, id));
}
