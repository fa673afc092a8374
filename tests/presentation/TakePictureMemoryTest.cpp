// The viewer and memory: a steady stream of pictures allocates nothing; when memory runs
// out, a record that cannot grow is not offered to the Decoder thread, a decoder that cannot
// allocate fails its picture, frames or a thread that cannot be made are reported; the
// viewer says so on its status screen and goes on where it can.
#include "platform/Socket.h"
#include "presentation/FrameLayout.h"
#include "tests/engine/ProtocolBuilders.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"
#include "tests/presentation/ViewerTestAccess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

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
  const std::size_t limit = largeArraysFailFrom.load();
  return limit != 0 && size >= limit;
}

std::atomic<long long> allocations{0}; // every allocation of the process

void* allocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
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

// A recorder that answers every request from bytes made beforehand, so that it allocates
// nothing while it serves: the open request with "connection established" and a picture,
// every next-picture request with the same picture again.
class PreparedRecorder {
public:
  PreparedRecorder() {
    using namespace testsupport;
    platform::networkStartup(); // Windows Sockets, before the first socket
    picture_ = picture(HeaderTexts{}, encodedTestPicture(1));
    opening_ = established();
    opening_.insert(opening_.end(), picture_.begin(), picture_.end());
    listener_ = platform::socketListen("127.0.0.1", 0);
    thread_ = std::thread([this] { serve(); });
  }
  ~PreparedRecorder() {
    thread_.join();
    platform::socketClose(listener_);
    platform::networkCleanup();
  }
  int port() const { return platform::socketLocalPort(listener_); }

private:
  void serve() {
    if (platform::socketWaitReadable(listener_, 30000) != 1) return; // no viewer came
    const platform::SocketHandle peer = platform::socketAccept(listener_);
    if (peer == platform::kNoSocket) return;
    // Every request is one 32-byte message ("PLPR" with one "PDAT" item); the peer's socket
    // blocks, so the loop ends when the viewer closes the connection.
    std::uint8_t request[32];
    for (bool first = true;; first = false) {
      int have = 0;
      while (have < int(sizeof request)) {
        const int got = platform::socketReceive(peer, request + have, int(sizeof request) - have);
        if (got <= 0) {
          platform::socketClose(peer);
          return;
        }
        have += got;
      }
      const testsupport::Bytes& reply = first ? opening_ : picture_;
      for (std::size_t sent = 0; sent < reply.size();) {
        const int n = platform::socketSend(peer, reply.data() + sent, int(reply.size() - sent));
        if (n <= 0) {
          platform::socketClose(peer);
          return;
        }
        sent += std::size_t(n);
      }
    }
  }

  testsupport::Bytes picture_;
  testsupport::Bytes opening_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  std::thread thread_;
};

TEST(SteadyStream, PicturesGoThroughTheViewerWithoutAnyAllocation) {
  PreparedRecorder recorder;
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

TEST(OutOfMemory, RecordThatCannotGrowIsNotOffered) {
  testsupport::ViewerHarness h(CLanguageTable::kEnglish);
  std::vector<std::uint8_t> small = testsupport::encodedTestPicture(0);
  h.park(small, 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));

  // A larger picture whose copy cannot be allocated.
  std::vector<std::uint8_t> large = small;
  large.resize(small.size() + 4096, 0);
  h.park(large, 1001, 2); // the slot holds it; the kMsgPictureWaiting is handled below
  arrayRefusal.arm(large.size());
  ASSERT_TRUE(h.pumpUntil([&] { return !CViewerTestAccess::connection(h.viewer()).windowSlot[0].valid.load(); }));
  arrayRefusal.disarm();
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
