#pragma once
// Redirects a module's calls of one imported function to a function of the test, through the
// module's import address table: how a test makes a system call behave as it wants (block,
// fail) inside a DLL it has loaded.
#include <windows.h>

namespace winetest {

// Points `module`'s import of `function` from `library` at `replacement`. Returns what the
// entry held before, or null when the module does not import that function.
void* replaceImport(HMODULE module, const char* library, const char* function, void* replacement);

} // namespace winetest
