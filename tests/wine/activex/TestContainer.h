#pragma once
// A container that does with the control what a web page's <object> element and its
// <param>s make a browser do: create it by ProgID, give it a client site, load the
// parameters from a property bag of texts, activate it in place in a window of ours, pump
// messages, and take it down again. It reads the control window's pixels back the way
// Windows takes pictures of windows (PrintWindow sends WM_PRINT).
#include "hosts/activex/olecontrol/ComSupport.h"
#include "platform/paint/SoftwareCanvas.h"
#include "tests/wine/support/WindowReadBack.h"

#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace activextest {

constexpr wchar_t kControlProgId[] = L"CAMVIEWCONTROL.CamViewControlCtrl.1";

// Interfaces of a test object that lives on the stack: references are counted so that a
// test can see whether the control let go of them, but nothing is deleted.
class StackObject {
public:
  long references() const { return references_; }

protected:
  ULONG addReference() { return static_cast<ULONG>(++references_); }
  ULONG releaseReference() { return static_cast<ULONG>(--references_); }

private:
  long references_ = 0;
};

// The <param> values: texts. Read converts to the type the caller asks for, as browsers'
// bags do; names match without regard to case; a missing name is E_INVALIDARG. Write keeps
// what the control saves, as texts.
class TextPropertyBag final : public IPropertyBag, public StackObject {
public:
  std::map<std::wstring, std::wstring> values; // lower-case names

  void set(const std::wstring& name, const std::wstring& value);
  const std::wstring* find(const std::wstring& name) const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
  ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;
};

// The control's site: client site, in-place site (with the extended notifications), control
// site, frame, and ambient properties. The window is the host window.
class ContainerSite final : public IOleClientSite,
                            public IOleInPlaceSiteEx,
                            public IOleControlSite,
                            public IOleInPlaceFrame,
                            public IDispatch,
                            public StackObject {
public:
  HWND hostWindow = nullptr;
  RECT position{};
  int activations = 0;
  int deactivations = 0;
  // When set, the site AddRefs and Releases it in every notification, as some containers do.
  IUnknown* holdWhenNotified = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
  ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override {
    hold();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (site and frame), IOleInPlaceSite, IOleInPlaceSiteEx
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT bounds,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  void hold() {
    if (holdWhenNotified) {
      holdWhenNotified->AddRef();
      holdWhenNotified->Release();
    }
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return OnInPlaceDeactivate(); }
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override;
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: ambient properties (user mode)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override;
};

// A top-level window of the given client size at the screen's corner, shown without
// taking the focus (the null display driver's screen is 1024 x 768).
class HostWindow {
public:
  HostWindow(int width, int height);
  ~HostWindow();
  HWND handle() const { return window_; }

private:
  HWND window_ = nullptr;
};

// One control in our container, from creation to release: in a host window of its own, or
// at a place in a window shared with other controls.
class EmbeddedControl {
public:
  EmbeddedControl(int width = 360, int height = 288);
  EmbeddedControl(HWND sharedHost, const RECT& position);
  ~EmbeddedControl(); // close() if still open
  HWND hostWindow() const { return site.hostWindow; }

  // CLSIDFromProgID and CoCreateInstance.
  HRESULT create(const wchar_t* progId = kControlProgId);
  // Sets the client site (the control asks for it first) and loads `bag`, or InitNew
  // without one.
  HRESULT load(IPropertyBag* bag);
  // DoVerb(OLEIVERB_INPLACEACTIVATE) in the host window.
  HRESULT activate();
  // create, load and activate, as a page's element does; the first failure.
  HRESULT open(IPropertyBag* bag);
  // The control's window; null when it is not active.
  HWND window() const;
  paint::SoftwareCanvas readBack() const { return winetest::readWindow(window()); }
  // Pumps until the control's window shows exactly `expected`.
  bool waitForPicture(const paint::SoftwareCanvas& expected, int timeoutMs = 30000) const;
  // InPlaceDeactivate, Close, SetClientSite(null), and the last Release.
  void close();
  // Only the last Release, while the control is still active with its site set.
  void releaseWhileActive() { object_.reset(); }

  template <class Interface>
  bool query(REFIID iid, olecontrol::ComRef<Interface>& out) const {
    return out.queryFrom(object_.get(), iid);
  }
  IUnknown* object() const { return object_.get(); }

  ContainerSite site;

private:
  std::unique_ptr<HostWindow> ownHost_;
  olecontrol::ComRef<IUnknown> object_;
};

} // namespace activextest
