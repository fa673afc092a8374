// IViewObject2: a container draws the control into a device context of its own (printing,
// a snapshot, an inactive control), and hears when the picture changes.
#include "hosts/activex/olecontrol/OleControl.h"

namespace olecontrol {

HRESULT OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                         BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // Only a windowless control may be drawn without bounds; this one always has a window.
  if (!dc || !bounds) return E_INVALIDARG;
  return guarded([&] {
    // The control paints its area from (0, 0): move the origin to where the container wants
    // the picture, so that it lands at the bounds and not at the corner of the container's
    // device context.
    const RECT area{0, 0, bounds->right - bounds->left, bounds->bottom - bounds->top};
    POINT origin{};
    OffsetViewportOrgEx(dc, bounds->left, bounds->top, &origin);
    OnDraw(dc, area);
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    return S_OK;
  });
}

HRESULT OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
  if (!colours) return E_POINTER;
  *colours = nullptr;
  return S_FALSE; // no particular palette
}

HRESULT OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewSink_.assign(sink);
  viewAspects_ = aspects;
  viewAdviseFlags_ = flags;
  return S_OK;
}

HRESULT OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewAdviseFlags_;
  if (sink) {
    *sink = viewSink_.get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) { return GetExtent(aspect, size); }

} // namespace olecontrol
