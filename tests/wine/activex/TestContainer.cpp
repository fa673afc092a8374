#include "tests/wine/activex/TestContainer.h"

#include "tests/wine/support/MessageLoop.h"

#include <algorithm>
#include <cwctype>

namespace activextest {
namespace {

std::wstring lowerCase(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  return text;
}

template <class Interface>
HRESULT give(Interface* self, void** object) {
  *object = self;
  self->AddRef();
  return S_OK;
}

} // namespace

void TextPropertyBag::set(const std::wstring& name, const std::wstring& value) { values[lowerCase(name)] = value; }

const std::wstring* TextPropertyBag::find(const std::wstring& name) const {
  auto found = values.find(lowerCase(name));
  return found == values.end() ? nullptr : &found->second;
}

HRESULT TextPropertyBag::QueryInterface(REFIID iid, void** object) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) return give(this, object);
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT TextPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  const std::wstring* text = find(name);
  if (!text) return E_INVALIDARG;
  VARIANT stored;
  VariantInit(&stored);
  stored.vt = VT_BSTR;
  stored.bstrVal = SysAllocStringLen(text->data(), UINT(text->size()));
  const VARTYPE wanted = value->vt;
  if (wanted == VT_EMPTY || wanted == VT_BSTR) {
    *value = stored;
    return S_OK;
  }
  HRESULT result = VariantChangeType(value, &stored, 0, wanted);
  VariantClear(&stored);
  return result;
}

HRESULT TextPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
  VARIANT text;
  VariantInit(&text);
  HRESULT result = VariantChangeType(&text, value, 0, VT_BSTR);
  if (FAILED(result)) return result;
  set(name, std::wstring(text.bstrVal, SysStringLen(text.bstrVal)));
  VariantClear(&text);
  return S_OK;
}

HRESULT ContainerSite::QueryInterface(REFIID iid, void** object) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    return give(static_cast<IOleClientSite*>(this), object);
  if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleInPlaceSiteEx))
    return give(static_cast<IOleInPlaceSiteEx*>(this), object);
  if (IsEqualIID(iid, IID_IOleControlSite)) return give(static_cast<IOleControlSite*>(this), object);
  if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
    return give(static_cast<IOleInPlaceFrame*>(this), object);
  if (IsEqualIID(iid, IID_IDispatch)) return give(static_cast<IDispatch*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ContainerSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT ContainerSite::GetContainer(IOleContainer** container) {
  *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT ContainerSite::GetWindow(HWND* window) {
  *window = hostWindow;
  return S_OK;
}

HRESULT ContainerSite::OnInPlaceActivate() {
  ++activations;
  return S_OK;
}

HRESULT ContainerSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
  if (noRedraw) *noRedraw = FALSE;
  return OnInPlaceActivate();
}

HRESULT ContainerSite::OnInPlaceDeactivate() {
  ++deactivations;
  hold();
  return S_OK;
}

HRESULT ContainerSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT bounds,
                                        LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  *frame = this;
  AddRef();
  *document = nullptr;
  *bounds = position;
  *clip = position;
  info->fMDIApp = FALSE;
  info->hwndFrame = hostWindow;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT ContainerSite::GetExtendedControl(IDispatch** control) {
  *control = nullptr;
  return E_NOTIMPL;
}

HRESULT ContainerSite::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT ContainerSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  if (id != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  result->vt = VT_BOOL;
  result->boolVal = VARIANT_TRUE;
  return S_OK;
}

HostWindow::HostWindow(int width, int height) {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CamviewTestHost";
    return RegisterClassW(&windowClass) != 0;
  }();
  if (!registered) return;
  window_ = CreateWindowExW(0, L"CamviewTestHost", L"host", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window_) ShowWindow(window_, SW_SHOWNOACTIVATE);
}

HostWindow::~HostWindow() {
  if (window_) DestroyWindow(window_);
}

EmbeddedControl::EmbeddedControl(int width, int height) : ownHost_(std::make_unique<HostWindow>(width, height)) {
  site.hostWindow = ownHost_->handle();
  site.position = RECT{0, 0, width, height};
}

EmbeddedControl::EmbeddedControl(HWND sharedHost, const RECT& position) {
  site.hostWindow = sharedHost;
  site.position = position;
}

EmbeddedControl::~EmbeddedControl() { close(); }

HRESULT EmbeddedControl::create(const wchar_t* progId) {
  CLSID clsid;
  HRESULT result = CLSIDFromProgID(progId, &clsid);
  if (FAILED(result)) return result;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(object_.put()));
}

HRESULT EmbeddedControl::load(IPropertyBag* bag) {
  olecontrol::ComRef<IOleObject> ole;
  if (!query(IID_IOleObject, ole)) return E_NOINTERFACE;
  DWORD status = 0;
  ole->GetMiscStatus(DVASPECT_CONTENT, &status);
  // Asked for by OLEMISC_SETCLIENTSITEFIRST; the site is needed for activation anyway.
  HRESULT result = ole->SetClientSite(&site);
  if (FAILED(result)) return result;
  olecontrol::ComRef<IPersistPropertyBag> persist;
  if (!query(IID_IPersistPropertyBag, persist)) return E_NOINTERFACE;
  return bag ? persist->Load(bag, nullptr) : persist->InitNew();
}

HRESULT EmbeddedControl::activate() {
  olecontrol::ComRef<IOleObject> ole;
  if (!query(IID_IOleObject, ole)) return E_NOINTERFACE;
  return ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.hostWindow, &site.position);
}

HRESULT EmbeddedControl::open(IPropertyBag* bag) {
  HRESULT result = create();
  if (SUCCEEDED(result)) result = load(bag);
  return SUCCEEDED(result) ? activate() : result;
}

HWND EmbeddedControl::window() const {
  olecontrol::ComRef<IOleInPlaceObject> inPlace;
  HWND window = nullptr;
  if (query(IID_IOleInPlaceObject, inPlace)) inPlace->GetWindow(&window);
  return window;
}

bool EmbeddedControl::waitForPicture(const paint::SoftwareCanvas& expected, int timeoutMs) const {
  return winetest::pumpUntil([&] { return winetest::samePixels(readBack(), expected); }, timeoutMs);
}

void EmbeddedControl::close() {
  if (!object_) return;
  olecontrol::ComRef<IOleInPlaceObject> inPlace;
  if (query(IID_IOleInPlaceObject, inPlace)) inPlace->InPlaceDeactivate();
  inPlace.reset();
  olecontrol::ComRef<IOleObject> ole;
  if (query(IID_IOleObject, ole)) {
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
  }
  ole.reset();
  object_.reset();
}

} // namespace activextest
