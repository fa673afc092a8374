// The decoder under allocation failure: it runs on a worker thread inside a browser, so a
// failed allocation must become a failed decode with DEC_NO_MEMORY, never an exception, and
// must leave nothing behind. Allocations fail on cue through the counted allocation functions.
#include "StreamWriter.h"
#include "decoder/WaveletDecoder.h"
#include "tests/support/CountedAllocation.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

using namespace wavelet;
using namespace wavelet::test;

namespace {

struct Picture {
  int width, height;
  std::vector<uint8_t> first, second;
  std::vector<uint8_t> frame;
};

Picture makePicture(int width, int height) {
  Picture p{width, height, {}, {}, std::vector<uint8_t>(size_t(width) * height * 3)};
  const SubbandGeometry g = buildSubbandGeometry(width, height / 2, 0);
  p.first = buildField(0x40, randomBands(g, 3));
  p.second = buildField(0x41, randomBands(g, 4));
  return p;
}

// Decodes with the given engine, or with one the decoder creates; the allocations from the
// `failFrom`th on (0: the first; -1: none) fail. Reports whether an exception escaped.
bool Decode(Picture& p, CWaveletEngine* engine, EngineKind kind, long failFrom, int32_t& result, bool& threw) {
  if (failFrom >= 0) testsupport::failAllocation(failFrom, true);
  bool ok = false;
  threw = false;
  try {
    std::unique_ptr<CWaveletDecoder> owned;
    CWaveletDecoder* decoder = nullptr;
    if (engine != nullptr) {
      owned.reset(new (std::nothrow) CWaveletDecoder(p.width, p.height, *engine));
    } else {
      owned.reset(new (std::nothrow) CWaveletDecoder(p.width, p.height, kind));
    }
    decoder = owned.get();
    if (decoder == nullptr) { // the decoder object itself is the caller's allocation
      testsupport::stopFailingAllocations();
      result = -1;
      return false;
    }
    DecodeSettings settings;
    settings.firstFieldData = p.first.data();
    settings.firstFieldLength = int32_t(p.first.size());
    settings.secondFieldData = p.second.data();
    settings.secondFieldLength = int32_t(p.second.size());
    settings.output = p.frame.data();
    settings.outputSize = p.frame.size();
    const DecodeReport report = decoder->Decode(settings);
    ok = report.ok();
    result = report.result;
  } catch (...) {
    threw = true;
  }
  testsupport::stopFailingAllocations();
  return ok;
}

} // namespace

TEST(DecoderAllocation, EveryFailedAllocationGivesNoMemoryWithoutLeaks) {
  for (EngineKind kind : {EngineKind::Portable, EngineKind::Mmx}) {
    Picture p = makePicture(200, 288);
    long step = 1; // allocation 0 is the decoder object, made by the caller
    for (; step < 20; ++step) {
      const long aliveBefore = testsupport::blocksAlive();
      const long countBefore = testsupport::allocationCount();
      int32_t result = -1;
      bool threw = false;
      const bool ok = Decode(p, nullptr, kind, step, result, threw);
      EXPECT_FALSE(threw) << "allocation " << step;
      EXPECT_EQ(testsupport::blocksAlive(), aliveBefore) << "allocation " << step << " failed and left blocks behind";
      if (testsupport::allocationCount() - countBefore <= step) { // nothing failed: the decode needs fewer allocations
        EXPECT_TRUE(ok);
        break;
      }
      EXPECT_FALSE(ok) << "allocation " << step << " failed but the decode succeeded";
      EXPECT_EQ(result, DEC_NO_MEMORY) << "allocation " << step;
    }
    EXPECT_EQ(step, 3) << "the engine and its working buffer"; // then it succeeded
  }
}

TEST(DecoderAllocation, AReusedEngineKeepsDecodingAfterItsBufferCouldNotGrow) {
  std::unique_ptr<CWaveletEngine> engine = createWaveletEngine(EngineKind::Mmx);
  ASSERT_TRUE(engine);
  Picture small = makePicture(200, 288);
  Picture large = makePicture(720, 576);
  int32_t result = -1;
  bool threw = false;
  ASSERT_TRUE(Decode(small, engine.get(), EngineKind::Mmx, -1, result, threw));
  const std::vector<uint8_t> smallFrame = small.frame;

  // The decoder object comes from the caller's own allocation (index 0); the larger buffer fails.
  EXPECT_FALSE(Decode(large, engine.get(), EngineKind::Mmx, 1, result, threw));
  EXPECT_FALSE(threw);
  EXPECT_EQ(result, DEC_NO_MEMORY);

  std::fill(small.frame.begin(), small.frame.end(), uint8_t(0));
  EXPECT_TRUE(Decode(small, engine.get(), EngineKind::Mmx, 1, result, threw)) << "the old buffer still serves";
  EXPECT_EQ(small.frame, smallFrame);
  EXPECT_TRUE(Decode(large, engine.get(), EngineKind::Mmx, -1, result, threw));
}

TEST(DecoderAllocation, NoEngineWithoutMemory) {
  testsupport::failAllocation(0, true);
  std::unique_ptr<CWaveletEngine> engine = createWaveletEngine(EngineKind::Portable);
  testsupport::stopFailingAllocations();
  EXPECT_EQ(engine, nullptr);
}
