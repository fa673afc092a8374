#include "hosts/activex/olecontrol/ControlWindow.h"

#include "hosts/activex/olecontrol/Module.h"
#include "hosts/activex/olecontrol/OleControl.h"

namespace olecontrol {
namespace {

const wchar_t kClassName[] = L"CamviewOleControlWindow";

LRESULT CALLBACK controlWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* control = reinterpret_cast<OleControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (!control) return DefWindowProcW(window, message, wParam, lParam);
  // Nothing may be thrown into the container's message loop.
  try {
    return control->handleWindowMessage(window, message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool registerClassOnce() {
  WNDCLASSW existing{};
  if (GetClassInfoW(moduleInstance(), kClassName, &existing)) return true;
  WNDCLASSW windowClass{};
  // Every resize repaints all: the picture is scaled to the window and the status text is
  // laid out for its width.
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = controlWindowProcedure;
  windowClass.hInstance = moduleInstance();
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = kClassName;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

HWND createControlWindow(OleControl& control, HWND parent, const RECT& position) {
  if (!registerClassOnce()) return nullptr;
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left, position.top,
                         position.right - position.left, position.bottom - position.top, parent, nullptr,
                         moduleInstance(), &control);
}

void unregisterControlWindowClass() { UnregisterClassW(kClassName, moduleInstance()); }

} // namespace olecontrol
