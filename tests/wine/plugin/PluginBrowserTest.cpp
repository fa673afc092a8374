// npcamview.dll as a browser sees it: found and loaded, instances created from the page's
// attributes, pictures and status screens painted exactly as the same core paints them,
// streams, printing, and the windows the browser gives, moves, resizes and takes back.
#include "hosts/plugin/EmbedAttributes.h"
#include "tests/support/GoldenImage.h"
#include "tests/wine/plugin/PluginFixture.h"
#include "tests/wine/plugin/RecordingProxy.h"
#include "tests/wine/support/NativeViewer.h"
#include "tests/wine/support/RecorderProcess.h"
#include "tests/wine/support/WindowReadBack.h"
#include "platform/Window.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <random>

namespace {

using namespace pluginsupport;
using namespace winetest;

constexpr std::uint32_t kStatusBlue = 0x5050DC;
constexpr std::uint32_t kMagenta = 0xFF00FF; // what the browser's own procedure paints

TEST_F(PluginTest, FoundByItsVersionResourceAndLoadedThroughItsExports) {
  const std::wstring path = pluginPath();
  EXPECT_EQ(versionString(path, "FileExtents"), "wlt");
  EXPECT_EQ(versionString(path, "FileOpenName"), "npcamview Plugin File (*.wlt)");
  EXPECT_EQ(versionString(path, "FileDescription"), "npcamview");
  EXPECT_EQ(versionString(path, "InternalName"), "NPCAMVIEW");
  EXPECT_EQ(versionString(path, "OriginalFilename"), "npcamview.dll");
  EXPECT_EQ(versionString(path, "FileVersion"), "1, 0, 0, 1");
  EXPECT_EQ(versionString(path, "ProductVersion"), "1, 0, 0, 1");
  // The eight font blocks under 104 to 111 (the sizes of font208, 202 .. 207, 201).
  const DWORD fontSizes[] = {12971, 16672, 7766, 8858, 10209, 9550, 11410, 15930};
  for (int id = 104; id <= 111; ++id) {
    HRSRC font = FindResourceA(plugin.module(), MAKEINTRESOURCEA(id), "FONTS");
    ASSERT_NE(font, nullptr) << id;
    EXPECT_EQ(SizeofResource(plugin.module(), font), fontSizes[id - 104]) << id;
  }

  const NPPluginFuncs& functions = plugin.functions();
  EXPECT_EQ(functions.size, sizeof(NPPluginFuncs)); // left as the browser set it
  EXPECT_EQ(functions.version, 9);
  EXPECT_TRUE(functions.newp && functions.destroy && functions.setwindow && functions.newstream &&
              functions.destroystream && functions.asfile && functions.writeready && functions.write &&
              functions.print && functions.urlnotify);
  EXPECT_EQ(functions.event, nullptr);

  EXPECT_EQ(plugin.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  NPPluginFuncs tooShort = {};
  tooShort.size = offsetof(NPPluginFuncs, urlnotify); // ends before the last entry written
  EXPECT_EQ(plugin.getEntryPoints(&tooShort), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(tooShort.newp, nullptr);
  EXPECT_EQ(plugin.initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  NPNetscapeFuncs nextMajor = testBrowserFunctions();
  nextMajor.version = 1 << 8;
  EXPECT_EQ(plugin.initialize(&nextMajor), NPERR_INCOMPATIBLE_VERSION_ERROR);
}

TEST(EmbedAttributes, ReadAsPagesSendThem) {
  const std::string longAddress(300, 'h');
  const char* names[] = {"SRC", "Width", "IP", "pOrT", "Id", "PARAM", "unknown", nullptr, "id"};
  const char* values[] = {"a.wlt", "320", longAddress.c_str(), "abc", "12", nullptr, "1", "5", nullptr};
  const plugin::EmbedSettings read = plugin::readEmbedAttributes(9, names, values);
  EXPECT_EQ(std::string(read.host), std::string(255, 'h'));
  EXPECT_EQ(read.port, 0);          // not a number
  EXPECT_EQ(read.connectionId, 12); // a later null value leaves it

  for (const plugin::EmbedSettings& none :
       {plugin::readEmbedAttributes(-3, names, values), plugin::readEmbedAttributes(2, nullptr, values),
        plugin::readEmbedAttributes(2, names, nullptr)}) {
    EXPECT_STREQ(none.host, "");
    EXPECT_EQ(none.port, -1);
    EXPECT_EQ(none.connectionId, 0);
  }
  EXPECT_EQ(plugin::leadingNumber(" +8080x"), 8080);
  EXPECT_EQ(plugin::leadingNumber("-7"), -7);
  EXPECT_EQ(plugin::leadingNumber("99999999999999999999"), INT_MAX);
  EXPECT_EQ(plugin::leadingNumber("-99999999999999999999"), INT_MIN);
}

// One recorder conversation shown by the plug-in in a window of width x height, and the same
// bytes replayed to the test's own viewer: both must paint the same picture.
struct Scene {
  paint::SoftwareCanvas plugin;
  paint::SoftwareCanvas printed; // NPP_Print into a memory device context
  paint::SoftwareCanvas native;
};

Scene showScene(TestBrowser& browser, const std::vector<std::string>& recorderOptions, int width, int height,
                UINT lastMessage, bool lastHasText = false) {
  Scene scene;
  std::vector<std::string> servers = {"simulator"};
  servers.insert(servers.end(), recorderOptions.begin(), recorderOptions.end());
  RecorderProcess recorder(servers);
  EXPECT_NE(recorder.port(), 0) << recorder.failure();
  RecordingProxy proxy(recorder.port());
  // The attributes as pages send them: any letter case, the separator an <object> element
  // adds before its parameters, names the plug-in does not know.
  Element& element = browser.embed({{"SRC", "camera.wlt"},
                                    {"IP", "127.0.0.1"},
                                    {"Port", std::to_string(proxy.port())},
                                    {"PARAM", std::nullopt},
                                    {"iD", "7"},
                                    {"quality", "high"}});
  EXPECT_EQ(element.created, NPERR_NO_ERROR);
  HWND site = browser.createSite(0, 0, width, height);
  browser.setWindow(element, site);
  proxy.release();
  EXPECT_TRUE(browser.pumpUntil([&] { return browser.taken(site, lastMessage) >= 1; }));
  scene.plugin = readWindow(site);
  scene.printed = captureDrawing(width, height, [&](HDC dc) {
    NPPrint print = {};
    print.mode = NP_EMBED;
    print.print.embedPrint.window = element.window;
    print.print.embedPrint.platformPrint = dc;
    browser.plugin().functions().print(&element.npp, &print);
  });
  EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(site), 0);

  ReplayRecorder replay(proxy.recorded());
  NativeViewer native("127.0.0.1", replay.port(), 7, width, height);
  EXPECT_TRUE(native.pumpUntil([&] { return native.handled(lastMessage, lastHasText) >= 1; }));
  scene.native = native.paint();
  browser.destroy(element);
  return scene;
}

TEST_F(PluginTest, PictureIsPaintedAsTheCorePaintsIt) {
  // One picture, then the recorder stalls: the window keeps showing it.
  const Scene scene = showScene(*browser, {"--fault", "at 1 stall 600000"}, 640, 480, platform::kMsgFrameDecoded);
  EXPECT_LT(countColour(scene.plugin, kStatusBlue), 640 * 480 / 10); // a picture, not a status screen
  // The frame of 480 rows is blitted over 482 (GDI repeats two of them): the software canvas
  // picks the same rows as GDI, so the pictures are the same to the pixel.
  EXPECT_TRUE(testsupport::sameImage("plugin-picture", scene.plugin, scene.native))
      << compareImages(scene.plugin, scene.native).describe();
  EXPECT_TRUE(testsupport::sameImage("plugin-printed", scene.printed, scene.plugin));
}

TEST_F(PluginTest, StatusScreensArePaintedAsTheCorePaintsThem) {
  // The recorder's error text, and nothing more.
  const Scene scene =
      showScene(*browser, {"--fault", "at 0 error 2004; at 0 stall 600000"}, 400, 300, platform::kMsgStatus, true);
  EXPECT_TRUE(testsupport::sameImage("plugin-recorder-error", scene.plugin, scene.native));
  EXPECT_TRUE(testsupport::sameImage("plugin-recorder-error-printed", scene.printed, scene.native));

  // An element without a port never connects: the first status stays.
  Element& element = browser->embed({{"ip", "127.0.0.1"}});
  HWND site = browser->createSite(0, 0, 300, 200);
  browser->setWindow(element, site);
  NativeViewer native("127.0.0.1", -1, 0, 300, 200);
  EXPECT_TRUE(testsupport::sameImage("plugin-waitconnect", readWindow(site), native.paint()));

  NPPrint full = {};
  full.mode = NP_FULL;
  full.print.fullPrint.pluginPrinted = true;
  plugin.functions().print(&element.npp, &full);
  EXPECT_FALSE(full.print.fullPrint.pluginPrinted); // the browser prints the full page itself
}

TEST_F(PluginTest, StreamsAreCountedAcrossInstancesAndNullArgumentsRefused) {
  statusLines().clear();
  const NPPluginFuncs& functions = plugin.functions();
  Element& first = browser->embed({{"ip", "127.0.0.1"}});
  Element& second = browser->embed({});
  ASSERT_EQ(first.created, NPERR_NO_ERROR);
  ASSERT_EQ(second.created, NPERR_NO_ERROR);

  char mimeType[] = "application/x-quellmark-wavelet";
  NPStream stream = {};
  stream.url = "http://recorder/camera.wlt";
  std::uint16_t type = 0;
  EXPECT_EQ(functions.newstream(&first.npp, mimeType, &stream, 0, &type), NPERR_NO_ERROR);
  EXPECT_EQ(type, NP_NORMAL);
  EXPECT_EQ(functions.writeready(&first.npp, &stream), 0x0FFFFFFF);
  char data[100] = {};
  EXPECT_EQ(functions.write(&first.npp, &stream, 0, sizeof data, data), 100);
  EXPECT_EQ(functions.destroystream(&first.npp, &stream, NPRES_DONE), NPERR_NO_ERROR);
  EXPECT_EQ(functions.destroystream(&second.npp, &stream, NPRES_NETWORK_ERR), NPERR_NO_ERROR); // not counted
  EXPECT_EQ(functions.destroystream(&second.npp, &stream, NPRES_DONE), NPERR_NO_ERROR);
  ASSERT_EQ(statusLines().size(), 2u);
  EXPECT_EQ(statusLines()[0].instance, &first.npp);
  EXPECT_EQ(statusLines()[0].text, "NPTest1 Daten erhalten #1\n");
  EXPECT_EQ(statusLines()[1].instance, &second.npp);
  EXPECT_EQ(statusLines()[1].text, "NPTest1 Daten erhalten #2\n");

  EXPECT_EQ(functions.newp(mimeType, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(functions.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(functions.setwindow(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(functions.newstream(nullptr, mimeType, &stream, 0, &type), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(functions.destroystream(nullptr, &stream, NPRES_DONE), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(functions.newstream(&first.npp, mimeType, &stream, 0, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(functions.setwindow(&first.npp, nullptr), NPERR_NO_ERROR);
  functions.print(&first.npp, nullptr);
  NPPrint print = {};
  functions.print(nullptr, &print);
  print.mode = NP_EMBED; // no device context
  functions.print(&first.npp, &print);

  // A negative count, null names and values: the element is created with what is usable.
  char portName[] = "port";
  char noise[] = "x";
  char* names[] = {nullptr, portName};
  char* values[] = {noise, nullptr};
  NPP_t negative = {};
  NPP_t nulls = {};
  EXPECT_EQ(functions.newp(mimeType, &negative, NP_EMBED, -5, names, values, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(functions.newp(mimeType, &nulls, NP_EMBED, 2, names, values, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(functions.destroy(&negative, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(functions.destroy(&nulls, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(functions.destroy(&nulls, nullptr), NPERR_NO_ERROR); // destroyed already: nothing left
  EXPECT_EQ(functions.setwindow(&nulls, &first.window), NPERR_INVALID_INSTANCE_ERROR);
}

TEST_F(PluginTest, WindowRepaintedMovedResizedTakenBackAndGivenAgain) {
  RecorderProcess recorder;
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  Element& element = browser->embed(recorderAttributes(recorder.port(), 1));
  HWND first = browser->createSite(0, 0, 320, 240);
  HWND second = browser->createSite(400, 0, 320, 240);
  const LONG_PTR ownProcedure = GetWindowLongPtrW(first, GWLP_WNDPROC);
  ASSERT_EQ(browser->setWindow(element, first), NPERR_NO_ERROR);
  const LONG_PTR pluginProcedure = GetWindowLongPtrW(first, GWLP_WNDPROC);
  EXPECT_NE(pluginProcedure, ownProcedure);
  ASSERT_TRUE(waitForFrames(first, 2));

  // The same window again: repainted, nothing else changes.
  ASSERT_EQ(browser->setWindow(element, first), NPERR_NO_ERROR);
  EXPECT_EQ(GetWindowLongPtrW(first, GWLP_WNDPROC), pluginProcedure);
  ASSERT_TRUE(waitForFrames(first, 2));

  // Another window: the viewer moves there and the first gets its own procedure back.
  ASSERT_EQ(browser->setWindow(element, second), NPERR_NO_ERROR);
  EXPECT_EQ(GetWindowLongPtrW(first, GWLP_WNDPROC), ownProcedure);
  ASSERT_TRUE(waitForFrames(second, 2));
  EXPECT_EQ(countColour(readWindow(first), kMagenta), 320 * 240);
  EXPECT_EQ(countColour(readWindow(second), kUnpainted), 0);

  // Resized: every paint uses the record's new size.
  browser->resizeSite(second, 480, 360);
  ASSERT_EQ(browser->setWindow(element, second), NPERR_NO_ERROR);
  ASSERT_TRUE(waitForFrames(second, 2));
  EXPECT_EQ(countColour(readWindow(second), kUnpainted), 0);

  // Taken back while a picture is being decoded: the decoded frame and everything after it
  // (the next picture's announcement) go to the plug-in's own window, none to the
  // browser's; given a window again, the pictures go on.
  bool takenBack = false;
  browser->afterDispatch = [&](const MSG& message) {
    if (!takenBack && message.hwnd == second && message.message == platform::kMsgOfferPicture) {
      takenBack = true;
      browser->setWindow(element, nullptr);
    }
  };
  ASSERT_TRUE(browser->pumpUntil([&] { return takenBack; }));
  browser->afterDispatch = nullptr;
  EXPECT_EQ(GetWindowLongPtrW(second, GWLP_WNDPROC), ownProcedure);
  const int parked = browser->takenElsewhere(platform::kMsgPictureWaiting);
  ASSERT_TRUE(browser->pumpUntil([&] { return browser->takenElsewhere(platform::kMsgPictureWaiting) > parked; }));
  ASSERT_EQ(browser->setWindow(element, first), NPERR_NO_ERROR);
  ASSERT_TRUE(waitForFrames(first, 3));

  // The browser destroys the window without taking it back first.
  DestroyWindow(first);
  const int orphaned = browser->takenElsewhere(platform::kMsgPictureWaiting);
  ASSERT_TRUE(browser->pumpUntil([&] { return browser->takenElsewhere(platform::kMsgPictureWaiting) > orphaned; }));
  EXPECT_EQ(browser->destroy(element), NPERR_NO_ERROR);
  EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(first), 0);
  EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(second), 0);
}

// What a careless or hostile browser posts to windows it shares with the plug-in: the
// viewer's message numbers, half with small values in wParam and anything in lParam (as a
// browser's own WM_USER + n would carry a pointer of its own), half entirely random.
void postForeignMessages(TestBrowser& browser, const std::vector<HWND>& windows, int count) {
  std::mt19937_64 random(20);
  constexpr int kBatch = 500; // well within a thread's queue
  for (int sent = 0; sent < count;) {
    for (int i = 0; i < kBatch && sent < count; ++i, ++sent) {
      const UINT message = platform::kMsgPictureWaiting + UINT(random() % 5);
      const WPARAM wParam = sent % 2 ? WPARAM(random()) : WPARAM(random() % 256);
      PostMessageW(windows[std::size_t(sent) % windows.size()], message, wParam, LPARAM(random()));
    }
    // The thread's queue is first in, first out: once this mark is taken, the batch was handled.
    const int marks = browser.taken(browser.frame(), WM_APP);
    PostMessageW(browser.frame(), WM_APP, 0, 0);
    ASSERT_TRUE(browser.pumpUntil([&] { return browser.taken(browser.frame(), WM_APP) > marks; }));
  }
}

TEST_F(PluginTest, ForeignMessagesOnItsWindowChangeNothingAndThePicturesGoOn) {
  RecorderProcess recorder({"fixed:3", "simulator", "--fps", "5"});
  ASSERT_NE(recorder.port(1), 0) << recorder.failure();
  Element& still = browser->embed(recorderAttributes(recorder.port(0), 1));
  Element& moving = browser->embed(recorderAttributes(recorder.port(1), 1));
  HWND stillSite = browser->createSite(0, 0, 320, 240);
  HWND movingSite = browser->createSite(330, 0, 320, 240);
  browser->setWindow(still, stillSite);
  browser->setWindow(moving, movingSite);
  ASSERT_TRUE(waitForFrames(stillSite, 1));
  ASSERT_TRUE(waitForFrames(movingSite, 1));
  const paint::SoftwareCanvas before = readWindow(stillSite);
  EXPECT_LT(countColour(before, kStatusBlue), 320 * 240 / 10); // a picture

  postForeignMessages(*browser, {stillSite, movingSite}, 10000);
  EXPECT_TRUE(samePixels(readWindow(stillSite), before)) << compareImages(readWindow(stillSite), before).describe();
  EXPECT_TRUE(waitForFrames(movingSite, 3));
  EXPECT_LT(countColour(readWindow(movingSite), kStatusBlue), 320 * 240 / 10);
}

// A second procedure installed on the element's window after the plug-in's, as another
// plug-in or the browser's accessibility code may do.
WNDPROC chainedFromSecond = nullptr;

LRESULT CALLBACK secondSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(chainedFromSecond, window, message, wParam, lParam);
}

TEST_F(PluginTest, ProcedureInstalledAfterThePluginsStaysInTheChain) {
  Element& element = browser->embed({{"ip", "127.0.0.1"}}); // no port: stays on its first status
  HWND site = browser->createSite(0, 0, 320, 240);
  ASSERT_EQ(browser->setWindow(element, site), NPERR_NO_ERROR);
  chainedFromSecond =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(site, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&secondSubclass)));
  EXPECT_EQ(browser->destroy(element), NPERR_NO_ERROR);
  EXPECT_EQ(GetWindowLongPtrW(site, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&secondSubclass));
  // Whatever goes through the chain now reaches the browser's own procedure.
  const int seen = TestBrowser::viewerMessagesSeenByBrowser(site);
  SendMessageW(site, platform::kMsgStatusIndex, 0, 0);
  EXPECT_EQ(TestBrowser::viewerMessagesSeenByBrowser(site), seen + 1);
  EXPECT_EQ(countColour(readWindow(site), kMagenta), 320 * 240);

  // A new instance on the same window paints through the chain it finds.
  Element& again = browser->embed({{"ip", "127.0.0.1"}});
  ASSERT_EQ(browser->setWindow(again, site), NPERR_NO_ERROR);
  EXPECT_GT(countColour(readWindow(site), kStatusBlue), 320 * 240 / 2);
  EXPECT_EQ(browser->destroy(again), NPERR_NO_ERROR);
  EXPECT_EQ(GetWindowLongPtrW(site, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&secondSubclass));
}

TEST_F(PluginTest, UnpacedRecorderGetsAtMostFiftyPicturesASecondAndThePagesTimerItsTurn) {
  RecorderProcess recorder({"simulator", "--fps", "0", "--loop", "8"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  Element& element = browser->embed(recorderAttributes(recorder.port(), 1));
  HWND site = browser->createSite(0, 0, 720, 576);
  browser->setWindow(element, site);
  ASSERT_TRUE(waitForFrames(site, 5));
  // The page's own timer, counted until it has fired kFires times.
  constexpr UINT kTimerMs = 50;
  constexpr int kFires = 40;
  ASSERT_NE(SetTimer(browser->frame(), 1, kTimerMs, nullptr), 0u);
  const int firesBefore = browser->taken(browser->frame(), WM_TIMER);
  const int framesBefore = browser->taken(site, platform::kMsgFrameDecoded);
  const DWORD start = GetTickCount();
  const bool fired =
      browser->pumpUntil([&] { return browser->taken(browser->frame(), WM_TIMER) - firesBefore >= kFires; }, 120000);
  const double seconds = double(GetTickCount() - start) / 1000.0;
  KillTimer(browser->frame(), 1);
  const int frames = browser->taken(site, platform::kMsgFrameDecoded) - framesBefore;
  ASSERT_TRUE(fired) << browser->taken(browser->frame(), WM_TIMER) - firesBefore << " timer events in " << seconds
                     << " s";
  std::printf("%d pictures and %d timer events in %.2f s\n", frames, kFires, seconds);
  EXPECT_GT(frames, 0);
  EXPECT_LE(frames, 50 * seconds + 2);
  EXPECT_GE(kFires, 0.8 * seconds * 1000 / kTimerMs); // at least 80 % of the timer's rate
}

} // namespace
