#include "hosts/activex/olecontrol/DispatchValues.h"

namespace olecontrol {

// VariantChangeType does not change its source; its declaration lacks the const.
HRESULT numberFromVariant(const VARIANT& value, LONG& number) {
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
  number = converted.lVal;
  return S_OK;
}

HRESULT textFromVariant(const VARIANT& value, std::wstring& text) {
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
  HRESULT result = S_OK;
  try {
    text.assign(converted.bstrVal ? converted.bstrVal : L"", SysStringLen(converted.bstrVal));
  } catch (...) {
    result = E_OUTOFMEMORY;
  }
  VariantClear(&converted);
  return result;
}

void numberToVariant(LONG number, VARIANT& value) {
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
}

HRESULT textToVariant(const std::wstring& text, VARIANT& value) {
  VariantInit(&value);
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!copy) return E_OUTOFMEMORY;
  value.vt = VT_BSTR;
  value.bstrVal = copy;
  return S_OK;
}

} // namespace olecontrol
