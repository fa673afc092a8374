// What scripts and containers ask of a control by name and by category: properties through
// IDispatch (names and types from the module's type library, values from the control's
// dispatch map), class information, the event source, the property pages, the mnemonic and
// ambient notifications, and the safety options.
#include "hosts/activex/olecontrol/Module.h"
#include "hosts/activex/olecontrol/OleControl.h"

namespace olecontrol {
namespace {

bool isScriptingInterface(REFIID iid, const IID& dispatchInterface) {
  return IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, dispatchInterface);
}

bool isInitialisingInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit) ||
         IsEqualIID(iid, IID_IPersistPropertyBag);
}

constexpr DWORD kSafetyBits = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

} // namespace

HRESULT OleControl::loadTypeLibrary(ITypeLib** library) {
  // The module's own copy: it matches this code, registered or not.
  if (!typeLibrary_) {
    HRESULT result = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, typeLibrary_.put());
    if (FAILED(result)) return result;
  }
  *library = typeLibrary_.get();
  (*library)->AddRef();
  return S_OK;
}

HRESULT OleControl::typeInfoOf(const GUID& guid, ITypeInfo** info) {
  ComRef<ITypeLib> library;
  HRESULT result = loadTypeLibrary(library.put());
  return SUCCEEDED(result) ? library->GetTypeInfoOfGuid(guid, info) : result;
}

HRESULT OleControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT OleControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return guarded([&] { return typeInfoOf(*description_.dispatchInterface, info); });
}

HRESULT OleControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  return guarded([&] {
    ComRef<ITypeInfo> info;
    HRESULT result = typeInfoOf(*description_.dispatchInterface, info.put());
    return SUCCEEDED(result) ? info->GetIDsOfNames(names, count, ids) : result;
  });
}

HRESULT OleControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                           UINT* argumentError) {
  // The result is ours to fill, not to free: callers may pass it uninitialised.
  if (result) VariantInit(result);
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The arrays must hold what their counts say; a caller's counts are not trusted beyond that.
  if (!parameters || (parameters->cArgs > 0 && !parameters->rgvarg) ||
      (parameters->cNamedArgs > 0 && !parameters->rgdispidNamedArgs) || parameters->cNamedArgs > parameters->cArgs)
    return E_INVALIDARG;
  return guarded([&]() -> HRESULT {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (parameters->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      // The value is the named argument DISPID_PROPERTYPUT (some callers leave the name out).
      if (parameters->cNamedArgs == 1 && parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        if (argumentError) *argumentError = 0;
        return DISP_E_PARAMNOTFOUND;
      }
      HRESULT put = PutDispatchProperty(id, parameters->rgvarg[0]);
      if (put == DISP_E_TYPEMISMATCH && argumentError) *argumentError = 0;
      return put;
    }
    if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
      if (parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
      if (parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      VARIANT value;
      VariantInit(&value);
      HRESULT got = GetDispatchProperty(id, value);
      if (SUCCEEDED(got) && result)
        *result = value; // ownership passes to the caller
      else
        VariantClear(&value);
      return got;
    }
    return DISP_E_MEMBERNOTFOUND;
  });
}

HRESULT OleControl::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  return guarded([&] { return typeInfoOf(*description_.clsid, info); });
}

HRESULT OleControl::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = *description_.eventInterface;
  return S_OK;
}

HRESULT OleControl::EnumConnectionPoints(IEnumConnectionPoints** points) { return events_.enumerate(points); }

HRESULT OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(iid, *description_.eventInterface)) return CONNECT_E_NOCONNECTION;
  *point = &events_;
  events_.AddRef();
  return S_OK;
}

HRESULT OleControl::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  const ULONG count = description_.propertyPageCount;
  if (count == 0) return S_OK;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(count * sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < count; ++i) pages->pElems[i] = description_.propertyPages[i];
  pages->cElems = count;
  return S_OK;
}

HRESULT OleControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  // No mnemonics: the control takes no keyboard input.
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT OleControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  *supported = kSafetyBits;
  if (isScriptingInterface(iid, *description_.dispatchInterface)) {
    *enabled = safeForScripting_;
  } else if (isInitialisingInterface(iid)) {
    *enabled = safeForInitialising_;
  } else {
    *supported = *enabled = 0;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT OleControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  if (mask & ~kSafetyBits) return E_FAIL; // an option this control does not know
  DWORD* options = isScriptingInterface(iid, *description_.dispatchInterface) ? &safeForScripting_
                   : isInitialisingInterface(iid)                             ? &safeForInitialising_
                                                                              : nullptr;
  if (!options) return E_NOINTERFACE;
  *options = (*options & ~mask) | (enabled & mask);
  return S_OK;
}

} // namespace olecontrol
