// The hosts' facade: what a viewer made through it takes from the process (the socket
// library, the font module) and gives back, and a window that goes away while the viewer's
// threads run.
#include "engine/RunTag.h"
#include "platform/Socket.h"
#include "presentation/EmbeddedViewer.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerTestAccess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

namespace {

bool socketsUsable() {
  const platform::SocketHandle probe = platform::socketCreate();
  platform::socketClose(probe);
  return probe != platform::kNoSocket;
}

// Pumps `window` through the facade until `done` holds; false after `timeoutMs`.
bool pumpUntil(platform::MessageWindow& window, CViewer* viewer, const std::function<bool()>& done,
               int timeoutMs = 10000) {
  const ViewerHostWindow host{window.handle(), 720, 576, false};
  return testsupport::waitUntil(done, std::chrono::milliseconds(timeoutMs), [&] {
    window.pump([&](const platform::WindowMessage& message) { embed::dispatchMessage(viewer, message, host); }, 20);
    window.takeInvalidated();
  });
}

TEST(EmbeddedViewer, TakesTheSocketLibraryAndTheFontsOfItsOwnModule) {
  const bool needsStartup = !socketsUsable(); // Windows Sockets, before anyone started them
  const int before = embed::liveViewers();
  CViewer* first = embed::createViewer({});
  CViewer* second = embed::createViewer({});
  ASSERT_TRUE(first && second);
  EXPECT_EQ(embed::liveViewers(), before + 2);
  EXPECT_TRUE(socketsUsable());
  // No module given: the one that holds the viewer's code (the DLL in a browser), where the
  // fonts are found.
  EXPECT_EQ(first->fontModule(), paint::moduleOfThisCode());
  EXPECT_TRUE(embed::startViewer(first));
  const embed::ViewerState state = embed::viewerState(first);
  EXPECT_STREQ(state.statusText, "Connecting...");
  EXPECT_FALSE(state.showingPicture);

  embed::destroyViewer(first);
  EXPECT_TRUE(socketsUsable()); // the second still holds its start-up
  embed::destroyViewer(second);
  EXPECT_EQ(embed::liveViewers(), before);
  if (needsStartup) {
    EXPECT_FALSE(socketsUsable());
  }
}

TEST(EmbeddedViewer, WindowDestroyedAfterDetachGetsNothingAndTheNextOneHearsTheRest) {
  embed::ViewerSettings settings;
  settings.language = CLanguageTable::kEnglish;
  CViewer* viewer = embed::createViewer(settings); // port -1: never connects
  ASSERT_NE(viewer, nullptr);
  auto first = std::make_unique<platform::MessageWindow>();
  embed::attachWindow(viewer, first->handle());
  ASSERT_TRUE(embed::startViewer(viewer));

  // A picture is taken and offered on the first window.
  PictureRecord& slot = ViewerTestAccess::connection(*viewer).windowSlot[0];
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(0);
  slot.reserve(std::int32_t(payload.size()));
  std::memcpy(slot.data, payload.data(), payload.size());
  slot.length = std::int32_t(payload.size());
  testsupport::fillHeader(slot, 1, true, 0);
  slot.receivedTick = 1000;
  slot.valid.store(true, std::memory_order_release);
  platform::postMessage(first->handle(), platform::kMsgPictureWaiting, runtag::tag(viewer->run(), 0), 0);
  ASSERT_TRUE(pumpUntil(*first, viewer, [&] { return !viewer->offerPending() && !viewer->pipelineFree(); }));

  // The host loses the window while the picture is decoded; a new window may get the same
  // handle. Nothing of the viewer reaches it until it is attached.
  embed::detachWindow(viewer);
  first.reset();
  platform::MessageWindow second;
  ASSERT_TRUE(testsupport::waitUntil([&] { return viewer->framePipeline().finishedWaiting(); }));
  EXPECT_EQ(second.pump([](const platform::WindowMessage&) {}, 0), 0);

  // Attached, it is told about the finished frame and shows it.
  embed::attachWindow(viewer, second.handle());
  ASSERT_TRUE(pumpUntil(second, viewer, [&] { return embed::viewerState(viewer).picturesShown == 1; }));
  EXPECT_TRUE(embed::viewerState(viewer).showingPicture);
  PictureRecord shown;
  ASSERT_TRUE(embed::copyCurrentPicture(viewer, shown));
  EXPECT_EQ(shown.receivedTick, 1000u);
  ASSERT_EQ(shown.length, std::int32_t(payload.size()));
  EXPECT_EQ(std::memcmp(shown.data, payload.data(), payload.size()), 0);
  embed::destroyViewer(viewer);
  // A null viewer has nothing to tell.
  EXPECT_EQ(embed::viewerState(nullptr).picturesShown, 0);
  EXPECT_FALSE(embed::copyCurrentPicture(nullptr, shown));
}

} // namespace
