// Bit reader rules, symbol meanings, runs, empty and skipped bands, regions, payload split.
#include "DecoderTestSupport.h"
#include "base/LittleEndian.h"
#include "ReferenceEntropy.h"

#include "decoder/BitReader.h"
#include "decoder/PictureSplit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

using namespace wavelet;
using namespace wavelet::test;

namespace {

std::vector<uint8_t> wordsToBytes(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> bytes;
  for (uint32_t w : words) le::appendU32(bytes, w);
  return bytes;
}

// Entropy-decodes one field with the portable engine and returns the (dequantised) samples of
// one band; with quantiser 8 they are the coded values.
std::vector<int16_t> decodedBand(const std::vector<uint8_t>& field, int band, bool& ok) {
  std::unique_ptr<CWaveletEngine> owned = createWaveletEngine(EngineKind::Portable);
  CWaveletEngine& engine = *owned;
  DecodeSettings settings;
  ok = engine.Init(720, 576, settings) && engine.DecodeField(field.data(), uint32_t(field.size()));
  const SubbandDescriptor& d = engine.geometry().bands[band];
  std::vector<int16_t> samples;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) samples.push_back(d.firstSample()[y * d.stride + x]);
  return samples;
}

std::vector<BandContent> emptyBands() {
  std::vector<BandContent> bands(kBandCount);
  for (BandContent& b : bands) b.type = 143;
  return bands;
}

// Decodes a field with the engine and with the bit-at-a-time model: the same result, error
// record and decoded samples. Returns whether the field decoded.
bool decodesAsTheNaiveReader(CWaveletEngine& engine, const std::vector<uint8_t>& field, int levels) {
  const SubbandGeometry& g = engine.geometry();
  const ReferenceFieldResult want = referenceDecodeField(field.data(), uint32_t(field.size()), g, levels);
  const bool ok = engine.DecodeField(field.data(), uint32_t(field.size()));
  EXPECT_EQ(ok, want.ok);
  if (ok != want.ok) return ok;
  if (!ok) {
    EXPECT_EQ(engine.result(), want.result);
    EXPECT_EQ(engine.error().stage, want.stage);
    EXPECT_EQ(engine.error().band, want.band);
    EXPECT_EQ(engine.error().offset, want.offset);
    return false;
  }
  for (const SubbandDescriptor& d : g.bands) {
    if (d.level < levels) continue; // not decoded, not read
    for (int y = 0; y < d.height; ++y) {
      const long at = long(d.line + y) * g.stride[d.component] + d.column;
      if (!std::equal(d.firstSample() + long(y) * d.stride, d.firstSample() + long(y) * d.stride + d.width,
                      want.planes[d.component].begin() + at)) {
        ADD_FAILURE() << "band " << &d - g.bands.data() << " line " << y;
        return true;
      }
    }
  }
  return true;
}

// A symbol drawn evenly from the symbols of a table that have a code, with random extra bits;
// for class B a symbol outside the alphabet when `invalid` is set.
struct SymbolPick {
  int symbol = 0;
  int extraBits = 0;
  uint32_t extra = 0;
  long advance = 0; // samples it covers (a wrapped class B run: 0)
  bool valid = true;
};

SymbolPick pickSymbol(CodeTableId table, std::mt19937& rng, bool invalid) {
  const bool classA = table == CodeTableId::ClassA;
  for (;;) {
    SymbolPick p;
    p.symbol = int(rng() % 256);
    if (encodingTable(table).symbols[size_t(p.symbol)].length == 0) continue;
    const int s = p.symbol;
    // Every class A symbol means something; class B leaves 32, 124..238 and 251..253 out.
    p.valid = classA || (s <= 123 && s != 32) || (s >= 239 && s <= 250) || s >= 254;
    if (!classA && p.valid == invalid) continue;
    p.advance = 1;
    if (classA && s >= 252) p.advance = s - 251;
    if (!classA && s >= 65 && s <= 123) p.advance = s - 64;
    for (const ClassARunEscape& e : kClassARunEscapes)
      if (classA && s == e.symbol) p.extraBits = e.extraBits;
    for (const ClassAValueEscape& e : kClassAValueEscapes)
      if (classA && s == e.symbol) p.extraBits = e.extraBits;
    for (const ClassBRunEscape& e : kClassBRunEscapes)
      if (!classA && s == e.symbol) p.extraBits = e.extraBits;
    if (!classA && s == kClassBValueEscape10) p.extraBits = 10;
    if (!classA && s == kClassBValueEscape14) p.extraBits = 14;
    p.extra = p.extraBits > 0 ? uint32_t(rng()) >> (32 - p.extraBits) : 0;
    for (const ClassARunEscape& e : kClassARunEscapes)
      if (classA && s == e.symbol) p.advance = e.base + long(p.extra);
    for (const ClassBRunEscape& e : kClassBRunEscapes)
      if (!classA && s == e.symbol) p.advance = (e.base + 1 + long(p.extra)) % 65536;
    return p;
  }
}

} // namespace

