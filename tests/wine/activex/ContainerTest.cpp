// The control in a container of ours, as a page's <object> element with <param>s has it:
// created by ProgID, loaded from a bag of texts, active in a window, with the recorder in a
// process of its own. What the control's window shows is read back and compared with what
// the viewer core paints for the same picture or status text.
#include "engine/LanguageTable.h"
#include "tests/support/GoldenImage.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/wine/activex/ControlModule.h"
#include "tests/wine/activex/TestContainer.h"
#include "tests/support/WaitUntil.h"
#include "tests/wine/support/MessageLoop.h"
#include "tests/wine/support/NativeViewer.h"
#include "tests/wine/support/RecorderProcess.h"
#include "tests/wine/support/Threads.h"
#include "tests/wine/support/WindowReadBack.h"
#include "platform/Window.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <random>

namespace {

using activextest::EmbeddedControl;
using activextest::TextPropertyBag;
using olecontrol::ComRef;
using winetest::RecorderProcess;

constexpr int kWidth = 720; // the reference decodes at full size: a window of the picture's size
constexpr int kHeight = 576;

// The control's window showing picture `seed` of a fixed recorder, as the same core paints
// it natively on a software canvas (in this process, with sockets of its own that are given
// back before the control is made).
paint::SoftwareCanvas expectedPicture(int seed) { return winetest::nativeFixedPicture(seed, kWidth, kHeight); }

paint::SoftwareCanvas expectedStatus(const char* key) {
  CLanguageTable language; // the system's language, as the control's viewer chooses
  return testsupport::referenceStatusScreen(language.lookup(key), kWidth, kHeight);
}

// Without its own start-up of Windows Sockets, socket() in this process fails.
bool socketsStartedHere() {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe != INVALID_SOCKET) closesocket(probe);
  return probe != INVALID_SOCKET || WSAGetLastError() != WSANOTINITIALISED;
}

TextPropertyBag recorderParameters(int port, int connectionId) {
  TextPropertyBag bag;
  bag.set(L"IP", L"127.0.0.1");
  bag.set(L"Port", std::to_wstring(port));
  bag.set(L"ConnectionID", std::to_wstring(connectionId));
  return bag;
}

HRESULT getProperty(IUnknown* control, const wchar_t* name, VARIANT& value) {
  ComRef<IDispatch> dispatch;
  if (!dispatch.queryFrom(control, IID_IDispatch)) return E_NOINTERFACE;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  HRESULT result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result)) return result;
  DISPPARAMS none{};
  VariantInit(&value);
  return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
}

HRESULT putProperty(IUnknown* control, const wchar_t* name, VARIANT value) {
  ComRef<IDispatch> dispatch;
  if (!dispatch.queryFrom(control, IID_IDispatch)) return E_NOINTERFACE;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  HRESULT result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result)) return result;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{&value, &named, 1, 1};
  return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &parameters, nullptr, nullptr,
                          nullptr);
}

// A container window that AddRefs and Releases the control when told that its window goes.
IUnknown* heldOnParentNotify = nullptr;
int parentNotifications = 0;
WNDPROC hostProcedure = nullptr;

LRESULT CALLBACK holdingHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_DESTROY && heldOnParentNotify) {
    ++parentNotifications;
    heldOnParentNotify->AddRef();
    heldOnParentNotify->Release();
  }
  return CallWindowProcW(hostProcedure, window, message, wParam, lParam);
}

class ContainerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    ASSERT_EQ(activextest::registerControl(true), S_OK);
    CoUninitialize();
  }
  static void TearDownTestSuite() {
    CoInitialize(nullptr);
    EXPECT_EQ(activextest::registerControl(false), S_OK);
    CoUninitialize();
  }
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override {
    CoFreeUnusedLibrariesEx(0, 0);
    OleUninitialize();
  }

  // After a control is gone: none of its threads is left and the module may be unloaded.
  static void expectNothingLeft() {
    EXPECT_EQ(winetest::threadsStartedIn(activextest::loadedControl()), activextest::loadedControl() ? 0 : -1);
    EXPECT_EQ(activextest::controlCanUnloadNow(), S_OK);
  }

  static void expectSameImage(const char* name, EmbeddedControl& control, const paint::SoftwareCanvas& expected) {
    ASSERT_GT(expected.width(), 0);
    if (!control.waitForPicture(expected)) {
      EXPECT_TRUE(testsupport::sameImage(name, control.readBack(), expected));
    }
  }
};

