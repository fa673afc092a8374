#pragma once
// The base of an ActiveX control: everything a COM container (a browser page's <object>, a
// dialog, a test container) calls on a windowed control, with the control's own behaviour
// left to a few virtual functions (OnCreate, OnDestroy, OnDraw, DoPropExchange, the message
// map and the dispatch properties).
//
//   IOleObject, IOleInPlaceObject   client site, verbs, in-place activation in a child window
//   IViewObject2                    drawing into a container's device context
//   IPersistPropertyBag             the page's <param> values; IPersistStreamInit: binary
//   IDispatch, IProvideClassInfo2   properties by name through the type library
//   IConnectionPointContainer       the event source (the control fires no events)
//   ISpecifyPropertyPages, IOleControl, IObjectSafety
//
// One object lives in one single-threaded apartment: every method runs on the thread that
// created it, which is also the thread of its window.
#include "hosts/activex/olecontrol/ComSupport.h"
#include "hosts/activex/olecontrol/EventSource.h"
#include "hosts/activex/olecontrol/PropertyExchange.h"

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>

namespace olecontrol {

// What the base needs to know about the control class.
struct ControlDescription {
  const CLSID* clsid;
  const GUID* typeLibrary;
  WORD majorVersion;
  WORD minorVersion;
  const IID* dispatchInterface; // the properties' dispinterface
  const IID* eventInterface;    // the event dispinterface (the default source)
  DWORD miscStatus;             // OLEMISC_* for DVASPECT_CONTENT
  UINT typeNameId;              // string resource of the user type name
  const CLSID* propertyPages;
  ULONG propertyPageCount;
  SIZE defaultSize; // pixels, until a container sets an extent
};

class OleControl : public IOleObject,
                   public IOleInPlaceObject,
                   public IViewObject2,
                   public IPersistPropertyBag,
                   public IPersistStreamInit,
                   public IDispatch,
                   public IProvideClassInfo2,
                   public IConnectionPointContainer,
                   public ISpecifyPropertyPages,
                   public IOleControl,
                   public IObjectSafety {
public:
  explicit OleControl(const ControlDescription& description);
  virtual ~OleControl();
  OleControl(const OleControl&) = delete;
  OleControl& operator=(const OleControl&) = delete;

  HWND window() const { return window_; }
  bool isModified() const { return modified_; }
  void SetModifiedFlag(bool modified) { modified_ = modified; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                                   LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* name) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

  // IViewObject, IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDevice,
                                 HDC dc, LPCRECTL bounds, LPCRECTL metafileBounds, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE*, LPSIZEL size) override;

  // IPersist, IPersistPropertyBag, IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO*, UINT* argumentError) override;

  // IProvideClassInfo, IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

  // IObjectSafety: safe for scripting (IDispatch) and for initialisation (IPersist*).
  HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

  // Runs the control's window procedure (ControlWindow.cpp).
  LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
  // The window was created (WM_CREATE): 0 to go on, -1 to fail the creation.
  virtual LRESULT OnCreate() { return 0; }
  // The window is about to go (WM_DESTROY).
  virtual void OnDestroy() {}
  // Paints into `dc`, whose area (0, 0, width, height) is the control's.
  virtual void OnDraw(HDC dc, const RECT& bounds) = 0;
  // Names every persistent property (see PropertyExchange.h). The base exchanges the
  // control's extent ("_ExtentX", "_ExtentY", HIMETRIC).
  virtual void DoPropExchange(PropertyExchange& exchange);
  // The message map: true when the control handled `message`, with `result` set.
  virtual bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
  // The dispatch map: get or put the property `id` (a DISPID of the dispinterface).
  // DISP_E_MEMBERNOTFOUND for an unknown one.
  virtual HRESULT GetDispatchProperty(DISPID id, VARIANT& value) = 0;
  virtual HRESULT PutDispatchProperty(DISPID id, const VARIANT& value) = 0;

  const ControlDescription& description() const { return description_; }

private:
  HRESULT activateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position);
  HRESULT showPropertyPages(HWND owner);
  void destroyWindow();
  void paintWindow(HDC dc);
  HRESULT exchangeProperties(PropertyExchange& exchange);
  HRESULT loadTypeLibrary(ITypeLib** library);
  HRESULT typeInfoOf(const GUID& guid, ITypeInfo** info);

  const ControlDescription& description_;
  std::atomic<ULONG> references_{1};

  ComRef<IOleClientSite> clientSite_;
  ComRef<IOleInPlaceSite> inPlaceSite_;
  ComRef<IOleAdviseHolder> adviseHolder_;
  ComRef<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewAdviseFlags_ = 0;
  ComRef<ITypeLib> typeLibrary_;

  HWND window_ = nullptr;
  SIZEL extent_{}; // HIMETRIC
  bool modified_ = false;
  DWORD safeForScripting_ = 0;    // INTERFACESAFE_* bits enabled for IDispatch
  DWORD safeForInitialising_ = 0; // for the persistence interfaces

  EventSource events_;
};

} // namespace olecontrol