TEST(BitReader, MarkersNeedAFollowingWordThatIsNotAllOnes) {
  const std::vector<uint8_t> bytes = wordsToBytes({0xFFFFFFFF, 0xFFFFFFFF, 0x12345678, 0xFFFFFFFF});
  BitReader r;
  r.Start(bytes.data(), uint32_t(bytes.size()));
  EXPECT_FALSE(r.IsMarker()); // followed by 0xFFFFFFFF: data
  uint32_t v = 0;
  EXPECT_EQ(r.Read(16, v), ERR_NONE);
  EXPECT_EQ(v, 0xFFFFu);
  EXPECT_EQ(r.Read(16, v), ERR_NONE);
  EXPECT_EQ(r.Read(8, v), ERR_MARKER_IN_DATA); // word 1 is a marker now
  EXPECT_TRUE(r.Sync());
  EXPECT_EQ(r.Read(12, v), ERR_NONE);
  EXPECT_EQ(v, 0x123u);
  EXPECT_EQ(r.Read(16, v), ERR_NONE);
  EXPECT_EQ(v, 0x4567u);
  EXPECT_EQ(r.Read(8, v), ERR_NONE); // the last word is never a marker
  EXPECT_EQ(v, 0x8Fu);
  EXPECT_EQ(r.Read(28, v) == ERR_NONE ? 0 : 1, 0);
  EXPECT_EQ(r.Read(1, v), ERR_END_OF_DATA);
  EXPECT_EQ(r.next, 4u);
}

TEST(BitReader, ReadsSpanWordsMostSignificantBitFirst) {
  const std::vector<uint8_t> bytes = {0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A, 0x01}; // trailing byte ignored
  BitReader r;
  r.Start(bytes.data(), uint32_t(bytes.size()));
  EXPECT_EQ(r.count, 2u);
  uint32_t v = 0;
  EXPECT_EQ(r.Read(4, v), ERR_NONE);
  EXPECT_EQ(v, 0x1u);
  EXPECT_EQ(r.Read(16, v), ERR_NONE);
  EXPECT_EQ(v, 0x2345u);
  EXPECT_EQ(r.Read(16, v), ERR_NONE); // 12 bits of word 0, 4 of word 1
  EXPECT_EQ(v, 0x6789u);
  EXPECT_EQ(r.pendingCount, 28u);
  r.SkipToMarker();
  EXPECT_EQ(r.next, 2u);
}

