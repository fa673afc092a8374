// Instances living and dying in one browser process: several at once, one destroyed while
// the others go on, NPP_Destroy in every state of the connection, a recorder that
// misbehaves, and unloading the DLL after NP_Shutdown.
#include "tests/wine/plugin/PluginFixture.h"
#include "tests/wine/plugin/RecordingProxy.h"
#include "platform/NameLookup.h"
#include "tests/support/WaitUntil.h"
#include "tests/wine/support/FullListener.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/RecorderProcess.h"
#include "tests/wine/support/Threads.h"
#include "tests/wine/support/Watchdog.h"
#include "platform/Window.h"

#include <atomic>
#include <functional>

namespace {

using namespace pluginsupport;
using namespace winetest;

// Generous: NPP_Destroy must return promptly, but a loaded machine is slow.
constexpr int kDestroyLimitMs = 30000;

// A resolver that hangs (an unreachable name server) until the test lets it answer "not
// found": installed in place of gethostbyname in the module under test.
struct HangingResolver {
  HANDLE answer = CreateEventW(nullptr, TRUE, FALSE, nullptr); // set: every call returns
  std::atomic<int> calls{0};
  std::atomic<HANDLE> lastThread{nullptr}; // the thread of the latest call, to wait for
  ~HangingResolver() {
    SetEvent(answer);
    CloseHandle(answer);
  }
};
HangingResolver* hangingResolver = nullptr;

void* WINAPI hangingGethostbyname(const char* /*name*/) {
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE, FALSE, 0);
  if (HANDLE previous = hangingResolver->lastThread.exchange(self)) CloseHandle(previous);
  hangingResolver->calls.fetch_add(1);
  WaitForSingleObject(hangingResolver->answer, 120000);
  return nullptr;
}

class PluginLifecycleTest : public PluginTest {
protected:
  // Destroys the element; then its window has its own procedure again, no message of the
  // viewer is queued for it or reaches it, and the viewer's threads are gone.
  void destroyAndExpectSilence(Element& element, HWND site, LONG_PTR ownProcedure, int threadsBefore) {
    {
      Watchdog watchdog(kDestroyLimitMs, "NPP_Destroy");
      EXPECT_EQ(browser->destroy(element), NPERR_NO_ERROR);
    }
    EXPECT_EQ(GetWindowLongPtrW(site, GWLP_WNDPROC), ownProcedure);
    MSG queued;
    EXPECT_FALSE(PeekMessageW(&queued, site, platform::kMsgPictureWaiting, platform::kMsgOfferPicture, PM_NOREMOVE));
    EXPECT_TRUE(browser->pumpUntil([&] { return threadsOfThisProcess() <= threadsBefore; }))
        << threadsOfThisProcess() << " threads, " << threadsBefore << " before";
    EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(site), 0);
  }
};

