#include "hosts/plugin/PluginWindow.h"

#include "hosts/plugin/PluginProcess.h"
#include "platform/paint/win32/GdiCanvas.h"
#include "presentation/EmbeddedViewer.h"

#include <algorithm>

namespace plugin {
namespace {

const char kInstanceProperty[] = "instance->pdata";
// The procedure our window procedure chains to on the browser's window. It stays while our
// procedure is in the window's chain, also after the instance has let go of the window.
const char kPreviousProperty[] = "npcamview.previousProcedure";
const wchar_t kParkingClassName[] = L"npcamviewParkingWindow";
constexpr UINT kFirstViewerMessage = platform::kMsgPictureWaiting;
constexpr UINT kLastViewerMessage = platform::kMsgOfferPicture;
// Window records come from the browser: sizes beyond any screen are cut, so that the paint
// rectangle's arithmetic cannot overflow.
constexpr std::uint32_t kLargestSide = 1u << 20;

PluginInstance* instanceOf(HWND window) { return static_cast<PluginInstance*>(GetPropA(window, kInstanceProperty)); }

int side(std::uint32_t length) { return static_cast<int>(std::min(length, kLargestSide)); }

ViewerHostWindow hostFor(const PluginInstance& instance, HWND window) {
  ViewerHostWindow host;
  host.window = window;
  if (instance.browserWindow) {
    host.clientWidth = side(instance.browserWindow->width);
    host.clientHeight = side(instance.browserWindow->height);
  }
  host.eraseOnFrame = false; // the plug-in repaints without erasing the background
  return host;
}

bool isViewerMessage(UINT message) { return message >= kFirstViewerMessage && message <= kLastViewerMessage; }

void dispatch(const PluginInstance& instance, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const platform::WindowMessage viewerMessage{message, static_cast<std::uintptr_t>(wParam),
                                              static_cast<std::intptr_t>(lParam)};
  embed::dispatchMessage(instance.viewer, viewerMessage, hostFor(instance, window));
}

// Moves the viewer's messages queued for `from` to `to` in their order, or drops them when
// `to` is null. Both windows belong to this thread.
void moveQueuedMessages(HWND from, HWND to) {
  MSG message;
  while (PeekMessageW(&message, from, kFirstViewerMessage, kLastViewerMessage, PM_REMOVE | PM_NOYIELD))
    if (to) PostMessageW(to, message.message, message.wParam, message.lParam);
}

void parkViewer(PluginInstance& instance);

LRESULT handleWindowMessage(PluginInstance& instance, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc && instance.browserWindow)
      paintInto(instance, dc, instance.browserWindow->width, instance.browserWindow->height);
    EndPaint(window, &paint);
    return 0;
  }
  // How Windows takes pictures of a window (PrintWindow, thumbnails): the same paint into
  // the device context the message brings.
  case WM_PRINT:
    if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(window)) return 0;
    if (!(lParam & PRF_CLIENT)) return 0;
    [[fallthrough]];
  case WM_PRINTCLIENT:
    if (wParam && instance.browserWindow)
      paintInto(instance, reinterpret_cast<HDC>(wParam), instance.browserWindow->width, instance.browserWindow->height);
    return 0;
  // The browser destroys its window without taking it back first: the viewer moves to the
  // plug-in's own window, and the browser's procedure sees its window's end.
  case WM_DESTROY: {
    const WNDPROC previous = instance.previousProcedure;
    parkViewer(instance);
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
  }
  default:
    // The viewer's messages; every other one is neither handled nor passed on.
    if (isViewerMessage(message)) dispatch(instance, window, message, wParam, lParam);
    return 0;
  }
}

// Our procedure on a window no instance uses: it could not be taken out of the chain
// because something subclassed the window after us (restoreProcedure), so it passes every
// message on to the procedure it replaced until the window is gone.
LRESULT passThrough(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProperty));
  if (message == WM_NCDESTROY) RemovePropA(window, kPreviousProperty);
  return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    PluginInstance* instance = instanceOf(window);
    if (!instance) return passThrough(window, message, wParam, lParam);
    return handleWindowMessage(*instance, window, message, wParam, lParam);
  } catch (...) {
    return 0; // nothing may unwind into the browser's message loop
  }
}