TEST(EntropyDecoding, EscapeValuesAtTheEdgesOfTheirRanges) {
  std::vector<BandContent> bands = emptyBands();
  const int band = 39; // Y lowest, decoded first among the lowest bands
  for (int type : {129, 131}) {
    bands[band].type = type;
    bands[band].quantiser = 8;
    auto write = [type](int b, BitWriter& w) {
      if (b != 39) return false;
      if (type == 129) {
        const CodeTableId t = CodeTableId::ClassA;
        for (uint32_t a : {128u, 127u, 0u}) {
          w.symbol(t, 0);
          w.bits(a, 8);
        }
        for (uint32_t a : {2048u, 2047u}) {
          w.symbol(t, 1);
          w.bits(a, 12);
        }
        for (uint32_t a : {32768u, 32767u, 0xFFFFu}) {
          w.symbol(t, 128);
          w.bits(a, 16);
        }
        w.symbol(t, 5);   // -123
        w.symbol(t, 251); // 123
        w.symbol(t, 4);   // run of 277 + 4095: far past the band's end
        w.bits(4095, 12);
      } else {
        const CodeTableId t = CodeTableId::ClassBType131;
        for (uint32_t g : {512u, 511u, 0u, 1023u}) {
          w.symbol(t, 255);
          w.bits(g, 10);
        }
        for (uint32_t e : {8192u, 8191u}) {
          w.symbol(t, 254);
          w.bits(e, 14);
        }
        w.symbol(t, 0);   // -32
        w.symbol(t, 64);  // 32
        w.symbol(t, 239); // run of 18490 + r, modulo 65536: 18490 + 47046 = 0
        w.bits(47046, 16);
        w.symbol(t, 123); // run of 59
        w.symbol(t, 33);  // 1
        w.symbol(t, 239); // to the end
        w.bits(0, 16);
      }
      return true;
    };
    const std::vector<uint8_t> field = buildField(0x40, bands, nullptr, write);
    bool ok = false;
    const std::vector<int16_t> s = decodedBand(field, band, ok);
    ASSERT_TRUE(ok);
    if (type == 129) {
      EXPECT_EQ(s[0], -251);
      EXPECT_EQ(s[1], 251);
      EXPECT_EQ(s[2], 124);
      EXPECT_EQ(s[3], -2299);
      EXPECT_EQ(s[4], 2299);
      EXPECT_EQ(s[5], int16_t(-35067)); // wraps to 30469
      EXPECT_EQ(s[6], int16_t(2300 + 32767));
      EXPECT_EQ(s[7], int16_t(32767 - 35067));
      EXPECT_EQ(s[8], -123);
      EXPECT_EQ(s[9], 123);
      for (size_t i = 10; i < s.size(); ++i) {
        ASSERT_EQ(s[i], 0);
      }
    } else {
      EXPECT_EQ(s[0], -544);
      EXPECT_EQ(s[1], 544);
      EXPECT_EQ(s[2], 33);
      EXPECT_EQ(s[3], -33);
      EXPECT_EQ(s[4], -8736);
      EXPECT_EQ(s[5], 8736);
      EXPECT_EQ(s[6], -32);
      EXPECT_EQ(s[7], 32);
      EXPECT_EQ(s[8 + 59], 1); // the zero-length run advanced nothing
      for (size_t i = 8; i < s.size(); ++i) {
        if (i != 8 + 59) {
          ASSERT_EQ(s[i], 0) << i;
        }
      }
    }
  }
}

TEST(EntropyDecoding, ZeroRunsCrossLineEndsAndFillFourSamplesPerShortCode) {
  std::vector<BandContent> bands = emptyBands();
  const int band = 39; // 23 x 18
  bands[band].type = 130;
  auto write = [](int b, BitWriter& w) {
    if (b != 39) return false;
    w.symbol(CodeTableId::ClassA, 2); // 5 + 15 = 20 zeros
    w.bits(15, 4);
    w.symbol(CodeTableId::ClassA, 200); // 72 at (line 0, column 20)
    w.symbol(CodeTableId::ClassA, 255); // 4 zeros: columns 21, 22 and line 1 columns 0, 1
    w.symbol(CodeTableId::ClassA, 100); // -28 at (1, 2)
    for (int i = 0; i < (23 * 18 - 26) / 4; ++i) w.symbol(CodeTableId::ClassA, 255); // the other 388
    return true;
  };
  const std::vector<uint8_t> field = buildField(0x40, bands, nullptr, write);
  bool ok = false;
  const std::vector<int16_t> s = decodedBand(field, band, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(s[20], 72);
  EXPECT_EQ(s[23 + 2], -28);
  int nonZero = 0;
  for (int16_t v : s) nonZero += v != 0;
  EXPECT_EQ(nonZero, 2);
}

TEST(EntropyDecoding, AllOnesDataWordsBeforeAMarkerAreData) {
  // The last band ends in two 0xFFFFFFFF words: neither is a marker (the first is followed by
  // 0xFFFFFFFF, the second is the stream's last word). Earlier, a band ending on a word
  // boundary leaves its successor's marker exactly at the read position.
  std::vector<BandContent> bands = emptyBands();
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 0);
  const int last = kBandOrder[41];
  const int samples = g.bands[last].width * g.bands[last].height;
  bands[last].type = 129;
  bands[last].samples.assign(size_t(samples), 0);
  for (int i = samples - 4; i < samples; ++i) bands[last].samples[size_t(i)] = 123; // all-ones code (16 bits)
  bands[39].type = 129;
  bands[39].samples.assign(size_t(23 * 18), 0);
  bands[39].samples.back() = 123;
  auto write = [&](int b, BitWriter& w) {
    if (b != last && b != 39) return false;
    // Zeros with a run layout that ends on a word boundary, then the 123s.
    const int zeros = b == last ? samples - 4 : 23 * 18 - 1;
    for (int ones = 0; ones < 32; ++ones) {
      BitWriter trial = w;
      for (int i = 0; i < ones; ++i) trial.symbol(CodeTableId::ClassA, 252);
      encodeClassA(trial, BandSamples(size_t(zeros - ones), 0));
      if (trial.aligned()) {
        w = trial;
        break;
      }
    }
    EXPECT_TRUE(w.aligned());
    for (int i = 0; i < (b == last ? 4 : 2); ++i) w.symbol(CodeTableId::ClassA, 251); // second one: 16 bits of padding
    return true;
  };
  const std::vector<uint8_t> field = buildField(0x40, bands, nullptr, write);
  ASSERT_EQ(field.size() % 4, 0u);
  ASSERT_EQ(field[field.size() - 1], 0xFF);
  ASSERT_EQ(field[field.size() - 5], 0xFF);
  for (EngineKind engine : {EngineKind::Portable, EngineKind::Mmx}) {
    ReferencePicture p;
    p.mmx = engine == EngineKind::Mmx;
    std::vector<uint8_t> expected(720 * 576 * 3 + 64, kUntouched);
    const int width = referenceField(p, bands, 0, expected, 576);
    DecodeSetup s;
    s.engine = engine;
    const DecodeRun run = runDecoder(s, &field, nullptr);
    ASSERT_TRUE(run.ok()) << run.errorStage << " band " << run.errorBand;
    for (int row = 1; row < 576; row += 2)
      ASSERT_EQ(0, memcmp(&run.frame[size_t(row) * width * 3], &expected[size_t(row) * width * 3], size_t(width) * 3));
  }
}

