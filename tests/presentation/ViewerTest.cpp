// The viewer's window side with its Decoder thread: pictures taken from the window slot,
// decoded, scaled and marked, painted exactly; the message contract; the status screen.
#include "engine/RunTag.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"
#include "recorder/server/PayloadEncoder.h"
#include "tests/support/GoldenImage.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"
#include "tests/presentation/ViewerTestAccess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

using testsupport::ViewerHarness;

const std::vector<std::uint8_t>& picture(int seed) {
  static std::vector<std::uint8_t> cache[3];
  if (cache[seed].empty()) cache[seed] = testsupport::encodedTestPicture(seed);
  return cache[seed];
}

std::vector<std::uint32_t> messagesOf(const ViewerHarness& h, std::uint32_t message) {
  std::vector<std::uint32_t> params;
  for (const auto& m : h.handled)
    if (m.message == message) params.push_back(std::uint32_t(runtag::valueOf(m.wParam)));
  return params;
}

TEST(Viewer, PaintsTheDecodedScaledPictureWithItsOverlay) {
  struct Window {
    int width, height;
  };
  for (Window window : {Window{720, 576}, Window{350, 260}, Window{1024, 768}}) {
    const std::string name = "picture-" + std::to_string(window.width) + "x" + std::to_string(window.height);
    SCOPED_TRACE(name);
    ViewerHarness h(CLanguageTable::kEnglish, window.width, window.height);
    h.park(picture(0), 1000, 17);
    ASSERT_TRUE(h.waitForFrames(1));
    const CFramePipeline& pipeline = h.viewer().framePipeline();
    ASSERT_TRUE(pipeline.frameReady(h.viewer().showIndex()));
    EXPECT_EQ(pipeline.frameWidth(h.viewer().showIndex()), std::min(window.width, 768));
    EXPECT_EQ(pipeline.frameHeight(h.viewer().showIndex()), std::min(window.height, 576));

    testsupport::ReferenceFrame expectedFrame;
    ASSERT_TRUE(testsupport::referenceFrame(h.viewer().currentPicture(), h.viewer().languageTable(), window.width,
                                            window.height, expectedFrame));
    EXPECT_TRUE(testsupport::sameImage(name, h.paint(),
                                       testsupport::referenceWindow(expectedFrame, window.width, window.height)));
  }
}

TEST(Viewer, FramesAlternateZeroOneZero) {
  ViewerHarness h(CLanguageTable::kEnglish);
  for (int i = 0; i < 3; ++i) {
    h.park(picture(i), 1000 + i, i);
    ASSERT_TRUE(h.waitForFrames(1));
    EXPECT_EQ(h.viewer().showIndex(), i % 2);
    EXPECT_TRUE(h.viewer().pipelineFree());
  }
  EXPECT_EQ(messagesOf(h, platform::kMsgFrameDecoded), (std::vector<std::uint32_t>{0, 1, 0}));
  EXPECT_TRUE(messagesOf(h, platform::kMsgStatus).empty());
}

TEST(Viewer, PictureWaitingWhileTheDecoderIsBusyStaysInTheSlot) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.park(picture(0), 1000, 1);
  // Take the first picture and offer it, without handling the decoder's answer yet.
  ASSERT_TRUE(h.pumpUntil([&] { return h.viewer().framePipeline().busy() || !h.viewer().pipelineFree(); }));
  EXPECT_FALSE(h.viewer().pipelineFree());
  h.park(picture(1), 1001, 2, true, 0, false);
  ViewerHostWindow host{h.window(), 720, 576, false};
  EXPECT_TRUE(dispatchViewerMessage(h.viewer(), {platform::kMsgPictureWaiting, 0, 0}, host));
  EXPECT_TRUE(ViewerTestAccess::connection(h.viewer()).windowSlot[0].valid.load());
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 1000u);

  // After the first frame is shown, the next kMsgPictureWaiting takes the waiting picture.
  ASSERT_TRUE(h.waitForFrames(1));
  h.post(platform::kMsgPictureWaiting);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_FALSE(ViewerTestAccess::connection(h.viewer()).windowSlot[0].valid.load());
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 1001u);
}

TEST(Viewer, PictureNotNewerThanTheShownOneIsDropped) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.park(picture(0), 5000, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  for (std::uint32_t tick : {5000u, 4999u}) {
    h.park(picture(1), tick, 2);
    ASSERT_TRUE(h.pumpUntil([&] { return !ViewerTestAccess::connection(h.viewer()).windowSlot[0].valid.load(); }));
    EXPECT_EQ(h.viewer().currentPicture().receivedTick, 5000u);
    EXPECT_TRUE(h.viewer().pipelineFree());
  }
  EXPECT_EQ(messagesOf(h, platform::kMsgOfferPicture).size(), 1u);
}

