// Decoded pictures against the naive reference model, for both engines and every SIMD level.
#include "DecoderTestSupport.h"

#include "decoder/MmxKernels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace wavelet;
using namespace wavelet::test;

namespace {

struct Fields {
  std::vector<BandContent> firstBands, secondBands;
  std::vector<uint8_t> first, second;
};

Fields makeFields(int width, int fieldLines, uint32_t seed, int maxDetail = 40, int firstParity = 0x40) {
  const SubbandGeometry g = buildSubbandGeometry(width, fieldLines, 0);
  Fields f;
  f.firstBands = randomBands(g, seed, maxDetail);
  f.secondBands = randomBands(g, seed + 100, maxDetail);
  f.first = buildField(firstParity, f.firstBands);
  f.second = buildField(firstParity ^ 1, f.secondBands);
  return f;
}

// Expected frame: the reference model run on the same band contents.
std::vector<uint8_t> expectedFrame(const ReferencePicture& p, const Fields& f, bool withSecond, int& width) {
  const int rows = referenceOutputLines(p);
  std::vector<uint8_t> frame(size_t(p.width) * p.height * 3 + 64, kUntouched);
  width = referenceField(p, f.firstBands, f.first[7] == 0x41 ? 1 : 0, frame, rows);
  if (withSecond && p.levels == 0) referenceField(p, f.secondBands, f.second[7] == 0x41 ? 1 : 0, frame, rows);
  return frame;
}

void expectSameFrame(const DecodeRun& run, const std::vector<uint8_t>& expected, int width, int rows) {
  ASSERT_TRUE(run.ok()) << "result " << run.result << " stage " << run.errorStage;
  ASSERT_EQ(run.outWidth, width);
  ASSERT_EQ(run.outHeight, rows);
  ASSERT_EQ(run.outputSize, width * rows * 3);
  const size_t used = size_t(width) * rows * 3;
  for (size_t i = 0; i < used; ++i)
    ASSERT_EQ(int(run.frame[i]), int(expected[i])) << "byte " << i << " (row " << i / (3 * width) << ")";
  for (size_t i = used; i < run.frame.size(); ++i)
    ASSERT_EQ(run.frame[i], kUntouched) << "written past the frame at " << i;
}

struct EngineCase {
  EngineKind engine;
  SimdLevel simd;
};
const EngineCase kEngines[] = {{EngineKind::Portable, SimdLevel::Automatic},
                               {EngineKind::Mmx, SimdLevel::Scalar},
                               {EngineKind::Mmx, SimdLevel::Sse2},
                               {EngineKind::Mmx, SimdLevel::Avx2}};

// Decodes both fields of `f` (a picture `width` wide) with engine `e` and compares the frame
// with the reference model's.
void expectTwoFieldsMatchTheReference(const EngineCase& e, const Fields& f, int width, int levels, int colEnd) {
  ReferencePicture p;
  p.width = width;
  p.levels = levels;
  p.mmx = e.engine == EngineKind::Mmx;
  p.colEnd = colEnd;
  int outWidth = 0;
  const std::vector<uint8_t> expected = expectedFrame(p, f, true, outWidth);
  DecodeSetup s;
  s.engine = e.engine;
  s.simd = e.simd;
  s.width = width;
  s.levels = levels;
  s.colEnd = colEnd;
  expectSameFrame(runDecoder(s, &f.first, &f.second), expected, outWidth, referenceOutputLines(p));
}

} // namespace

TEST(DecoderOutput, TwoFieldPicturesMatchTheReferenceAtEveryLevel) {
  const Fields f = makeFields(720, 288, 1);
  for (const EngineCase& e : kEngines)
    for (int levels = 0; levels <= 5; ++levels) {
      SCOPED_TRACE(testing::Message() << "engine " << int(e.engine) << " simd " << int(e.simd) << " levels " << levels);
      expectTwoFieldsMatchTheReference(e, f, 720, levels, levels >= 2 ? 688 : 696);
    }
}

TEST(DecoderOutput, OtherPictureWidthsMatchTheReference) {
  // Widths whose lines and columns end at other points of the kernels' blocks than 720 does:
  // band widths that are whole blocks, odd lengths, bands placed after a gap.
  for (int width : {704, 650})
    for (const EngineCase& e : kEngines)
      for (int levels : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "width " << width << " engine " << int(e.engine) << " simd " << int(e.simd)
                                        << " levels " << levels);
        expectTwoFieldsMatchTheReference(e, makeFields(width, 288, 30 + width), width, levels, width / 16 * 16);
      }
}

