#pragma once
// The DLL's instance handle and the counts that decide whether COM may unload it: objects
// (controls, pages, class factories) and server locks (IClassFactory::LockServer).
#include <windows.h>

#include <string>

namespace olecontrol {

void setModuleInstance(HINSTANCE instance);
HINSTANCE moduleInstance();
// The full path of this DLL, as the registry names it.
std::wstring modulePath();

void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
long objectCount();
long lockCount();

} // namespace olecontrol
