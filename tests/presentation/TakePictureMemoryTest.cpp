// The viewer and memory: a steady stream of pictures allocates nothing; when memory runs
// out, taking a picture needs no memory (the records exchange blocks), a decoder that cannot
// allocate fails its picture, frames or a thread that cannot be made are reported; the
// viewer says so on its status screen and goes on where it can.
#include "presentation/FrameLayout.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"
#include "tests/presentation/ViewerTestAccess.h"
#include "tests/support/AllocationExemption.h"
#include "tests/support/FakeRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Allocations of exactly `size` bytes fail, after `skip` of them have passed, `times` times.
struct Refusal {
  std::atomic<std::size_t> size{0};
  std::atomic<int> skip{0};
  std::atomic<int> times{0};

  void arm(std::size_t bytes, int skipFirst = 0, int count = 1000000) {
    skip = skipFirst;
    times = count;
    size = bytes;
  }
  void disarm() { size = 0; }
  bool refuses(std::size_t bytes) {
    if (testsupport::tAllocationExempt) return false;
    if (bytes == 0 || bytes != size.load()) return false;
    if (skip.fetch_sub(1) > 0) return false;
    return times.fetch_sub(1) > 0;
  }
};

Refusal arrayRefusal;  // nothrow new[]: picture records, frames
Refusal scalarRefusal; // nothrow new: small objects such as a thread's start record
// Every array allocation of at least this many bytes fails, throwing or not (0: none).
std::atomic<std::size_t> largeArraysFailFrom{0};

bool largeArrayFails(std::size_t size) {
  if (testsupport::tAllocationExempt) return false;
  const std::size_t limit = largeArraysFailFrom.load();
  return limit != 0 && size >= limit;
}

std::atomic<long long> allocations{0}; // every allocation of the process but the fake recorder's

void* allocate(std::size_t size) {
  if (!testsupport::tAllocationExempt) allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}

} // namespace

// Every form of new and delete is replaced, all on malloc and free, so that the sanitizers
// see matching pairs whichever form a library uses.

void* operator new(std::size_t size) {
  if (void* block = allocate(size)) return block;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
  void* block = largeArrayFails(size) ? nullptr : allocate(size);
  if (!block) throw std::bad_alloc();
  return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return scalarRefusal.refuses(size) ? nullptr : allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return arrayRefusal.refuses(size) || largeArrayFails(size) ? nullptr : allocate(size);
}

void operator delete(void* pointer) noexcept { std::free(pointer); }
void operator delete[](void* pointer) noexcept { std::free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { std::free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { std::free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { std::free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { std::free(pointer); }

namespace {

// A recorder that answers the open request with "connection established" and a picture, and
// every next-picture request with the same picture again. Its threads are exempt: they are
// not counted, nor do they meet a refusal.
testsupport::FakeRecorder::Responder samePictureAgain() {
  using namespace testsupport;
  const Bytes picture = testsupport::picture(HeaderTexts{}, encodedTestPicture(1));
  Bytes opening = established();
  opening.insert(opening.end(), picture.begin(), picture.end());
  return [picture, opening](const RecordedRequest& request) { return request.index == 0 ? opening : picture; };
}

TEST(SteadyStream, PicturesGoThroughTheViewerWithoutAnyAllocation) {
  testsupport::FakeRecorder recorder(samePictureAgain());
  testsupport::ViewerHarness h(CLanguageTable::kEnglish, 720, 576, recorder.port(), 3);
  paint::SoftwareCanvas canvas(720, 576);
  // The first pictures make every buffer and queue as large as the stream needs.
  ASSERT_TRUE(h.waitForFrames(5, 20000)) << h.viewer().statusText();
  h.viewer().paint(canvas, {0, 0, 720, 576});
  const long long before = allocations.load();
  // Receiver thread, window thread (taking, offering, showing, painting) and Decoder thread.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(h.waitForFrames(1, 20000)) << h.viewer().statusText();
    h.viewer().paint(canvas, {0, 0, 720, 576});
  }
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(h.viewer().picturesDropped() + h.viewer().decodeErrors(), 0);
}

TEST(OutOfMemory, LargerPictureIsTakenWithoutAnAllocation) {
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  std::vector<std::uint8_t> small = testsupport::encodedTestPicture(0);
  h.park(small, 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));

  // A larger picture than the viewer's record holds, while a block of its size cannot be
  // had: the record takes the slot's block over instead of copying into one of its own.
  std::vector<std::uint8_t> large = small;
  large.resize(small.size() + 4096, 0);
  h.park(large, 1001, 2);
  arrayRefusal.arm(large.size());
  const bool shown = h.waitForFrames(1);
  arrayRefusal.disarm();
  ASSERT_TRUE(shown) << h.viewer().statusText();
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 1001u);
  EXPECT_EQ(h.viewer().currentPicture().length, std::int32_t(large.size()));
  EXPECT_EQ(h.viewer().picturesDropped(), 0);
  EXPECT_STRNE(h.viewer().statusText(), "No memory!");
}

TEST(OutOfMemory, DecoderThatCannotAllocateFailsThePicture) {
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  // The frames exist; the decoder's working planes (several hundred kilobytes) are made by the first
  // decode. None can be had: an exception on the Decoder thread would end the process.
  largeArraysFailFrom = 256 * 1024;
  h.park(testsupport::encodedTestPicture(0), 1000, 1);
  const bool answered = h.waitForFrames(1);
  largeArraysFailFrom = 0;
  ASSERT_TRUE(answered);
  EXPECT_EQ(h.viewer().decodeErrors(), 1);
  EXPECT_STREQ(h.viewer().statusText(), h.viewer().languageTable().lookup("decompresserror"));

  h.park(testsupport::encodedTestPicture(1), 1001, 2);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(OutOfMemory, FrameThatCannotBeAllocatedStopsTheStartWithNoMemory) {
  arrayRefusal.arm(presentation::kFrameBytes, 0, 1); // frame 0 only
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  arrayRefusal.disarm();
  EXPECT_FALSE(h.viewer().started());
  EXPECT_STREQ(h.viewer().statusText(), "No memory!");
  // A later start finds the memory and runs.
  ASSERT_TRUE(h.viewer().start());
  h.park(testsupport::encodedTestPicture(0), 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(OutOfMemory, ReceiverThreadThatCannotStartIsReported) {
  // A thread's start record (the entry and its argument; on Windows also the module a detached
  // thread holds) cannot be allocated: the first thread the start makes, the Receiver thread,
  // is not created.
#ifdef _WIN32
  constexpr std::size_t kStartRecordBytes = 3 * sizeof(void*);
#else
  constexpr std::size_t kStartRecordBytes = 2 * sizeof(void*);
#endif
  scalarRefusal.arm(kStartRecordBytes, 0, 1);
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  scalarRefusal.disarm();
  EXPECT_FALSE(h.viewer().started());
  EXPECT_STREQ(h.viewer().statusText(), "Error while initializing!");
  ASSERT_TRUE(h.viewer().start());
  EXPECT_TRUE(h.viewer().started());
}

} // namespace
