// Result codes and error records of failed decodes, from hand-made and damaged streams.
#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

using namespace wavelet;
using namespace wavelet::test;

namespace {

struct ValidField {
  std::vector<uint8_t> bytes;
  FieldLayout layout;
  std::vector<BandContent> bands;
};

ValidField makeValidField(uint32_t seed = 31, int parity = 0x40) {
  ValidField f;
  f.bands = randomBands(buildSubbandGeometry(720, 288, 0), seed);
  f.bytes = buildField(parity, f.bands, &f.layout);
  return f;
}

void eraseWords(std::vector<uint8_t>& bytes, size_t first, size_t count) {
  bytes.erase(bytes.begin() + long(first * 4), bytes.begin() + long((first + count) * 4));
}

void expectBandError(const DecodeRun& run, int stage, int band, long offset) {
  EXPECT_FALSE(run.ok());
  EXPECT_EQ(run.result, DEC_BAND_ERROR);
  EXPECT_EQ(run.errorStage, stage);
  EXPECT_EQ(run.errorBand, band);
  EXPECT_EQ(run.errorOffset, offset);
}

void expectHeaderError(const DecodeRun& run) {
  EXPECT_FALSE(run.ok());
  EXPECT_EQ(run.result, DEC_BAD_HEADER);
  EXPECT_EQ(run.errorStage, ERR_FIELD_HEADER);
  EXPECT_EQ(run.errorBand, 0);
  EXPECT_EQ(run.errorOffset, 0);
}

const EngineKind kBothEngines[] = {EngineKind::Portable, EngineKind::Mmx};

} // namespace

TEST(DecoderErrors, PictureSizesOutsideTheSizeTableOrTooSmall) {
  const ValidField f = makeValidField();
  DecodeSetup s;
  s.height = 480;
  EXPECT_EQ(runDecoder(s, &f.bytes, nullptr).result, DEC_BAD_SIZE);
  s.height = 576;
  s.width = 0;
  EXPECT_EQ(runDecoder(s, &f.bytes, nullptr).result, DEC_BAD_SIZE);
  s.width = 100000;
  s.capacity = 0;
  EXPECT_EQ(runDecoder(s, &f.bytes, nullptr).result, DEC_BAD_SIZE);

  // Heights of the table are accepted; a one-field picture of 288 lines is a normal field.
  s = DecodeSetup();
  s.height = 288;
  s.twoFields = false;
  EXPECT_TRUE(runDecoder(s, &f.bytes, nullptr).ok());
  // 16 lines is in the table, but its fields are too small for five levels; so is a narrow picture.
  s = DecodeSetup();
  s.height = 16;
  EXPECT_EQ(runDecoder(s, &f.bytes, nullptr).result, DEC_TOO_SMALL);
  s = DecodeSetup();
  s.width = 150;
  EXPECT_EQ(runDecoder(s, &f.bytes, nullptr).result, DEC_TOO_SMALL);
  s.width = 193; // ceil-halved six times: 4
  s.colEnd = 193;
  EXPECT_NE(runDecoder(s, &f.bytes, nullptr).result, DEC_TOO_SMALL);
}

TEST(DecoderErrors, MissingOrSmallOutputFailsBeforeAnyStreamIsRead) {
  const std::vector<uint8_t> garbage(64, 0x55);
  for (long capacity : {0L, 720L * 576 * 3 - 1}) {
    DecodeSetup s;
    s.capacity = capacity;
    const DecodeRun run = runDecoder(s, &garbage, nullptr);
    EXPECT_EQ(run.result, DEC_NO_OUTPUT);
    EXPECT_EQ(run.errorStage, ERR_NONE);
    for (uint8_t b : run.frame) ASSERT_EQ(b, kUntouched);
  }
  CWaveletDecoder decoder(720, 576, EngineKind::Portable);
  DecodeSettings noBuffer;
  noBuffer.firstFieldData = garbage.data();
  noBuffer.firstFieldLength = int32_t(garbage.size());
  noBuffer.outputSize = 720 * 576 * 3;
  EXPECT_EQ(decoder.Decode(noBuffer).result, DEC_NO_OUTPUT);
}

TEST(DecoderErrors, BadFieldHeadersAndShortStreams) {
  const ValidField f = makeValidField();
  for (EngineKind engine : kBothEngines) {
    DecodeSetup s;
    s.engine = engine;
    std::vector<uint8_t> noMarker = f.bytes;
    noMarker[0] = 0xFE;
    expectHeaderError(runDecoder(s, &noMarker, nullptr));
    std::vector<uint8_t> badParity = f.bytes;
    badParity[7] = 0x42; // parity is the first byte of word 1, the fourth in memory
    expectHeaderError(runDecoder(s, &badParity, nullptr));
    std::vector<uint8_t> badFormat = f.bytes;
    badFormat[6] = 0x01;
    expectHeaderError(runDecoder(s, &badFormat, nullptr));
    // Two 0xFFFFFFFF words in a row are no marker.
    std::vector<uint8_t> doubleOnes = f.bytes;
    for (int i = 4; i < 8; ++i) doubleOnes[i] = 0xFF;
    expectHeaderError(runDecoder(s, &doubleOnes, nullptr));
    // Every stream too short for marker and header, down to nothing; also a null pointer.
    for (size_t length = 0; length < 20; ++length) {
      const std::vector<uint8_t> shortStream(f.bytes.begin(), f.bytes.begin() + long(length));
      expectHeaderError(runDecoder(s, &shortStream, nullptr));
    }
    expectHeaderError(runDecoder(s, nullptr, nullptr));
    // A bad second field fails the whole picture.
    expectHeaderError(runDecoder(s, &f.bytes, &noMarker));
  }
}