TEST(Viewer, TicksAcrossTheWrapStillCountAsNewer) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.park(picture(0), 0xFFFFFF00u, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  h.park(picture(1), 0x10u, 2);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 0x10u);
}

TEST(Viewer, FailedDecodeShowsDecompressErrorAndCountsIt) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));

  std::vector<std::uint8_t> broken = picture(1);
  recorder::corruptPayload(broken);
  h.park(broken, 1001, 2);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_STREQ(h.viewer().statusText(), h.viewer().languageTable().lookup("decompresserror"));
  EXPECT_EQ(h.viewer().decodeErrors(), 1);
  EXPECT_EQ(messagesOf(h, platform::kMsgStatus), (std::vector<std::uint32_t>{kStatusDecompressError}));
  EXPECT_FALSE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
  EXPECT_TRUE(testsupport::sameImage("decompress-error", h.paint(),
                                     testsupport::referenceStatusScreen(h.viewer().statusText(), 720, 576)));

  // Payloads the decoder must not trust: a first-field length past the end, nothing at all,
  // and a resolution level outside 0..4.
  std::vector<std::uint8_t> lying = picture(0);
  lying[3] = 0x7F;
  h.park(lying, 1002, 3);
  ASSERT_TRUE(h.waitForFrames(1));
  h.park({}, 1003, 4);
  ASSERT_TRUE(h.waitForFrames(1));
  h.park(picture(0), 1004, 5, true, 9);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_EQ(h.viewer().decodeErrors(), 4);

  // A good picture afterwards is shown again.
  h.park(picture(2), 1005, 6);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(Viewer, PictureTakenBeforeAStatusDoesNotCoverIt) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  // The connection is lost while the next picture is on its way to the Decoder thread: the
  // status is handled after the picture was taken, before it is decoded.
  h.park(picture(1), 1001, 2);
  h.post(platform::kMsgStatus, runtag::tag(h.viewer().run(), kStatusSocket));
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_EQ(h.viewer().picturesShown(), 1);
  EXPECT_STREQ(h.viewer().statusText(), h.viewer().languageTable().lookup("err_socket"));
  EXPECT_TRUE(testsupport::sameImage("status-after-take", h.paint(),
                                     testsupport::referenceStatusScreen(h.viewer().statusText(), 720, 576)));

  // A picture taken after the status replaces it.
  h.park(picture(2), 1002, 3);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_EQ(h.viewer().picturesShown(), 2);
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(Viewer, StatusScreenForEveryStatusIndexInGermanAndEnglish) {
  for (int language : {CLanguageTable::kGerman, CLanguageTable::kEnglish}) {
    ViewerHarness h(language);
    EXPECT_STREQ(h.viewer().statusText(),
                 language == CLanguageTable::kGerman ? "Verbindungsaufbau..." : "Connecting...");
    for (int index = 0; index <= 7; ++index) {
      const std::string name = "status-" + std::to_string(language) + "-" + std::to_string(index);
      h.post(index == 6 ? platform::kMsgStatusIndex : platform::kMsgStatus, std::uintptr_t(index));
      ASSERT_TRUE(h.pumpUntil(
          [&] { return !h.handled.empty() && runtag::valueOf(h.handled.back().wParam) == std::uintptr_t(index); }));
      const char* key = CViewer::statusKey(index);
      EXPECT_STREQ(h.viewer().statusText(), h.viewer().languageTable().lookup(key)) << name;
      EXPECT_TRUE(testsupport::sameImage(name, h.paint(),
                                         testsupport::referenceStatusScreen(h.viewer().statusText(), 720, 576)));
    }
    EXPECT_STREQ(CViewer::statusKey(7), "err_unknown");
  }
}

TEST(Viewer, RecorderErrorTextsWrapInANarrowWindow) {
  ViewerHarness h(CLanguageTable::kGerman, 350, 260);
  for (int code : {2000, 2004, 2005, 2006, 2012, 2013}) {
    const char* text = h.viewer().languageTable().errorText(code);
    h.post(platform::kMsgStatus, 0, code);
    ASSERT_TRUE(h.pumpUntil([&] { return h.viewer().statusText() == text; }));
    EXPECT_TRUE(testsupport::sameImage("error-" + std::to_string(code), h.paint(),
                                       testsupport::referenceStatusScreen(text, 350, 260)));
  }
}