TEST(DecoderOutput, OutputWidthsFollowEachEnginesPixelGrouping) {
  const Fields f = makeFields(720, 288, 2);
  const int portableWidths[] = {696, 348, 172, 84, 40};
  const int mmxWidths[] = {696, 344, 168, 80, 40};
  for (int levels = 0; levels <= 4; ++levels) {
    DecodeSetup s;
    s.levels = levels;
    s.colEnd = wavelet::kColumnLimits[levels];
    s.engine = EngineKind::Portable;
    EXPECT_EQ(runDecoder(s, &f.first, &f.second).outWidth, portableWidths[levels]);
    s.engine = EngineKind::Mmx;
    EXPECT_EQ(runDecoder(s, &f.first, &f.second).outWidth, mmxWidths[levels]);
  }
}

TEST(DecoderOutput, The525LineStandardPutsParityZeroOnTheSecondLine) {
  const Fields f = makeFields(720, 243, 3);
  for (const EngineCase& e : kEngines) {
    ReferencePicture p;
    p.height = 486;
    p.mmx = e.engine == EngineKind::Mmx;
    int width = 0;
    const std::vector<uint8_t> expected = expectedFrame(p, f, true, width);
    DecodeSetup s;
    s.engine = e.engine;
    s.simd = e.simd;
    s.height = 486;
    expectSameFrame(runDecoder(s, &f.first, &f.second), expected, width, 486);
    // Only the first field: its lines are the odd picture lines, i.e. buffer rows 484, 482, ...
    s.levels = 0;
    const DecodeRun single = runDecoder(s, &f.first, nullptr);
    ASSERT_TRUE(single.ok());
    const size_t rowBytes = size_t(width) * 3;
    for (int row = 0; row + 1 < 486; row += 2) // field rows are even, doubled onto the odd ones above
      ASSERT_EQ(0, memcmp(&single.frame[row * rowBytes], &expected[row * rowBytes], rowBytes)) << row;
  }
}

TEST(DecoderOutput, OneFieldAtFullScaleRepeatsEveryLineIntoTheMissingField) {
  for (int parityByte : {0x40, 0x41}) {
    const Fields f = makeFields(720, 288, 4, 40, parityByte);
    for (const EngineCase& e : kEngines) {
      DecodeSetup s;
      s.engine = e.engine;
      s.simd = e.simd;
      s.colEnd = 696;
      const DecodeRun run = runDecoder(s, &f.first, nullptr);
      ASSERT_TRUE(run.ok());
      ASSERT_EQ(run.outHeight, 576);
      const size_t rowBytes = size_t(run.outWidth) * 3;
      ReferencePicture p;
      p.mmx = e.engine == EngineKind::Mmx;
      p.colEnd = 696;
      int width = 0;
      const std::vector<uint8_t> expected = expectedFrame(p, f, false, width);
      const int fieldRow = parityByte == 0x40 ? 1 : 0; // parity 0 fills the top line = highest odd row
      for (int k = 0; k < 288; ++k) {
        const uint8_t* field = &run.frame[(2 * k + fieldRow) * rowBytes];
        const uint8_t* copy = &run.frame[(2 * k + 1 - fieldRow) * rowBytes];
        ASSERT_EQ(0, memcmp(field, &expected[(2 * k + fieldRow) * rowBytes], rowBytes)) << k;
        ASSERT_EQ(0, memcmp(field, copy, rowBytes)) << k;
      }
    }
  }
}

TEST(DecoderOutput, StretchedRowsAreTheDecodedRowsStretchedByNearestPixel) {
  const Fields f = makeFields(720, 288, 9);
  struct Case {
    int levels;
    bool secondField; // without it the rows of the missing field are repeated
    int outputWidth;
    int outputStride;
  };
  const Case cases[] = {{0, true, 720, 2160},  {0, false, 720, 2160}, {0, true, 361, 1084},
                        {2, true, 1024, 3072}, {0, true, 696, 2100},  {1, false, 100, 300}};
  for (const EngineCase& e : kEngines)
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "engine " << int(e.engine) << " simd " << int(e.simd) << " levels " << c.levels
                                      << " width " << c.outputWidth);
      DecodeSetup s;
      s.engine = e.engine;
      s.simd = e.simd;
      s.levels = c.levels;
      s.colEnd = 696;
      const std::vector<uint8_t>* second = c.secondField ? &f.second : nullptr;
      const DecodeRun plain = runDecoder(s, &f.first, second);
      ASSERT_TRUE(plain.ok());
      s.outputWidth = c.outputWidth;
      s.outputStride = c.outputStride;
      const DecodeRun run = runDecoder(s, &f.first, second);
      ASSERT_TRUE(run.ok()) << run.result;
      ASSERT_EQ(run.outWidth, plain.outWidth);
      ASSERT_EQ(run.outHeight, plain.outHeight);
      for (int row = 0; row < run.outHeight; ++row)
        for (int x = 0; x < c.outputWidth; ++x) {
          const size_t from = (size_t(row) * plain.outWidth + size_t(x) * plain.outWidth / c.outputWidth) * 3;
          const size_t to = size_t(row) * c.outputStride + size_t(x) * 3;
          ASSERT_EQ(0, memcmp(&run.frame[to], &plain.frame[from], 3)) << "row " << row << " pixel " << x;
        }
      for (size_t i = size_t(run.outHeight) * c.outputStride; i < run.frame.size(); ++i)
        ASSERT_EQ(run.frame[i], kUntouched) << "written past the rows at " << i;
    }

  // Rows wider than the stretch allows, a stride short of a row, a buffer short of the rows.
  const DecodeSetup refused[] = {{.outputWidth = 1025, .outputStride = 3075},
                                 {.outputWidth = 720, .outputStride = 2159},
                                 {.capacity = 2160L * 576 - 1, .outputWidth = 720, .outputStride = 2160}};
  for (const DecodeSetup& s : refused) EXPECT_EQ(runDecoder(s, &f.first, &f.second).result, DEC_NO_OUTPUT);
}

