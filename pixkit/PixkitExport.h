#pragma once

// The public classes of the 2D library are exported from the Windows DLLs that carry it.
// A DLL that exports them compiles the library with PIXKIT_BUILD_DLL defined; everywhere
// else (static linking, Linux) the macro is empty.
#if defined(_WIN32) && defined(PIXKIT_BUILD_DLL)
#define CAMVIEW_PIXKIT_API __declspec(dllexport)
#else
#define CAMVIEW_PIXKIT_API
#endif