// The plug-in's own window while the browser's is gone. Once the browser gives a window
// again, whatever still arrives here is passed on to it.
LRESULT CALLBACK parkingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    PluginInstance* instance = instanceOf(window);
    if (!instance || !isViewerMessage(message)) return DefWindowProcW(window, message, wParam, lParam);
    if (instance->window) {
      PostMessageW(instance->window, message, wParam, lParam);
      return 0;
    }
    // Without a window there is no size to render a picture for: it waits in the connection
    // until the next window, and so does one that a decoded frame would take in. Statuses,
    // decoded frames and the offer go on.
    if (message != platform::kMsgPictureWaiting) dispatch(*instance, window, message, wParam, lParam);
    if (message == platform::kMsgPictureWaiting || message == platform::kMsgFrameDecoded) {
      instance->pictureAnnounced = true;
      instance->announcement = wParam;
    }
    return 0;
  } catch (...) {
    return 0;
  }
}

HWND parkingWindowOf(PluginInstance& instance) {
  if (instance.parkingWindow) return instance.parkingWindow;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = parkingProcedure;
  windowClass.hInstance = pluginModule();
  windowClass.lpszClassName = kParkingClassName;
  if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  HWND window =
      CreateWindowExW(0, kParkingClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, pluginModule(), nullptr);
  if (!window) return nullptr;
  SetPropA(window, kInstanceProperty, &instance);
  instance.parkingWindow = window;
  return window;
}

// Puts the browser's own procedure back on its window and forgets the window. When another
// procedure was installed over ours since, putting ours' predecessor back would cut that one
// out of the chain: ours stays in as a pass-through instead, and so must its code, so the
// module is then kept loaded for the rest of the process.
void restoreProcedure(PluginInstance& instance) {
  if (!instance.window) return;
  const auto ours = reinterpret_cast<LONG_PTR>(windowProcedure);
  if (GetWindowLongPtrW(instance.window, GWLP_WNDPROC) == ours) {
    if (instance.previousProcedure)
      SetWindowLongPtrW(instance.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance.previousProcedure));
    RemovePropA(instance.window, kPreviousProperty);
  } else {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&windowProcedure), &pinned);
  }
  RemovePropA(instance.window, kInstanceProperty);
  instance.window = nullptr;
  instance.previousProcedure = nullptr;
}

// The browser takes its window back: the viewer's messages, queued and future, go to the
// plug-in's own window instead (or, when that cannot be created, nowhere).
void parkViewer(PluginInstance& instance) {
  const HWND old = instance.window;
  if (!old) return;
  restoreProcedure(instance);
  const HWND parking = parkingWindowOf(instance);
  if (parking)
    embed::attachWindow(instance.viewer, parking);
  else
    embed::detachWindow(instance.viewer);
  moveQueuedMessages(old, parking);
}

void attachTo(PluginInstance& instance, HWND window) {
  SetPropA(window, kInstanceProperty, &instance); // before the procedure can be called
  if (const HANDLE kept = GetPropA(window, kPreviousProperty)) {
    // Our procedure is still in this window's chain as a pass-through: it serves again.
    instance.previousProcedure = reinterpret_cast<WNDPROC>(kept);
  } else {
    const LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProcedure));
    if (!previous) { // not a window this thread may subclass: no window, then
      RemovePropA(window, kInstanceProperty);
      return;
    }
    instance.previousProcedure = reinterpret_cast<WNDPROC>(previous);
    SetPropA(window, kPreviousProperty, reinterpret_cast<HANDLE>(previous));
  }
  instance.window = window;
  embed::attachWindow(instance.viewer, window);
  if (instance.parkingWindow) moveQueuedMessages(instance.parkingWindow, window);
  if (instance.pictureAnnounced) {
    PostMessageW(window, platform::kMsgPictureWaiting, instance.announcement, 0);
    instance.pictureAnnounced = false;
  }
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

} // namespace

void setWindow(PluginInstance& instance, NPWindow* record) {
  HWND window = record ? static_cast<HWND>(record->window) : nullptr;
  if (window && !IsWindow(window)) window = nullptr;
  // The record is stored first: a repaint below already uses its size.
  instance.browserWindow = record;
  if (window && window == instance.window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    return;
  }
  parkViewer(instance);
  if (window) attachTo(instance, window);
}

void releaseWindows(PluginInstance& instance) {
  if (instance.window) {
    const HWND old = instance.window;
    restoreProcedure(instance);
    moveQueuedMessages(old, nullptr);
  }
  if (instance.parkingWindow) {
    RemovePropA(instance.parkingWindow, kInstanceProperty);
    DestroyWindow(instance.parkingWindow); // its queue goes with it
    instance.parkingWindow = nullptr;
  }
  instance.browserWindow = nullptr;
}

void paintInto(const PluginInstance& instance, HDC dc, std::uint32_t width, std::uint32_t height) {
  paint::GdiCanvas canvas(dc);
  embed::paint(instance.viewer, canvas, paint::Rect{0, 0, side(width), side(height)});
}

void unregisterWindowClass() { UnregisterClassW(kParkingClassName, pluginModule()); }

} // namespace plugin