TEST(DecoderOutput, SingleFieldPicturesWithOddLineCountsStayInsideTheFrame) {
  // 243 lines in one field: two source lines share an output line at levels >= 1.
  const SubbandGeometry g = buildSubbandGeometry(720, 243, 0);
  const std::vector<BandContent> bands = randomBands(g, 5);
  const std::vector<uint8_t> field = buildField(0x40, bands);
  for (const EngineCase& e : kEngines)
    for (int levels = 0; levels <= 5; ++levels) {
      SCOPED_TRACE(testing::Message() << "levels " << levels);
      ReferencePicture p;
      p.height = 243;
      p.twoFields = false;
      p.levels = levels;
      p.mmx = e.engine == EngineKind::Mmx;
      const int rows = referenceOutputLines(p);
      std::vector<uint8_t> expected(size_t(720) * 243 * 3 + 64, kUntouched);
      const int width = referenceField(p, bands, 0, expected, rows);
      DecodeSetup s;
      s.engine = e.engine;
      s.simd = e.simd;
      s.height = 243;
      s.twoFields = false;
      s.levels = levels;
      expectSameFrame(runDecoder(s, &field, nullptr), expected, width, rows);
    }
}

TEST(DecoderOutput, SimdKernelsGiveTheScalarModelsBytesOnExtremeCoefficients) {
  // Large detail values drive the 16-bit sums into wrap-around and the colours into saturation.
  for (uint32_t seed : {11u, 12u, 13u}) {
    const Fields f = makeFields(720, 288, seed, 600);
    for (int levels : {0, 1, 3}) {
      DecodeSetup s;
      s.engine = EngineKind::Mmx;
      s.levels = levels;
      s.simd = SimdLevel::Scalar;
      const DecodeRun scalar = runDecoder(s, &f.first, &f.second);
      ASSERT_TRUE(scalar.ok());
      for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2}) {
        s.simd = level;
        const DecodeRun simd = runDecoder(s, &f.first, &f.second);
        ASSERT_TRUE(simd.ok());
        EXPECT_EQ(scalar.frame, simd.frame) << "seed " << seed << " levels " << levels << " simd " << int(level);
      }
    }
  }
}

TEST(DecoderOutput, EnginesAgreeWithinTheirRoundingDifference) {
  // With quantisers that are multiples of 4 both engines scale bands alike (q/8 against
  // twice q/4 at double scale); what is left are the rounding differences of the taps.
  Fields f = makeFields(720, 288, 21);
  for (std::vector<BandContent>* bands : {&f.firstBands, &f.secondBands})
    for (BandContent& b : *bands) b.quantiser = int16_t(b.quantiser & ~3);
  f.first = buildField(0x40, f.firstBands);
  f.second = buildField(0x41, f.secondBands);
  for (int levels = 0; levels <= 4; ++levels) {
    DecodeSetup s;
    s.levels = levels;
    s.colEnd = 640; // a multiple of 8 at every level: both engines deliver the same width
    s.engine = EngineKind::Portable;
    const DecodeRun portable = runDecoder(s, &f.first, &f.second);
    s.engine = EngineKind::Mmx;
    const DecodeRun mmx = runDecoder(s, &f.first, &f.second);
    ASSERT_TRUE(portable.ok() && mmx.ok());
    ASSERT_EQ(portable.outWidth, mmx.outWidth);
    int worst = 0;
    long total = 0;
    const size_t used = size_t(portable.outputSize);
    for (size_t i = 0; i < used; ++i) {
      const int d = std::abs(int(portable.frame[i]) - int(mmx.frame[i]));
      worst = std::max(worst, d);
      total += d;
    }
    // The four-lane taps floor every product (a bias of about two steps after all levels);
    // a wrong filter or scale would be off by tens.
    EXPECT_LE(worst, 6) << "levels " << levels;
    EXPECT_LT(double(total) / used, 2.5) << "levels " << levels;
  }
}

