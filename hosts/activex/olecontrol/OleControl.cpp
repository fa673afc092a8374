// The control object: its identity (QueryInterface over every interface it has), its
// lifetime, and the plain IOleObject bookkeeping (site, extent, advise sinks, status).
#include "hosts/activex/olecontrol/OleControl.h"

#include "hosts/activex/olecontrol/Module.h"
#include "hosts/activex/olecontrol/VerbEnumerator.h"

namespace olecontrol {
namespace {

// HIMETRIC (0.01 mm) from pixels of a 96 dpi screen, as containers measure controls.
LONG himetricFromPixels(LONG pixels) { return MulDiv(pixels, 2540, 96); }

} // namespace

OleControl::OleControl(const ControlDescription& description)
    : description_(description), events_(*this, *description.eventInterface) {
  extent_.cx = himetricFromPixels(description.defaultSize.cx);
  extent_.cy = himetricFromPixels(description.defaultSize.cy);
  objectCreated();
}

OleControl::~OleControl() {
  destroyWindow(); // normally gone already (Release)
  events_.disconnectAll();
  objectDestroyed();
}

HRESULT OleControl::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  void* found = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject))
    found = static_cast<IOleObject*>(this);
  else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
    found = static_cast<IOleInPlaceObject*>(this);
  else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
    found = static_cast<IViewObject2*>(this);
  else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit))
    found = static_cast<IPersistStreamInit*>(this);
  else if (IsEqualIID(iid, IID_IPersistPropertyBag))
    found = static_cast<IPersistPropertyBag*>(this);
  else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, *description_.dispatchInterface))
    found = static_cast<IDispatch*>(this);
  else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2))
    found = static_cast<IProvideClassInfo2*>(this);
  else if (IsEqualIID(iid, IID_IConnectionPointContainer))
    found = static_cast<IConnectionPointContainer*>(this);
  else if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
    found = static_cast<ISpecifyPropertyPages*>(this);
  else if (IsEqualIID(iid, IID_IOleControl))
    found = static_cast<IOleControl*>(this);
  else if (IsEqualIID(iid, IID_IObjectSafety))
    found = static_cast<IObjectSafety*>(this);
  *object = found;
  if (!found) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG OleControl::AddRef() { return references_.fetch_add(1) + 1; }

ULONG OleControl::Release() {
  const ULONG left = references_.fetch_sub(1) - 1;
  if (left != 0) return left;
  // Going away notifies the container (DestroyWindow sends it WM_PARENTNOTIFY; the members
  // release its site), and a container may AddRef and Release the control in there. The
  // count is held at one meanwhile, so that such a nested Release never reaches zero and
  // deletes the control a second time.
  references_.store(1);
  // Containers deactivate before the last Release, but not all do. The window goes while
  // the derived control is still whole, so that its OnDestroy runs.
  destroyWindow();
  delete this;
  return 0;
}

HRESULT OleControl::SetClientSite(IOleClientSite* site) {
  // Losing the site while still active in place: the container will not deactivate us.
  if (!site && window_) InPlaceDeactivate();
  clientSite_.assign(site);
  return S_OK;
}

HRESULT OleControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = clientSite_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

HRESULT OleControl::Close(DWORD saveOption) {
  InPlaceDeactivate();
  if (modified_ && clientSite_ && (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE))
    clientSite_->SaveObject();
  if (adviseHolder_) adviseHolder_->SendOnClose();
  return S_OK;
}

HRESULT OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControl::EnumVerbs(IEnumOLEVERB** verbs) { return enumerateVerbs(verbs); }

HRESULT OleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT OleControl::GetUserType(DWORD, LPOLESTR* name) {
  if (!name) return E_POINTER;
  return guarded([&] {
    *name = copyToTaskMemory(loadResourceString(description_.typeNameId).c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!connection) return E_POINTER;
  *connection = 0;
  if (!adviseHolder_) {
    HRESULT result = CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(result)) return result;
  }
  return adviseHolder_->Advise(sink, connection);
}

HRESULT OleControl::Unadvise(DWORD connection) {
  return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT OleControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (!advises) return E_POINTER;
  *advises = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : S_OK;
}

HRESULT OleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (!status) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? description_.miscStatus : 0;
  return S_OK;
}

HRESULT OleControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *description_.clsid;
  return S_OK;
}

} // namespace olecontrol