TEST(EntropyDecoding, EmptyAndSkippedBandsStayZeroAndSkipToTheNextMarker) {
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 0);
  std::vector<BandContent> bands = randomBands(g, 41);
  bands[kBandOrder[3]] = BandContent{143, 8, {}};
  // Junk words after an empty band's header are skipped up to the next marker.
  auto junkNoMarker = [&](int b, BitWriter& w) {
    if (b != kBandOrder[3]) return false;
    w.padWithOnes();
    w.word(0x12345678);
    w.word(0x0000FFFF);
    return true;
  };
  const std::vector<uint8_t> field = buildField(0x40, bands, nullptr, junkNoMarker);
  const std::vector<uint8_t> second = buildField(0x41, bands);
  for (EngineKind engine : {EngineKind::Portable, EngineKind::Mmx}) {
    for (int levels : {0, 2}) {
      ReferencePicture p;
      p.mmx = engine == EngineKind::Mmx;
      p.levels = levels;
      std::vector<uint8_t> expected(720 * 576 * 3 + 64, kUntouched);
      const int rows = referenceOutputLines(p);
      const int width = referenceField(p, bands, 0, expected, rows);
      if (levels == 0) referenceField(p, bands, 1, expected, rows);
      DecodeSetup s;
      s.engine = engine;
      s.levels = levels;
      const DecodeRun run = runDecoder(s, &field, levels == 0 ? &second : nullptr);
      ASSERT_TRUE(run.ok());
      ASSERT_EQ(0, memcmp(run.frame.data(), expected.data(), size_t(width) * rows * 3));
    }
  }
  // With levels 2 the level-0 and level-1 bands are never decoded: garbage in them is harmless.
  std::vector<uint8_t> damaged = buildField(0x40, bands, nullptr, [](int b, BitWriter& w) {
    if (levelOfSlot(slotOfBand(b)) >= 2) return false;
    w.padWithOnes();
    w.word(0xFFFFFFFF); // followed by a marker: data, never read
    return true;
  });
  DecodeSetup s;
  s.levels = 2;
  EXPECT_TRUE(runDecoder(s, &damaged, nullptr).ok());
  s.levels = 0;
  EXPECT_FALSE(runDecoder(s, &damaged, nullptr).ok());
}

