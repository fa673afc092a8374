#pragma once
// Property values in and out of IDispatch: a put gives any VARIANT a script or container
// chose (a text for a number, a reference, ...); a get returns the property's own type.
#include "hosts/activex/olecontrol/ComSupport.h"

#include <oleauto.h>

#include <string>

namespace olecontrol {

// DISP_E_TYPEMISMATCH when the value cannot be converted.
HRESULT numberFromVariant(const VARIANT& value, LONG& number);
HRESULT textFromVariant(const VARIANT& value, std::wstring& text);

void numberToVariant(LONG number, VARIANT& value);
HRESULT textToVariant(const std::wstring& text, VARIANT& value); // E_OUTOFMEMORY

} // namespace olecontrol