TEST_F(ContainerTest, ShowsTheRecordersPictureInAContainerWithoutWindowsSockets) {
  const paint::SoftwareCanvas expected = expectedPicture(1);
  ASSERT_FALSE(socketsStartedHere()); // as a browser's process may be
  RecorderProcess recorder({"fixed:1"});
  ASSERT_TRUE(recorder.started()) << recorder.failure();
  {
    EmbeddedControl control(kWidth, kHeight);
    TextPropertyBag bag = recorderParameters(recorder.port(0), 5);
    ASSERT_EQ(control.open(&bag), S_OK);
    EXPECT_EQ(control.site.activations, 1);
    expectSameImage("activex-picture", control, expected);
    control.close();
    EXPECT_EQ(control.site.deactivations, 1);
    EXPECT_EQ(control.site.references(), 0); // the control let go of its site
  }
  EXPECT_FALSE(socketsStartedHere()); // the viewer's own start-up ended with it
  expectNothingLeft();
}

TEST_F(ContainerTest, ParametersMissingOrTooLongKeepTheStatusScreen) {
  const std::wstring longAddress(300, L'a');
  TextPropertyBag bag; // no "Port" and no "ConnectionID": both 0, nothing answers
  bag.set(L"ip", longAddress);
  EmbeddedControl control(kWidth, kHeight);
  ASSERT_EQ(control.open(&bag), S_OK);
  expectSameImage("activex-waitconnect", control, expectedStatus("waitconnect"));

  VARIANT value;
  ASSERT_EQ(getProperty(control.object(), L"IP", value), S_OK);
  EXPECT_EQ(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)), longAddress); // kept whole
  VariantClear(&value);
  ASSERT_EQ(getProperty(control.object(), L"port", value), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, 0);
}

TEST_F(ContainerTest, PortChangedWhileActiveIsSavedAndTakesEffectWithTheNextWindow) {
  const paint::SoftwareCanvas first = expectedPicture(1);
  const paint::SoftwareCanvas second = expectedPicture(2);
  RecorderProcess recorder({"fixed:1", "fixed:2"});
  ASSERT_TRUE(recorder.started()) << recorder.failure();
  EmbeddedControl control(kWidth, kHeight);
  TextPropertyBag bag = recorderParameters(recorder.port(0), 1);
  ASSERT_EQ(control.open(&bag), S_OK);
  expectSameImage("activex-first-port", control, first);

  VARIANT port;
  VariantInit(&port);
  port.vt = VT_I4;
  port.lVal = recorder.port(1);
  ASSERT_EQ(putProperty(control.object(), L"Port", port), S_OK);
  ComRef<IPersistStreamInit> persist;
  ASSERT_TRUE(control.query(IID_IPersistStreamInit, persist));
  EXPECT_EQ(persist->IsDirty(), S_OK);
  winetest::dispatchPending(); // what the change might have set off
  expectSameImage("activex-same-port", control, first);

  // Saved to a stream and loaded into a new control, with the other values as they were.
  ComRef<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  EmbeddedControl copy(kWidth, kHeight);
  ASSERT_EQ(copy.create(), S_OK);
  ComRef<IPersistStreamInit> copyPersist;
  ASSERT_TRUE(copy.query(IID_IPersistStreamInit, copyPersist));
  ASSERT_EQ(copyPersist->Load(stream.get()), S_OK);
  VARIANT value;
  ASSERT_EQ(getProperty(copy.object(), L"Port", value), S_OK);
  EXPECT_EQ(value.lVal, recorder.port(1));
  ASSERT_EQ(getProperty(copy.object(), L"IP", value), S_OK);
  EXPECT_STREQ(value.bstrVal, L"127.0.0.1");
  VariantClear(&value);
  ASSERT_EQ(getProperty(copy.object(), L"ConnectionID", value), S_OK);
  EXPECT_EQ(value.lVal, 1);
  copy.close();

  // A new window: the viewer starts with the new port.
  ComRef<IOleInPlaceObject> inPlace;
  ASSERT_TRUE(control.query(IID_IOleInPlaceObject, inPlace));
  ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(winetest::threadsStartedIn(activextest::loadedControl()), 0); // the viewer went with its window
  ASSERT_EQ(control.activate(), S_OK);
  expectSameImage("activex-second-port", control, second);
  EXPECT_EQ(recorder.connectionCounts(), (std::vector<long>{1, 1}));
}