TEST_F(PluginLifecycleTest, DestroyingOneOfTwoLeavesTheOtherReceiving) {
  // The recorder closes viewer 2's connection every 5 pictures: it must connect again, with
  // new sockets, after viewer 1 and its clean-up of the socket library are gone.
  RecorderProcess recorder({"simulator", "--fault", "id 2 every 5 close"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  Element& one = browser->embed(recorderAttributes(recorder.port(), 1));
  Element& two = browser->embed(recorderAttributes(recorder.port(), 2));
  HWND siteOne = browser->createSite(0, 0, 320, 240);
  HWND siteTwo = browser->createSite(330, 0, 320, 240);
  browser->setWindow(one, siteOne);
  browser->setWindow(two, siteTwo);
  ASSERT_TRUE(waitForFrames(siteOne, 2));
  ASSERT_TRUE(waitForFrames(siteTwo, 2));

  EXPECT_EQ(browser->destroy(one), NPERR_NO_ERROR);
  const int established = browser->taken(siteTwo, platform::kMsgStatusIndex);
  EXPECT_TRUE(
      browser->pumpUntil([&] { return browser->taken(siteTwo, platform::kMsgStatusIndex) >= established + 2; }));
  EXPECT_TRUE(waitForFrames(siteTwo, 3));
}

TEST_F(PluginLifecycleTest, SixteenInstancesInOneProcess) {
  RecorderProcess recorder({"simulator", "--fps", "5"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  const int threadsBefore = threadsOfThisProcess();
  std::vector<Element*> elements;
  std::vector<HWND> sites;
  for (int i = 0; i < 16; ++i) {
    elements.push_back(&browser->embed(recorderAttributes(recorder.port(), i + 1)));
    ASSERT_EQ(elements.back()->created, NPERR_NO_ERROR);
    sites.push_back(browser->createSite((i % 4) * 245, (i / 4) * 170, 240, 165));
    browser->setWindow(*elements.back(), sites.back());
  }
  EXPECT_TRUE(browser->pumpUntil(
      [&] {
        for (HWND site : sites)
          if (browser->taken(site, platform::kMsgFrameDecoded) < 2) return false;
        return true;
      },
      120000));
  for (int i = 0; i < 16; ++i) {
    Watchdog watchdog(kDestroyLimitMs, "NPP_Destroy");
    EXPECT_EQ(browser->destroy(*elements[i]), NPERR_NO_ERROR);
  }
  EXPECT_TRUE(browser->pumpUntil([&] { return threadsOfThisProcess() <= threadsBefore; }));
  for (HWND site : sites) EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(site), 0);
}

TEST_F(PluginLifecycleTest, DestroyWhileConnecting) {
  FullListener unanswered; // connects to it hang
  ASSERT_NE(unanswered.port(), 0);
  const int threadsBefore = threadsOfThisProcess();
  Element& element = browser->embed(recorderAttributes(unanswered.port(), 1));
  HWND site = browser->createSite(0, 0, 320, 240);
  const LONG_PTR ownProcedure = GetWindowLongPtrW(site, GWLP_WNDPROC);
  browser->setWindow(element, site);
  browser->pumpPending();
  destroyAndExpectSilence(element, site, ownProcedure, threadsBefore);
}

TEST_F(PluginLifecycleTest, DestroyWhileDecoding) {
  RecorderProcess recorder;
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  const int threadsBefore = threadsOfThisProcess();
  Element& element = browser->embed(recorderAttributes(recorder.port(), 1));
  HWND site = browser->createSite(0, 0, 640, 480);
  const LONG_PTR ownProcedure = GetWindowLongPtrW(site, GWLP_WNDPROC);
  browser->setWindow(element, site);
  ASSERT_TRUE(waitForFrames(site, 2));
  // Right after a picture has been offered to the Decoder thread.
  bool destroyed = false;
  browser->afterDispatch = [&](const MSG& message) {
    if (!destroyed && message.hwnd == site && message.message == platform::kMsgOfferPicture) {
      destroyed = true;
      destroyAndExpectSilence(element, site, ownProcedure, threadsBefore);
    }
  };
  ASSERT_TRUE(browser->pumpUntil([&] { return destroyed; }));
  browser->afterDispatch = nullptr;
}

TEST_F(PluginLifecycleTest, DestroyWhileTheRecorderStalls) {
  RecorderProcess recorder({"simulator", "--fault", "at 3 stall 600000"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  const int threadsBefore = threadsOfThisProcess();
  Element& element = browser->embed(recorderAttributes(recorder.port(), 1));
  HWND site = browser->createSite(0, 0, 320, 240);
  const LONG_PTR ownProcedure = GetWindowLongPtrW(site, GWLP_WNDPROC);
  browser->setWindow(element, site);
  ASSERT_TRUE(waitForFrames(site, 3));
  destroyAndExpectSilence(element, site, ownProcedure, threadsBefore);
}

TEST_F(PluginLifecycleTest, MisbehavingRecorderNeitherCrashesNorHangsTheBrowser) {
  // Every fault the simulator has, early and close together; each viewer meets them again
  // after every reconnection.
  RecorderProcess recorder({"simulator", "--fault", "id 1 every 4 corrupt; id 1 at 2 error 2013; id 1 at 2 stall 300",
                            "--fault", "id 1 at 5 garbage 64; id 1 at 6 badtag; id 1 at 7 baditem; id 1 at 9 half",
                            "--fault",
                            "id 2 open error 2000; id 2 at 2 reply 99 1; id 2 at 4 refuse 800; id 2 at 4 close",
                            "--fault", "id 3 at 3 end"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  std::vector<Element*> elements;
  std::vector<HWND> sites;
  for (int id = 1; id <= 3; ++id) {
    elements.push_back(&browser->embed(recorderAttributes(recorder.port(), id)));
    sites.push_back(browser->createSite((id - 1) * 330, 0, 320, 240));
    browser->setWindow(*elements.back(), sites.back());
  }
  // Each viewer goes through its faults at least twice and keeps showing pictures.
  EXPECT_TRUE(browser->pumpUntil(
      [&] {
        for (HWND site : sites)
          if (browser->taken(site, platform::kMsgFrameDecoded) < 12) return false;
        return true;
      },
      120000));
  for (std::size_t i = 0; i < sites.size(); ++i) {
    Watchdog watchdog(kDestroyLimitMs, "NPP_Destroy");
    EXPECT_EQ(browser->destroy(*elements[i]), NPERR_NO_ERROR);
    EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(sites[i]), 0);
  }
}

TEST_F(PluginLifecycleTest, UnloadedAfterShutdownWithNoThreadLeft) {
  RecorderProcess recorder;
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  browser.reset();
  plugin.unload();
  const int threadsBefore = threadsOfThisProcess();

  std::string error;
  ASSERT_TRUE(plugin.load(pluginPath(), error)) << error;
  browser = std::make_unique<TestBrowser>(plugin);
  Element& element = browser->embed(recorderAttributes(recorder.port(), 1));
  HWND site = browser->createSite(0, 0, 320, 240);
  browser->setWindow(element, site);
  ASSERT_TRUE(waitForFrames(site, 2));
  EXPECT_EQ(browser->destroy(element), NPERR_NO_ERROR);
  browser.reset();
  EXPECT_EQ(plugin.unload(), NPERR_NO_ERROR);
  EXPECT_EQ(GetModuleHandleW(L"npcamview.dll"), nullptr);
  // Nothing of the DLL runs on: a thread still in its code would crash the process now.
  TestBrowser afterwards(plugin);
  EXPECT_TRUE(afterwards.pumpUntil([&] { return threadsOfThisProcess() <= threadsBefore; }))
      << threadsOfThisProcess() << " threads, " << threadsBefore << " before";
}

TEST_F(PluginLifecycleTest, UnloadedWhileAHostNameLookupHangsAndTheLookupEndsLater) {
  HangingResolver resolver;
  hangingResolver = &resolver;
  ASSERT_NE(
      replaceImport(plugin.module(), "ws2_32.dll", "gethostbyname", reinterpret_cast<void*>(&hangingGethostbyname)),
      nullptr);
  Element& element = browser->embed({{"ip", "recorder.camview.test"}, {"port", "5000"}, {"id", "1"}});
  browser->setWindow(element, browser->createSite(0, 0, 320, 240));
  ASSERT_TRUE(browser->pumpUntil([&] { return resolver.calls.load() >= 1; }));
  EXPECT_EQ(browser->destroy(element), NPERR_NO_ERROR);
  browser.reset();
  EXPECT_EQ(plugin.unload(), NPERR_NO_ERROR);
  // The browser has let go of the DLL; the lookup's thread holds it until it has ended.
  EXPECT_NE(GetModuleHandleW(L"npcamview.dll"), nullptr);
  SetEvent(resolver.answer);
  HANDLE lookupThread = resolver.lastThread.exchange(nullptr);
  ASSERT_NE(lookupThread, nullptr);
  EXPECT_EQ(WaitForSingleObject(lookupThread, 60000), WAIT_OBJECT_0);
  CloseHandle(lookupThread);
  EXPECT_EQ(GetModuleHandleW(L"npcamview.dll"), nullptr); // and then let go of it
}

TEST(NameLookupLimit, AtMostFourLookupsRunAtOnce) {
  HangingResolver resolver;
  hangingResolver = &resolver;
  ASSERT_NE(replaceImport(GetModuleHandleW(nullptr), "ws2_32.dll", "gethostbyname",
                          reinterpret_cast<void*>(&hangingGethostbyname)),
            nullptr);
  using platform::NameLookup;
  for (int i = 0; i < NameLookup::kMostRunning; ++i) {
    NameLookup* lookup = NameLookup::start("recorder.camview.test");
    ASSERT_NE(lookup, nullptr) << i;
    lookup->release(); // left behind, as a stopped viewer leaves it
  }
  EXPECT_EQ(NameLookup::start("one.more.camview.test"), nullptr);
  EXPECT_EQ(NameLookup::running(), NameLookup::kMostRunning);
  SetEvent(resolver.answer);
  // The lookups end by their own answers.
  testsupport::waitUntil([] { return NameLookup::running() == 0; }, std::chrono::seconds(60));
  ASSERT_EQ(NameLookup::running(), 0);
  NameLookup* again = NameLookup::start("recorder.camview.test");
  ASSERT_NE(again, nullptr);
  platform::Address address = 0;
  EXPECT_EQ(again->wait(60000, address), NameLookup::State::Failed);
  again->release();
  if (HANDLE thread = resolver.lastThread.exchange(nullptr)) {
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
  }
}

} // namespace
