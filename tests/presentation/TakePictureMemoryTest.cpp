// takePicture when the viewer's record cannot grow: nothing broken is offered to the
// Decoder thread, the viewer says "No memory!" and goes on with the next picture.
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

namespace {
std::atomic<std::size_t> refusedSize{0}; // array allocations of exactly this size fail
}

// The nothrow array form is what picture records grow with; everything else passes through.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (size != 0 && size == refusedSize.load()) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

TEST(TakePicture, RecordThatCannotGrowIsNotOffered) {
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  std::vector<std::uint8_t> small = testsupport::encodedTestPicture(0);
  h.park(small, 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));

  // A larger picture whose copy cannot be allocated.
  std::vector<std::uint8_t> large = small;
  large.resize(small.size() + 4096, 0);
  h.park(large, 1001, 2); // the slot holds it; the 1025 is handled below
  refusedSize = large.size();
  ASSERT_TRUE(h.pumpUntil([&] { return !h.viewer().connection.windowSlot[0].valid.load(); }));
  refusedSize = 0;
  h.pumpUntil([] { return false; }, 200); // let any wrongly posted message arrive

  EXPECT_FALSE(h.viewer().framePipeline().busy());
  EXPECT_TRUE(h.viewer().pipelineFree());
  EXPECT_EQ(h.viewer().currentPicture().capacity, 0);
  EXPECT_STREQ(h.viewer().statusText(), "No memory!");
  int offers = 0;
  for (const auto& m : h.handled) offers += m.message == platform::kMsgOfferPicture;
  EXPECT_EQ(offers, 1); // only the first picture's

  // The next picture is taken and shown again.
  h.park(small, 1002, 3);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 1002u);
}

} // namespace