// Reached while the property frame's modal loop runs: finds the frame (a visible dialog of
// this thread), looks at it and closes it.
struct PropertyFrameWatch {
  static inline bool seen = false;
  static inline int pageDialogs = 0;
  static inline int pageFields = 0;
  static inline std::wstring caption;

  static bool isDialog(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770";
  }

  static BOOL CALLBACK findFrame(HWND window, LPARAM found) {
    if (!isDialog(window) || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }

  // The frame holds the page (a dialog of the module's template) in a dialog of its own,
  // beside its buttons and tabs: a field would be a window inside one of those dialogs.
  static BOOL CALLBACK countFields(HWND window, LPARAM) {
    if (!isDialog(window)) return TRUE;
    ++pageDialogs;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      pageFields += !isDialog(child);
    return TRUE;
  }

  static void CALLBACK check(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND frame = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findFrame, reinterpret_cast<LPARAM>(&frame));
    if (!frame) return;
    KillTimer(nullptr, timer);
    seen = true;
    wchar_t title[256] = {};
    GetWindowTextW(frame, title, 256);
    caption = title;
    EnumChildWindows(frame, countFields, 0);
    PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
  }
};

TEST_F(ContainerTest, PropertyPageOpensWithNoFields) {
  EmbeddedControl control(kWidth, kHeight);
  ASSERT_EQ(control.open(nullptr), S_OK);
  ComRef<IOleObject> ole;
  ASSERT_TRUE(control.query(IID_IOleObject, ole));
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, PropertyFrameWatch::check);
  RECT position{0, 0, kWidth, kHeight};
  EXPECT_EQ(ole->DoVerb(OLEIVERB_PROPERTIES, nullptr, &control.site, 0, control.hostWindow(), &position), S_OK);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(PropertyFrameWatch::seen);
  EXPECT_NE(PropertyFrameWatch::caption.find(L"CamViewControl"), std::wstring::npos) << "frame caption";
  EXPECT_GE(PropertyFrameWatch::pageDialogs, 1);
  EXPECT_EQ(PropertyFrameWatch::pageFields, 0);
}

// Closing and releasing the control while its viewer is in a given state returns, and
// leaves no thread of the module behind.
void closeWhile(const std::vector<std::string>& servers, const std::function<bool(EmbeddedControl&)>& reached) {
  RecorderProcess recorder(servers);
  ASSERT_TRUE(recorder.started()) << recorder.failure();
  {
    EmbeddedControl control(kWidth, kHeight);
    TextPropertyBag bag = recorderParameters(recorder.port(0), 1);
    ASSERT_EQ(control.open(&bag), S_OK);
    ASSERT_TRUE(winetest::pumpUntil([&] { return reached(control); }, 30000));
    EXPECT_GT(winetest::threadsStartedIn(activextest::loadedControl()), 0);
  }
  EXPECT_EQ(winetest::threadsStartedIn(activextest::loadedControl()), 0);
  EXPECT_EQ(activextest::controlCanUnloadNow(), S_OK);
}

TEST_F(ContainerTest, ClosingWhileDecodingOrStalledLeavesNoThread) {
  const paint::SoftwareCanvas waiting = expectedStatus("waitconnect");
  auto pictureShown = [&](EmbeddedControl& control) {
    const paint::SoftwareCanvas shown = control.readBack();
    return shown.width() == kWidth && !winetest::samePixels(shown, waiting);
  };
  closeWhile({"simulator", "--fps", "0"}, pictureShown); // pictures keep coming: receiving and decoding
  const paint::SoftwareCanvas picture = expectedPicture(3);
  closeWhile({"fixed:3"}, [&](EmbeddedControl& control) { return control.waitForPicture(picture, 0); }); // stalled
}

TEST_F(ContainerTest, ClosingWhileConnectingLeavesNoThread) {
  // The recorder's queue is full: the viewer's connect waits for an answer that never comes.
  closeWhile({"full"}, [](EmbeddedControl&) { return true; });
}