TEST(Viewer, OverlongStatusTextsStayInsideTheWindowAndTheFrame) {
  ViewerHarness h(CLanguageTable::kEnglish, 1024, 768);
  std::string text;
  for (int i = 0; i < 600; ++i) text += "overflowing ";
  text += std::string(2000, 'x');
  h.viewer().showStatusText(text.c_str(), false);
  paint::SoftwareCanvas canvas = h.paint();
  // The box is at most the 768 x 576 frame; the rest of the window is blue.
  EXPECT_EQ(canvas.pixel(1023, 767), 0x5050DCu);
  EXPECT_EQ(canvas.pixel(800, 10), 0x5050DCu);
  EXPECT_EQ(canvas.pixel(10, 700), 0x5050DCu);
}

TEST(Viewer, DispatcherFollowsTheMessageContract) {
  ViewerHarness h(CLanguageTable::kEnglish);
  ViewerHostWindow host{h.window(), 720, 576, false};
  const auto ours = [&](std::uintptr_t value) { return runtag::tag(h.viewer().run(), value); };
  EXPECT_FALSE(dispatchViewerMessage(h.viewer(), {1030, 0, 0}, host));
  EXPECT_FALSE(dispatchViewerMessage(h.viewer(), {15, 0, 0}, host));
  dispatchViewerMessage(h.viewer(), {platform::kMsgStatus, ours(9), 0}, host);
  EXPECT_STREQ(h.viewer().statusText(), "Internal error!");
  dispatchViewerMessage(h.viewer(), {platform::kMsgStatusIndex, ours(6), 0}, host);
  EXPECT_STREQ(h.viewer().statusText(), "Connection established.");
  // A frame index other than 0 or 1 is ignored.
  const int shown = h.viewer().showIndex();
  dispatchViewerMessage(h.viewer(), {platform::kMsgFrameDecoded, ours(5), 0}, host);
  EXPECT_EQ(h.viewer().showIndex(), shown);
  // kMsgOfferPicture with nothing taken offers nothing and is not repeated.
  EXPECT_TRUE(h.viewer().submitPicture());
  EXPECT_FALSE(h.viewer().framePipeline().busy());
  dispatchViewerMessage(h.viewer(), {platform::kMsgStatus, ours(0), kErrorCodeFirst + 6}, host);
  EXPECT_STREQ(h.viewer().statusText(), "The picture has been overwritten!");

  // What the viewer did not post in this run is taken off the queue and changes nothing: an
  // earlier run, run 0, bits beyond the tag, a text pointer, a code with a status index, an
  // lParam where the viewer posts none.
  const std::uint32_t otherRun = runtag::nextRun(h.viewer().run());
  const char* pointer = "not read";
  const platform::WindowMessage foreign[] = {
      {platform::kMsgStatusIndex, runtag::tag(otherRun, 1), 0},
      {platform::kMsgStatus, 1, 0},
      {platform::kMsgStatus, ours(1) | (std::uintptr_t(1) << 31), 0},
      {platform::kMsgStatus, ours(0), reinterpret_cast<std::intptr_t>(pointer)},
      {platform::kMsgStatus, ours(0), -kErrorCodeFirst},
      {platform::kMsgStatus, ours(1), kErrorCodeFirst},
      {platform::kMsgStatusIndex, ours(1), 5},
  };
  for (const platform::WindowMessage& message : foreign) {
    EXPECT_TRUE(dispatchViewerMessage(h.viewer(), message, host)) << message.wParam;
    EXPECT_STREQ(h.viewer().statusText(), "The picture has been overwritten!") << message.wParam;
  }
  dispatchViewerMessage(h.viewer(), {platform::kMsgStatus, ours(1), 0}, host);
  EXPECT_STREQ(h.viewer().statusText(), "The socket connection was closed due to an error!");
}

TEST(Viewer, WithoutAWindowSizeAPictureWaitsInItsSlot) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.setWindowSize(0, 0);
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.pumpUntil([&] { return !h.handled.empty(); }));
  h.post(platform::kMsgFrameDecoded);
  ASSERT_TRUE(h.pumpUntil([&] { return h.handled.size() >= 2; }));
  EXPECT_TRUE(ViewerTestAccess::connection(h.viewer()).windowSlot[0].valid.load());
  h.setWindowSize(720, 576);
  h.post(platform::kMsgPictureWaiting);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_EQ(h.viewer().picturesShown(), 1);
}

