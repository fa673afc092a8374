// Verbs and in-place activation: the control lives in a child window of the container's
// window while it is active in place, and that window's messages come here.
#include "hosts/activex/olecontrol/ControlWindow.h"
#include "hosts/activex/olecontrol/OleControl.h"

namespace olecontrol {

// The verbs carried out here are the ones EnumVerbs lists (VerbEnumerator.cpp).
HRESULT OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
  return guarded([&]() -> HRESULT {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return activateInPlace(activeSite, parent, position);
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    case OLEIVERB_PROPERTIES:
      return showPropertyPages(parent);
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;
    default:
      if (verb < 0) return E_NOTIMPL;
      // An unknown positive verb acts as the primary one.
      HRESULT result = activateInPlace(activeSite, parent, position);
      return SUCCEEDED(result) ? OLEOBJ_S_INVALIDVERB : result;
    }
  });
}

HRESULT OleControl::activateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position) {
  if (window_) { // already active: only follow the position
    if (position) SetObjectRects(position, position);
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  IOleClientSite* site = activeSite ? activeSite : clientSite_.get();
  ComRef<IOleInPlaceSite> inPlace;
  if (!inPlace.queryFrom(site, IID_IOleInPlaceSite)) return E_NOINTERFACE;
  if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;

  // Some containers answer the plain notification with E_NOTIMPL and record the control
  // only through the extended one; neither answer stops the activation.
  ComRef<IOleInPlaceSiteEx> inPlaceEx;
  BOOL noRedraw = FALSE;
  if (inPlaceEx.queryFrom(site, IID_IOleInPlaceSiteEx))
    inPlaceEx->OnInPlaceActivateEx(&noRedraw, 0);
  else
    inPlace->OnInPlaceActivate();

  HWND parentWindow = nullptr;
  if (FAILED(inPlace->GetWindow(&parentWindow)) || !parentWindow) parentWindow = parent;
  RECT bounds = position ? *position : RECT{0, 0, description_.defaultSize.cx, description_.defaultSize.cy};
  RECT clip = bounds;
  ComRef<IOleInPlaceFrame> frame;
  ComRef<IOleInPlaceUIWindow> documentWindow;
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  RECT contextBounds{}, contextClip{};
  if (SUCCEEDED(
          inPlace->GetWindowContext(frame.put(), documentWindow.put(), &contextBounds, &contextClip, &frameInfo))) {
    bounds = contextBounds;
    clip = contextClip;
  }
  if (!parentWindow) {
    inPlace->OnInPlaceDeactivate();
    return E_UNEXPECTED;
  }

  inPlaceSite_.assign(inPlace.get());
  if (!createControlWindow(*this, parentWindow, bounds)) { // also when OnCreate refused
    inPlaceSite_.reset();
    inPlace->OnInPlaceDeactivate();
    return E_FAIL;
  }
  SetObjectRects(&bounds, &clip);
  if (clientSite_) clientSite_->ShowObject();
  return S_OK;
}

HRESULT OleControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

HRESULT OleControl::InPlaceDeactivate() {
  if (!window_) return S_OK;
  destroyWindow();
  if (inPlaceSite_) {
    ComRef<IOleInPlaceSite> site;
    site.assign(inPlaceSite_.get());
    inPlaceSite_.reset();
    site->OnInPlaceDeactivate();
  }
  return S_OK;
}

HRESULT OleControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  if (!position) return E_POINTER;
  if (!window_) return S_OK; // remembered by the container for the next activation
  SetWindowPos(window_, nullptr, position->left, position->top, position->right - position->left,
               position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
  // Only the part inside the clip rectangle may be seen; a region in window coordinates.
  RECT visible = *position;
  if (clip) IntersectRect(&visible, position, clip);
  if (EqualRect(&visible, position)) {
    SetWindowRgn(window_, nullptr, TRUE);
  } else {
    HRGN region = CreateRectRgn(visible.left - position->left, visible.top - position->top,
                                visible.right - position->left, visible.bottom - position->top);
    if (region && !SetWindowRgn(window_, region, TRUE)) DeleteObject(region); // the system owns it on success
  }
  return S_OK;
}

void OleControl::destroyWindow() {
  if (HWND window = window_) DestroyWindow(window); // WM_DESTROY reaches OnDestroy first
  window_ = nullptr;
}

HRESULT OleControl::showPropertyPages(HWND owner) {
  IUnknown* self = static_cast<IOleObject*>(this);
  const std::wstring caption = loadResourceString(description_.typeNameId);
  if (!owner && window_) owner = GetParent(window_);
  return OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, &self, description_.propertyPageCount,
                                const_cast<CLSID*>(description_.propertyPages), LOCALE_USER_DEFAULT, 0, nullptr);
}

void OleControl::paintWindow(HDC dc) {
  RECT client{};
  GetClientRect(window_, &client);
  OnDraw(dc, client);
}

LRESULT OleControl::handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_NCCREATE:
    window_ = window; // OnCreate may use it
    break;
  case WM_CREATE:
    return OnCreate();
  case WM_DESTROY:
    OnDestroy();
    return 0;
  case WM_NCDESTROY:
    if (window_ == window) window_ = nullptr;
    break;
  case WM_ERASEBKGND:
    return 1; // painting covers the whole window
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) paintWindow(dc);
    EndPaint(window, &paint);
    return 0;
  }
  // How Windows (and tests) take a picture of a window: paint like WM_PAINT into the device
  // context given. The window has no frame and no children, so the client is everything.
  case WM_PRINTCLIENT:
    paintWindow(reinterpret_cast<HDC>(wParam));
    return 0;
  case WM_PRINT:
    if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(window)) return 0;
    if (lParam & PRF_CLIENT) paintWindow(reinterpret_cast<HDC>(wParam));
    return 0;
  default:
    break;
  }
  LRESULT result = 0;
  if (OnWindowMessage(message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace olecontrol