TEST(DecoderOutput, EmptyBandsGiveMidGreyAndLevelFiveShowsTheLowestBandsOnly) {
  std::vector<BandContent> empty(kBandCount);
  for (BandContent& b : empty) b.type = 143;
  const std::vector<uint8_t> grey = buildField(0x40, empty);
  const std::vector<uint8_t> otherGrey = buildField(0x41, empty);
  for (const EngineCase& e : kEngines) {
    DecodeSetup s;
    s.engine = e.engine;
    s.simd = e.simd;
    const DecodeRun run = runDecoder(s, &grey, &otherGrey);
    ASSERT_TRUE(run.ok());
    for (int i = 0; i < run.outputSize; ++i) ASSERT_EQ(run.frame[i], 130) << i;
  }

  // Lowest luminance band at studio black and at a very large value; no transform at level 5.
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 5);
  for (int value : {-3584, 16000}) {
    std::vector<BandContent> bands(kBandCount);
    for (int b = 0; b < kBandCount; ++b) {
      bands[b].type = 143;
      if (g.bands[b].kind == BandKind::Lowest) {
        bands[b].type = 129;
        bands[b].samples.assign(size_t(g.bands[b].width) * g.bands[b].height, b == 39 ? value : 0);
      }
    }
    const std::vector<uint8_t> field = buildField(0x40, bands);
    DecodeSetup s;
    s.levels = 5;
    s.engine = EngineKind::Portable;
    const DecodeRun portable = runDecoder(s, &field, nullptr);
    s.engine = EngineKind::Mmx;
    const DecodeRun mmx = runDecoder(s, &field, nullptr);
    ASSERT_TRUE(portable.ok() && mmx.ok());
    EXPECT_EQ(portable.outWidth, 22);
    EXPECT_EQ(portable.outHeight, 18);
    EXPECT_EQ(mmx.outWidth, 16);
    EXPECT_EQ(portable.frame[0], value < 0 ? 1 : 254);
    EXPECT_EQ(mmx.frame[0], value < 0 ? 0 : 255);
  }
}

TEST(DecoderOutput, AReusedEngineGivesAFreshEnginesBytesWhateverItDecodedBefore) {
  // An engine clears only the part of its planes that a picture's bands cover: nothing a
  // larger earlier picture left behind may show through at a smaller scale.
  const Fields loud = makeFields(720, 288, 21, 400), quiet = makeFields(720, 288, 22);
  for (EngineKind kind : {EngineKind::Portable, EngineKind::Mmx}) {
    std::unique_ptr<CWaveletEngine> engine = createWaveletEngine(kind);
    for (int levels : {0, 3, 1, 5, 2, 4}) {
      const Fields& f = levels % 2 == 0 ? loud : quiet;
      std::vector<uint8_t> reused(720 * 576 * 3, 0), fresh(720 * 576 * 3, 0);
      for (bool useFresh : {false, true}) {
        std::unique_ptr<CWaveletEngine> own = createWaveletEngine(kind);
        CWaveletDecoder decoder(720, 576, useFresh ? *own : *engine);
        DecodeSettings settings;
        settings.levels = levels;
        settings.firstFieldData = f.first.data();
        settings.firstFieldLength = int32_t(f.first.size());
        settings.secondFieldData = f.second.data();
        settings.secondFieldLength = int32_t(f.second.size());
        settings.output = (useFresh ? fresh : reused).data();
        settings.outputSize = reused.size();
        ASSERT_TRUE(decoder.Decode(settings).ok());
      }
      EXPECT_EQ(reused, fresh) << "engine " << int(kind) << " levels " << levels;
    }
  }
}

TEST(DecoderOutput, GoldenChecksums) {
  // Pins the exact output of both engines on a fixed picture; the reference tests above say
  // why the bytes are right, this one notices any change.
  const Fields f = makeFields(720, 288, 7);
  struct Case {
    EngineKind engine;
    int levels;
    uint32_t checksum;
  };
  const Case cases[] = {{EngineKind::Portable, 0, 878857990u},
                        {EngineKind::Portable, 2, 4108576361u},
                        {EngineKind::Mmx, 0, 271272437u},
                        {EngineKind::Mmx, 2, 2246373131u}};
  for (const Case& c : cases) {
    DecodeSetup s;
    s.engine = c.engine;
    s.levels = c.levels;
    s.colEnd = c.levels == 0 ? 696 : 688;
    const DecodeRun run = runDecoder(s, &f.first, &f.second);
    ASSERT_TRUE(run.ok());
    EXPECT_EQ(checksum(run.frame.data(), size_t(run.outputSize)), c.checksum)
        << "engine " << int(c.engine) << " levels " << c.levels;
  }
}
