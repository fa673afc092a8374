// Window messages on Win32: handles are HWNDs. A MessageWindow is a real (hidden) window
// created on its owner's thread; pump runs that thread's message loop, and its window
// procedure hands the viewer's messages to the pump's handler.
#include "platform/Window.h"

#include <windows.h>

#include <mutex>

namespace platform {

struct MessageWindow::Impl {
  HWND window = nullptr;
  const std::function<void(const WindowMessage&)>* handler = nullptr;
  int handled = 0;
  bool invalidated = false; // set by WM_PAINT, cleared by takeInvalidated
  bool erase = false;       // set by WM_ERASEBKGND
  bool classHeld = false;   // this window counts as a user of the window class
};

namespace {

const char kClassName[] = "CamviewMessageWindow";

// Posted by pump to itself: everything posted before it belongs to this pump.
UINT pumpMarker() {
  static const UINT marker = RegisterWindowMessageA("CamviewMessageWindowPumpMarker");
  return marker;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* impl = reinterpret_cast<MessageWindow::Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (impl == nullptr) return DefWindowProcA(window, message, wParam, lParam);

  if (message == WM_ERASEBKGND) {
    impl->erase = true;
    return 1;
  }
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint); // validates; sends WM_ERASEBKGND when an erase is pending
    EndPaint(window, &paint);
    impl->invalidated = true;
    return 0;
  }
  // Private messages (WM_USER and WM_APP ranges) go to the handler; registered messages
  // (0xC000 and up) are broadcast by the system to top-level windows and are not ours.
  if (message >= WM_USER && message < 0xC000) {
    if (impl->handler != nullptr && *impl->handler) {
      (*impl->handler)(WindowMessage{message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)});
    }
    ++impl->handled;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&windowProcedure), &module);
  return module;
}

// The window class lives while any MessageWindow does: it is registered by the first and
// unregistered with the last, so a DLL that carries this code leaves no class behind whose
// window procedure points into it after it is unloaded.
std::mutex classMutex;
int classUsers = 0;

bool acquireWindowClass() {
  std::lock_guard lock(classMutex);
  if (classUsers == 0) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = thisModule();
    windowClass.lpszClassName = kClassName;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++classUsers;
  return true;
}

void releaseWindowClass() {
  std::lock_guard lock(classMutex);
  if (classUsers == 0 || --classUsers > 0) return;
  UnregisterClassA(kClassName, thisModule());
}

bool postedMessageWaiting() {
  MSG message;
  return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

} // namespace

MessageWindow::MessageWindow() : impl_(std::make_unique<Impl>()) {
  impl_->classHeld = acquireWindowClass();
  if (impl_->classHeld) {
    // Visible, because a hidden window keeps no update region and InvalidateRect would
    // leave no trace; a small tool window that never takes the focus.
    impl_->window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, "", WS_POPUP, 0, 0, 16, 16,
                                    nullptr, nullptr, thisModule(), impl_.get());
  }
  if (impl_->window != nullptr) {
    ShowWindow(impl_->window, SW_SHOWNOACTIVATE);
    ValidateRect(impl_->window, nullptr); // showing is not an invalidate of the owner's
    impl_->invalidated = false;
    impl_->erase = false;
  }
}

MessageWindow::~MessageWindow() {
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
  if (impl_->classHeld) releaseWindowClass();
}

bool messageWindowClassRegistered() {
  WNDCLASSA found{};
  return GetClassInfoA(thisModule(), kClassName, &found) != 0;
}

WindowHandle MessageWindow::handle() const { return impl_->window; }

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == nullptr) return false;
  return PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) !=
         0;
}

void invalidate(WindowHandle window, bool erase) {
  if (window != nullptr) InvalidateRect(static_cast<HWND>(window), nullptr, erase ? TRUE : FALSE);
}

int MessageWindow::pump(const std::function<void(const WindowMessage&)>& handler, int waitMs) {
  HWND window = impl_->window;
  if (window == nullptr) return 0;
  DWORD start = GetTickCount();
  while (!postedMessageWaiting() && !GetUpdateRect(window, nullptr, FALSE)) {
    DWORD waited = GetTickCount() - start;
    if (waitMs <= 0 || waited >= static_cast<DWORD>(waitMs)) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(waitMs) - waited, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }

  impl_->handler = &handler;
  impl_->handled = 0;
  bool bounded = PostMessageA(window, pumpMarker(), 0, 0) != 0;
  MSG message;
  // Without the marker (a full queue) the loop ends when the queue is empty.
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam)); // for the owner's own loop
      break;
    }
    if (bounded && message.hwnd == window && message.message == pumpMarker()) break;
    DispatchMessageA(&message);
  }
  impl_->handler = nullptr;
  return impl_->handled;
}

bool MessageWindow::takeInvalidated(bool* erase) {
  if (impl_->window != nullptr && GetUpdateRect(impl_->window, nullptr, FALSE))
    UpdateWindow(impl_->window); // paints now: WM_PAINT (and WM_ERASEBKGND) set the flags
  bool wasInvalidated = impl_->invalidated;
  if (erase != nullptr) *erase = impl_->erase;
  impl_->invalidated = false;
  impl_->erase = false;
  return wasInvalidated;
}

} // namespace platform