TEST(DecoderErrors, StreamEndingInsideABand) {
  const ValidField f = makeValidField();
  for (EngineKind engine : kBothEngines) {
    DecodeSetup s;
    s.engine = engine;
    // Cut three words into the record at position 40; a 1-3 byte remainder is ignored.
    const size_t cut = f.layout.recordStart[40] + 3;
    for (size_t extra = 0; extra < 4; ++extra) {
      const std::vector<uint8_t> truncated(f.bytes.begin(), f.bytes.begin() + long(cut * 4 + extra));
      expectBandError(runDecoder(s, &truncated, nullptr), ERR_END_OF_DATA, kBandOrder[40], long(cut * 4));
    }
    // The last band has no marker after it: a short last band ends the data.
    std::vector<uint8_t> shortLast = f.bytes;
    shortLast.resize(shortLast.size() - 8);
    expectBandError(runDecoder(s, &shortLast, nullptr), ERR_END_OF_DATA, kBandOrder[41], long(shortLast.size()));
    // A band header due with no words left.
    const std::vector<uint8_t> noHeader(f.bytes.begin(), f.bytes.begin() + long(f.layout.recordStart[12] * 4));
    expectBandError(runDecoder(s, &noHeader, nullptr), ERR_END_OF_DATA, kBandOrder[12], long(noHeader.size()));
  }
}

TEST(DecoderErrors, BandDataShorterThanItsSamplesMeetsTheNextMarker) {
  const ValidField f = makeValidField();
  std::vector<uint8_t> bytes = f.bytes;
  const size_t nextMarker = f.layout.recordStart[41];
  eraseWords(bytes, nextMarker - 2, 2);
  for (EngineKind engine : kBothEngines) {
    DecodeSetup s;
    s.engine = engine;
    expectBandError(runDecoder(s, &bytes, nullptr), ERR_MARKER_IN_DATA, kBandOrder[40], long((nextMarker - 2) * 4));
  }
}

TEST(DecoderErrors, BandRecordWithoutMarker) {
  const ValidField f = makeValidField();
  std::vector<uint8_t> bytes = f.bytes;
  const size_t marker = f.layout.recordStart[10];
  eraseWords(bytes, marker, 1);
  DecodeSetup s;
  expectBandError(runDecoder(s, &bytes, nullptr), ERR_NO_BAND_MARKER, kBandOrder[10], long(marker * 4));
}

TEST(DecoderErrors, UnknownBandTypes) {
  const ValidField f = makeValidField();
  for (int badType : {0, 128, 133, 142, 144, 255}) {
    std::vector<uint8_t> bytes = f.bytes;
    const size_t header = f.layout.recordStart[10] + 1; // word after the marker
    bytes[header * 4 + 3] = uint8_t(badType);           // the type is the word's first byte
    DecodeSetup s;
    expectBandError(runDecoder(s, &bytes, nullptr), ERR_BAD_BAND_TYPE, kBandOrder[10], long((header + 1) * 4));
    // The first band has no marker: its header is word 5.
    bytes = f.bytes;
    bytes[5 * 4 + 3] = uint8_t(badType);
    expectBandError(runDecoder(s, &bytes, nullptr), ERR_BAD_BAND_TYPE, kBandOrder[0], 24);
  }
}

TEST(DecoderErrors, InvalidClassBSymbolIsReportedAfterItsCode) {
  std::vector<BandContent> bands = makeValidField().bands;
  bands[kBandOrder[0]].type = 131;
  for (int lead : {0, 2}) {
    // `lead` two-bit codes first: with two of them the 8-bit code of 253 straddles into word 6.
    auto writeBad = [lead](int band, BitWriter& w) {
      if (band != kBandOrder[0]) return false;
      for (int i = 0; i < lead; ++i) w.symbol(CodeTableId::ClassBType131, 31);
      w.symbol(CodeTableId::ClassBType131, 253);
      return true;
    };
    const std::vector<uint8_t> bytes = buildField(0x40, bands, nullptr, writeBad);
    for (EngineKind engine : kBothEngines) {
      DecodeSetup s;
      s.engine = engine;
      expectBandError(runDecoder(s, &bytes, nullptr), ERR_BAD_SYMBOL, kBandOrder[0], lead == 0 ? 24 : 28);
    }
  }
  // Every symbol outside the class B alphabet that has a code fails, in both tables.
  for (CodeTableId table : {CodeTableId::ClassBType131, CodeTableId::ClassBType132}) {
    for (int symbol = 0; symbol < 256; ++symbol) {
      const bool invalid = symbol == 32 || (symbol >= 124 && symbol <= 238) || (symbol >= 251 && symbol <= 253);
      if (!invalid || encodingTable(table).symbols[symbol].length == 0) continue;
      bands[kBandOrder[0]].type = table == CodeTableId::ClassBType131 ? 131 : 132;
      auto writeSymbol = [&](int band, BitWriter& w) {
        if (band != kBandOrder[0]) return false;
        w.symbol(table, symbol);
        return true;
      };
      const std::vector<uint8_t> bytes = buildField(0x40, bands, nullptr, writeSymbol);
      DecodeSetup s;
      const DecodeRun run = runDecoder(s, &bytes, nullptr);
      EXPECT_EQ(run.errorStage, ERR_BAD_SYMBOL) << "symbol " << symbol;
    }
  }
}
