#pragma once
// The threads of this process, counted from the system's thread list: all of them, or those
// that were started on code of one module (a host's viewer threads start on code of its DLL).
// -1 when the threads cannot be listed.
#include <windows.h>

namespace winetest {

int threadsOfThisProcess();
int threadsStartedIn(HMODULE module);

} // namespace winetest