TEST(EntropyDecoding, SkippedLevelsIgnoreTheSecondField) {
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 0);
  const std::vector<uint8_t> field = buildField(0x40, randomBands(g, 51));
  const std::vector<uint8_t> garbage(100, 0x00);
  DecodeSetup s;
  s.levels = 1;
  const DecodeRun run = runDecoder(s, &field, &garbage);
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(run.outHeight, 288);
  s.levels = 0;
  EXPECT_EQ(runDecoder(s, &field, &garbage).result, DEC_BAD_HEADER);
}

TEST(DecoderRegion, RegionsOutsideThePictureBecomeTheWholePicture) {
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 0);
  const std::vector<uint8_t> first = buildField(0x40, randomBands(g, 61));
  const std::vector<uint8_t> second = buildField(0x41, randomBands(g, 62));
  DecodeSetup s;
  const DecodeRun whole = runDecoder(s, &first, &second);
  ASSERT_TRUE(whole.ok());
  for (auto [start, end] : {std::pair{0, 800}, std::pair{10, 730}, std::pair{-8, 600}, std::pair{500, 400}}) {
    s.colStart = start;
    s.colEnd = end;
    const DecodeRun run = runDecoder(s, &first, &second);
    ASSERT_TRUE(run.ok());
    EXPECT_EQ(run.region.colStart, 0);
    EXPECT_EQ(run.region.colEnd, 720);
    EXPECT_EQ(run.outWidth, 720);
    EXPECT_EQ(run.frame, whole.frame);
  }
  // A region inside the picture stays and crops the columns.
  s.colStart = 100;
  s.colEnd = 500;
  const DecodeRun cropped = runDecoder(s, &first, &second);
  ASSERT_TRUE(cropped.ok());
  EXPECT_EQ(cropped.outWidth, 400);
  for (int row = 0; row < 576; ++row)
    ASSERT_EQ(0, memcmp(&cropped.frame[size_t(row) * 400 * 3], &whole.frame[(size_t(row) * 720 + 100) * 3], 400 * 3));
}

TEST(PictureSplit, SecondFieldStartsPastTheGapAndLengthsAreChecked) {
  std::vector<uint8_t> payload(4 + 10 + 516, 0xAB);
  payload[0] = 10;
  payload[1] = payload[2] = payload[3] = 0;
  FieldStreams f;
  ASSERT_TRUE(splitPicturePayload(payload.data(), uint32_t(payload.size()), f));
  EXPECT_EQ(f.firstData, payload.data() + 4);
  EXPECT_EQ(f.firstLength, 10);
  EXPECT_EQ(f.secondData, nullptr);
  payload.push_back(0x77); // one byte more: a second field of one byte
  ASSERT_TRUE(splitPicturePayload(payload.data(), uint32_t(payload.size()), f));
  ASSERT_NE(f.secondData, nullptr);
  EXPECT_EQ(f.secondLength, 1);
  EXPECT_EQ(*f.secondData, 0x77);
  // A first field right up to the end is fine; one byte more is not.
  payload[0] = uint8_t(payload.size() - 4);
  payload[1] = uint8_t((payload.size() - 4) >> 8);
  EXPECT_TRUE(splitPicturePayload(payload.data(), uint32_t(payload.size()), f));
  EXPECT_EQ(f.secondData, nullptr);
  payload[0] = uint8_t(payload.size() - 3);
  EXPECT_FALSE(splitPicturePayload(payload.data(), uint32_t(payload.size()), f));
  payload[3] = 0xFF; // a huge length word
  EXPECT_FALSE(splitPicturePayload(payload.data(), uint32_t(payload.size()), f));
  EXPECT_FALSE(splitPicturePayload(payload.data(), 3, f));
  EXPECT_FALSE(splitPicturePayload(nullptr, 100, f));
}