TEST(Viewer, DetachTakesTheWorkersWindowTooAndStartsAgainAfterStop) {
  ViewerHarness h(CLanguageTable::kEnglish);
  h.viewer().detachWindow();
  EXPECT_EQ(h.viewer().window(), nullptr);
  EXPECT_EQ(ViewerTestAccess::connection(h.viewer()).notifyWindow(), nullptr);
  EXPECT_EQ(h.viewer().framePipeline().window(), nullptr);

  h.viewer().attachWindow(h.window());
  EXPECT_TRUE(h.viewer().start()); // already running: nothing changes
  h.viewer().stop();
  EXPECT_FALSE(h.viewer().started());
  EXPECT_FALSE(h.viewer().framePipeline().threadRunning());
  h.viewer().attachWindow(h.window());
  ASSERT_TRUE(h.viewer().start());
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(Viewer, MessagesOfTheRunBeforeARestartAreIgnored) {
  ViewerHarness h(CLanguageTable::kEnglish);
  // Picture 1 is decoded, but its kMsgFrameDecoded is still queued when the viewer stops.
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.pumpUntil([&] { return !h.viewer().pipelineFree() && !h.viewer().offerPending(); }));
  ASSERT_TRUE(testsupport::waitUntil([&] { return !h.viewer().framePipeline().busy(); }));
  // An earlier run's status is queued as well.
  h.post(platform::kMsgStatus, runtag::tag(h.viewer().run(), kStatusSocket));
  h.viewer().stop();
  h.viewer().attachWindow(h.window());
  ASSERT_TRUE(h.viewer().start());

  // The next picture: while the Decoder thread fills a frame, the window never shows it.
  h.park(picture(1), 1001, 2);
  bool overlapped = false;
  ASSERT_TRUE(h.pumpUntil([&] {
    const CFramePipeline& pipeline = h.viewer().framePipeline();
    overlapped |= pipeline.busy() && pipeline.fillIndex() == h.viewer().showIndex();
    return h.viewer().picturesShown() == 1; // the first picture's kMsgFrameDecoded came too late
  }));
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(h.viewer().currentPicture().receivedTick, 1001u);
  EXPECT_STREQ(h.viewer().statusText(), "Connecting..."); // the stale status did not show
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(Viewer, StatusScreenFillsTheAreaWhereverItStarts) {
  // Printing paints into a part of a page: the screen must land inside the area given.
  ViewerHarness h(CLanguageTable::kEnglish, 400, 300);
  const paint::SoftwareCanvas atOrigin = h.paint();
  paint::SoftwareCanvas page(600, 500);
  page.fillSolid({0, 0, 600, 500}, 0x00FFFFFF);
  h.viewer().paint(page, {150, 120, 550, 420});
  int different = 0;
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < 600; ++x) {
      const bool inside = x >= 150 && x < 550 && y >= 120 && y < 420;
      const std::uint32_t expected = inside ? atOrigin.pixel(x - 150, y - 120) : 0xFFFFFFu;
      different += page.pixel(x, y) != expected;
    }
  EXPECT_EQ(different, 0);
}

TEST(Viewer, RestartsKeepOneSetOfFonts) {
  ViewerHarness h(CLanguageTable::kEnglish);
  for (int i = 0; i < 10; ++i) {
    h.viewer().stop();
    h.viewer().attachWindow(h.window());
    ASSERT_TRUE(h.viewer().start());
  }
  EXPECT_EQ(h.viewer().statusFonts(), 1);
  EXPECT_EQ(h.viewer().framePipeline().overlay().loadedFonts(), Overlay::kFontSlots);
  h.park(picture(0), 1000, 1);
  ASSERT_TRUE(h.waitForFrames(1));
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(Viewer, HostAddressIsCutTo255Characters) {
  CViewer viewer(CLanguageTable::kEnglish);
  std::string longHost(300, 'h');
  viewer.setHost(longHost.c_str());
  EXPECT_EQ(std::strlen(viewer.hostAddress()), 255u);
  EXPECT_EQ(viewer.recorderPort(), -1);
}

TEST(Viewer, StartWritesThePlaceholdersIntoTheOwnRecord) {
  ViewerHarness h(CLanguageTable::kGerman);
  const PictureRecord& current = h.viewer().currentPicture();
  EXPECT_EQ(current.date(), "--.--.--");
  EXPECT_EQ(current.time(), "--:--:--");
  EXPECT_EQ(current.camera(), "Kamera    -");
  EXPECT_EQ(current.pictureNumber(), "-");
  EXPECT_EQ(current.extraText2(), "");
}

} // namespace
