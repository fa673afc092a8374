// Persistence: the container's property bag (a page's <param> values) and its binary
// streams both run through the control's DoPropExchange.
#include "hosts/activex/olecontrol/OleControl.h"

namespace olecontrol {

void OleControl::DoPropExchange(PropertyExchange& exchange) {
  LONG width = extent_.cx;
  LONG height = extent_.cy;
  const LONG defaultWidth = MulDiv(description_.defaultSize.cx, 2540, 96);
  const LONG defaultHeight = MulDiv(description_.defaultSize.cy, 2540, 96);
  exchange.exchangeNumber(L"_ExtentX", width, defaultWidth);
  exchange.exchangeNumber(L"_ExtentY", height, defaultHeight);
  if (exchange.isLoading()) {
    extent_.cx = width > 0 ? width : defaultWidth;
    extent_.cy = height > 0 ? height : defaultHeight;
  }
}

HRESULT OleControl::exchangeProperties(PropertyExchange& exchange) {
  DoPropExchange(exchange);
  HRESULT result = exchange.result();
  if (FAILED(result) && exchange.isLoading()) {
    // A load that failed half-way leaves the defaults, not a mixture.
    PropertyReset reset;
    DoPropExchange(reset);
  }
  if (exchange.isLoading()) modified_ = false;
  return result;
}

HRESULT OleControl::InitNew() {
  return guarded([&] {
    PropertyReset reset;
    return exchangeProperties(reset);
  });
}

HRESULT OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  return guarded([&] {
    PropertyBagLoader loader(bag, log);
    return exchangeProperties(loader);
  });
}

HRESULT OleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (!bag) return E_POINTER;
  return guarded([&] {
    PropertyBagSaver saver(bag);
    HRESULT result = exchangeProperties(saver);
    if (SUCCEEDED(result) && clearDirty) modified_ = false;
    return result;
  });
}

HRESULT OleControl::IsDirty() { return modified_ ? S_OK : S_FALSE; }

HRESULT OleControl::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  return guarded([&] {
    StreamLoader loader(stream);
    return exchangeProperties(loader);
  });
}

HRESULT OleControl::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  return guarded([&] {
    StreamSaver saver(stream);
    HRESULT result = exchangeProperties(saver);
    if (SUCCEEDED(result) && clearDirty) modified_ = false;
    return result;
  });
}

HRESULT OleControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  return guarded([&] {
    StreamSizer sizer;
    DoPropExchange(sizer);
    size->QuadPart = sizer.size();
    return S_OK;
  });
}

} // namespace olecontrol
