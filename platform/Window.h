#pragma once
// Window messages between the viewer's worker threads and its window thread.
//
// On Windows a WindowHandle is an HWND; messages are posted with PostMessageA. On Linux it
// is a MessageWindow (below): a thread-safe queue that its owner pumps on its own thread,
// standing in for the window thread's message loop.
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class SocketWaiter;

using WindowHandle = void*; // HWND on Windows, MessageWindow* on Linux; null = no window

// The viewer's notifications: WM_USER + 1 .. WM_USER + 5.
enum : std::uint32_t {
  kMsgPictureWaiting = 1025, // Receiver thread: a picture waits in the window slot
  kMsgStatus = 1026,         // status index in wParam, or a text pointer in lParam
  kMsgStatusIndex = 1027,    // status index in wParam
  kMsgFrameDecoded = 1028,   // display frame index in wParam
  kMsgOfferPicture = 1029,   // window thread to itself: offer the picture to the Decoder thread
};

struct WindowMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// Posts a message; returns false when there is no window or the post failed (also when the
// window has been destroyed: on Linux a destroyed MessageWindow's handle is no longer valid).
bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Asks for the window to be repainted (InvalidateRect of the whole client area).
void invalidate(WindowHandle window, bool erase);

// A window that only receives messages, owned and pumped by one thread. On Windows a hidden
// message window created on the owner's thread; on Linux a queue. Used by the Linux hosts
// and by tests on both systems.
class MessageWindow {
public:
  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowHandle handle() const;

  // Owner's thread: waits up to `waitMs` for the first message if none is queued and the
  // window is not invalidated, then hands every queued message to `handler` in the order
  // posted. Messages posted while the handler runs (also by the handler itself) wait for
  // the next call, so a handler that re-posts cannot keep one call busy. Returns how many.
  // Not re-entrant: a handler must not pump the same window.
  int pump(const std::function<void(const WindowMessage&)>& handler, int waitMs = 0);

  // Owner's thread: true (and cleared) when invalidate was called since the last check.
  bool takeInvalidated(bool* erase = nullptr);

  // Linux: every post to this window and every invalidate also wakes `waiter` (null: none),
  // so that one thread can sleep until any of its windows has something, or its other
  // sources (an X connection) do. The waiter must outlive the window or be unset first.
  // Not available on Windows, where a thread's message loop wakes for all its windows.
  void setWaker(SocketWaiter* waiter);

  struct Impl;

private:
  std::unique_ptr<Impl> impl_;
};

// Windows: whether the message windows' class is registered; it is while any MessageWindow
// exists, and unregistered with the last one. Always false on Linux (no class).
bool messageWindowClassRegistered();

} // namespace platform
