#pragma once
// Self-registration of the control module (DllRegisterServer, DllUnregisterServer) and its
// table of creatable classes (DllGetClassObject).
#include "hosts/activex/olecontrol/ClassFactory.h"

#include <windows.h>

extern const olecontrol::ClassEntry kControlClasses[2];

// Type library, both classes, the two safety categories and the control's membership in
// them; stops at the first failure: SELFREG_E_TYPELIB (0x80040200) for the type library,
// SELFREG_E_CLASS (0x80040201) for anything else.
HRESULT registerControlModule();
// Type library and both classes; the categories stay (other controls may use them).
HRESULT unregisterControlModule();