TEST(EntropyDecoding, MatchesANaiveReaderOnIntactAndDamagedStreams) {
  // Every kind of damage a stream may suffer, at random places: the fast reader must agree
  // with the bit-at-a-time model on the result, the error record and every decoded sample.
  // The four-lane engine keeps values as coded until the transform.
  std::unique_ptr<CWaveletEngine> owned = createWaveletEngine(EngineKind::Mmx);
  CWaveletEngine& engine = *owned;
  DecodeSettings settings;
  std::mt19937 rng(77);
  int failures = 0;
  for (int variant = 0; variant < 240; ++variant) {
    settings.levels = variant % 7 == 6 ? 2 : 0;
    ASSERT_TRUE(engine.Init(200, 288, settings));
    const SubbandGeometry& g = engine.geometry();
    std::vector<BandContent> bands = randomBands(g, uint32_t(variant / 8), variant % 3 == 0 ? 400 : 40);
    if (variant % 5 == 0) bands[kBandOrder[3]].type = 143;
    std::vector<uint8_t> field = buildField(0x40 + variant % 2, bands);
    const size_t words = field.size() / 4;
    auto at = [&](size_t lo) { return std::uniform_int_distribution<size_t>(lo, words - 1)(rng); };
    auto setWord = [&](size_t w, uint32_t v) { le::writeU32(field.data() + 4 * w, v); };
    switch (variant % 8) {
    case 0: // intact
      break;
    case 1: // flipped bits
      for (int k = 0; k < 3; ++k) field[at(5) * 4 + rng() % 4] ^= uint8_t(1u << (rng() % 8));
      break;
    case 2: // cut short, also inside a word
      field.resize(at(5) * 4 + rng() % 4);
      break;
    case 3: // a marker in band data
      setWord(at(6), 0xFFFFFFFFu);
      break;
    case 4: // two all-ones words (data, not a marker), then garbage
      setWord(at(6), 0xFFFFFFFFu);
      setWord(at(6), 0xFFFFFFFFu);
      field[at(6) * 4] ^= 0x5A;
      break;
    case 5: { // a word lost
      const long lost = long(at(5) * 4);
      field.erase(field.begin() + lost, field.begin() + lost + 4);
      break;
    }
    case 6: // random bytes after the header
      for (size_t i = 20 + rng() % (field.size() - 20); i < field.size(); ++i) field[i] = uint8_t(rng());
      break;
    default: // a stream that ends right after a band's last code
      field.resize(std::min(field.size(), size_t(4 * (6 + rng() % 200))));
      break;
    }
    SCOPED_TRACE("variant " + std::to_string(variant));
    bool ok = false;
    ASSERT_NO_FATAL_FAILURE(ok = decodesAsTheNaiveReader(engine, field, settings.levels));
    if (!ok) ++failures;
  }
  EXPECT_GT(failures, 90); // the damage did reach the error paths
}

TEST(EntropyDecoding, EverySymbolWithRandomExtraBitsMatchesTheNaiveReader) {
  // Bands written symbol by symbol, drawn evenly from each table's alphabet: the longest codes,
  // every escape with random extra bits (class B runs that wrap to 0 included) and, in some
  // fields, one symbol outside the alphabet. These are the symbols the fast reader's pair
  // lookup leaves to its general path.
  std::unique_ptr<CWaveletEngine> owned = createWaveletEngine(EngineKind::Mmx);
  CWaveletEngine& engine = *owned;
  DecodeSettings settings;
  ASSERT_TRUE(engine.Init(200, 288, settings));
  const SubbandGeometry& g = engine.geometry();
  int failures = 0;
  for (uint32_t seed = 0; seed < 24; ++seed) {
    std::mt19937 rng(seed);
    const bool withInvalid = seed % 3 == 2;
    const std::vector<BandContent> bands = randomBands(g, seed);
    const std::vector<uint8_t> field = buildField(0x40, bands, nullptr, [&](int b, BitWriter& w) {
      const SubbandDescriptor& d = g.bands[b];
      CodeTableId table{};
      if (d.kind == BandKind::Lowest || !codeTableForBandType(bands[b].type, table)) return false;
      const long samples = long(d.width) * d.height;
      const long invalidAt = withInvalid ? long(rng() % uint32_t(samples)) : -1;
      for (long position = 0; position < samples;) {
        const SymbolPick pick = pickSymbol(table, rng, withInvalid && position >= invalidAt);
        w.symbol(table, pick.symbol);
        if (pick.extraBits > 0) w.bits(pick.extra, pick.extraBits);
        if (!pick.valid) break;
        position += std::max(pick.advance, 1L);
      }
      return true;
    });
    SCOPED_TRACE("seed " + std::to_string(seed));
    bool ok = false;
    ASSERT_NO_FATAL_FAILURE(ok = decodesAsTheNaiveReader(engine, field, 0));
    if (!ok) ++failures;
  }
  EXPECT_GE(failures, 8); // the fields with a symbol outside the alphabet
}