// Counts what reaches it: posted after a batch of messages to other windows of this thread,
// it is handled after all of them (a thread's posted messages are taken in order).
int marksTaken = 0;
LRESULT CALLBACK markProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++marksTaken;
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(ContainerTest, ForeignMessagesOnItsWindowChangeNothing) {
  RecorderProcess recorder({"fixed:3"});
  ASSERT_NE(recorder.port(), 0) << recorder.failure();
  TextPropertyBag bag = recorderParameters(recorder.port(), 1);
  EmbeddedControl control(kWidth, kHeight);
  ASSERT_EQ(control.open(&bag), S_OK);
  const paint::SoftwareCanvas picture = expectedPicture(3);
  expectSameImage("activex-before-foreign", control, picture);

  WNDCLASSW markClass{};
  markClass.lpfnWndProc = markProcedure;
  markClass.hInstance = GetModuleHandleW(nullptr);
  markClass.lpszClassName = L"CamviewTestMark";
  RegisterClassW(&markClass);
  HWND mark = CreateWindowExW(0, L"CamviewTestMark", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(mark, nullptr);
  // The viewer's message numbers as another program might post them: small values with
  // anything in lParam, or entirely random.
  std::mt19937_64 random(20);
  for (int sent = 0; sent < 10000;) {
    for (int i = 0; i < 500; ++i, ++sent)
      PostMessageW(control.window(), platform::kMsgPictureWaiting + UINT(random() % 5),
                   sent % 2 ? WPARAM(random()) : WPARAM(random() % 256), LPARAM(random()));
    const int marks = marksTaken;
    PostMessageW(mark, WM_APP, 0, 0);
    ASSERT_TRUE(winetest::pumpUntil([&] { return marksTaken > marks; }));
  }
  DestroyWindow(mark);
  EXPECT_TRUE(control.waitForPicture(picture, 0));
}

TEST_F(ContainerTest, ContainerHoldingTheControlWhileItGoesDoesNotDeleteItTwice) {
  for (bool deactivatedFirst : {true, false}) {
    {
      EmbeddedControl control(kWidth, kHeight);
      ASSERT_EQ(control.open(nullptr), S_OK);
      ASSERT_NE(control.window(), nullptr);
      hostProcedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(control.hostWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&holdingHostProcedure)));
      heldOnParentNotify = control.object();
      control.site.holdWhenNotified = control.object();
      const int notified = parentNotifications;
      if (deactivatedFirst)
        control.close();
      else
        control.releaseWhileActive(); // the window goes inside the last Release
      EXPECT_EQ(parentNotifications, notified + 1) << deactivatedFirst;
      heldOnParentNotify = nullptr;
      control.site.holdWhenNotified = nullptr;
    }
    expectNothingLeft();
  }
}

TEST_F(ContainerTest, ModuleUnloadedAndLoadedAgainMakesWorkingControls) {
  for (int round = 0; round < 2; ++round) {
    {
      EmbeddedControl control(kWidth, kHeight);
      ASSERT_EQ(control.open(nullptr), S_OK);
      expectSameImage("activex-reloaded", control, expectedStatus("waitconnect"));
    }
    // A thread of an earlier viewer (a name lookup no one waits for) may end a moment later:
    // the module goes as soon as it says it can, within a generous bound.
    CoFreeUnusedLibrariesEx(0, 0);
    testsupport::waitUntil([] { return activextest::loadedControl() == nullptr; }, std::chrono::seconds(20),
                           [] {
                             Sleep(10);
                             CoFreeUnusedLibrariesEx(0, 0);
                           });
    EXPECT_EQ(activextest::loadedControl(), nullptr)
        << "round " << round << ", DllCanUnloadNow: " << std::hex << activextest::controlCanUnloadNow();
  }
}

TEST_F(ContainerTest, AtlHostWindowCreatesAndShowsTheControl) {
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  using Init = BOOL(WINAPI*)();
  auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  ASSERT_NE(init, nullptr);
  ASSERT_TRUE(init());
  {
    activextest::HostWindow host(kWidth, kHeight);
    // The ATL host window creates the control named by its text.
    HWND axHost = CreateWindowExW(0, L"AtlAxWin", activextest::kControlProgId, WS_CHILD | WS_VISIBLE, 0, 0, kWidth,
                                  kHeight, host.handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(axHost, nullptr);
    HWND controlWindow = GetWindow(axHost, GW_CHILD);
    ASSERT_NE(controlWindow, nullptr);
    const paint::SoftwareCanvas expected = expectedStatus("waitconnect");
    auto shows = [&] { return winetest::samePixels(winetest::readWindow(controlWindow), expected); };
    if (!winetest::pumpUntil(shows, 30000)) {
      EXPECT_TRUE(testsupport::sameImage("activex-atl", winetest::readWindow(controlWindow), expected));
    }
    DestroyWindow(axHost);
    winetest::dispatchPending();
  }
  expectNothingLeft();
  FreeLibrary(atl);
}

} // namespace
