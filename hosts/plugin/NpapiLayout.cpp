// Compile-time checks of the plug-in's binary interface, for the architecture being built:
// the structure sizes and field offsets a browser of that architecture uses, and the calling
// convention of the exports and of every table entry the plug-in fills. Nothing here runs.
#include "hosts/plugin/Exports.h"
#include "hosts/plugin/PluginFunctions.h"

#include <cstddef>
#include <type_traits>

namespace {

#if defined(__i386__)
constexpr bool k32 = true;
#elif defined(__x86_64__)
constexpr bool k32 = false;
#else
#error "npcamview is built for i686 and x86_64 Windows only"
#endif

// The expected value on 32-bit and on 64-bit Windows.
constexpr std::size_t on(std::size_t bits32, std::size_t bits64) { return k32 ? bits32 : bits64; }

static_assert(sizeof(NPError) == 2 && sizeof(NPReason) == 2 && sizeof(NPBool) == 1);

static_assert(sizeof(NPP_t) == on(8, 16) && offsetof(NPP_t, ndata) == on(4, 8));

static_assert(sizeof(NPRect) == 8);
static_assert(offsetof(NPRect, top) == 0 && offsetof(NPRect, left) == 2 && offsetof(NPRect, bottom) == 4 &&
              offsetof(NPRect, right) == 6);

static_assert(sizeof(NPWindow) == on(32, 40));
static_assert(offsetof(NPWindow, x) == on(4, 8) && offsetof(NPWindow, y) == on(8, 12));
static_assert(offsetof(NPWindow, width) == on(12, 16) && offsetof(NPWindow, height) == on(16, 20));
static_assert(offsetof(NPWindow, clipRect) == on(20, 24) && offsetof(NPWindow, type) == on(28, 32));

static_assert(sizeof(NPStream) == on(28, 48));
static_assert(offsetof(NPStream, url) == on(8, 16) && offsetof(NPStream, end) == on(12, 24));
static_assert(offsetof(NPStream, lastmodified) == on(16, 28) && offsetof(NPStream, notifyData) == on(20, 32));
static_assert(offsetof(NPStream, headers) == on(24, 40));

static_assert(sizeof(NPByteRange) == on(12, 16) && sizeof(NPSavedData) == on(8, 16));
static_assert(sizeof(NPFullPrint) == on(8, 16) && offsetof(NPFullPrint, platformPrint) == on(4, 8));
static_assert(sizeof(NPEmbedPrint) == on(36, 48) && offsetof(NPEmbedPrint, platformPrint) == on(32, 40));
static_assert(sizeof(NPPrint) == on(40, 56) && offsetof(NPPrint, print) == on(4, 8));
static_assert(sizeof(NPEvent) == on(12, 24));

static_assert(offsetof(NPPluginFuncs, version) == 2 && offsetof(NPPluginFuncs, newp) == on(4, 8));
static_assert(offsetof(NPPluginFuncs, destroy) == on(8, 16) && offsetof(NPPluginFuncs, setwindow) == on(12, 24));
static_assert(offsetof(NPPluginFuncs, newstream) == on(16, 32) && offsetof(NPPluginFuncs, destroystream) == on(20, 40));
static_assert(offsetof(NPPluginFuncs, asfile) == on(24, 48) && offsetof(NPPluginFuncs, writeready) == on(28, 56));
static_assert(offsetof(NPPluginFuncs, write) == on(32, 64) && offsetof(NPPluginFuncs, print) == on(36, 72));
static_assert(offsetof(NPPluginFuncs, event) == on(40, 80) && offsetof(NPPluginFuncs, urlnotify) == on(44, 88));
static_assert(offsetof(NPPluginFuncs, javaClass) == on(48, 96) && offsetof(NPPluginFuncs, getvalue) == on(52, 104));
static_assert(offsetof(NPPluginFuncs, setvalue) == on(56, 112) && offsetof(NPPluginFuncs, gotfocus) == on(60, 120));
static_assert(offsetof(NPPluginFuncs, didComposite) == on(80, 160) && sizeof(NPPluginFuncs) == on(84, 168));

static_assert(offsetof(NPNetscapeFuncs, geturl) == on(4, 8) && offsetof(NPNetscapeFuncs, status) == on(28, 56));
static_assert(offsetof(NPNetscapeFuncs, uagent) == on(32, 64) && offsetof(NPNetscapeFuncs, memalloc) == on(36, 72));
static_assert(offsetof(NPNetscapeFuncs, memfree) == on(40, 80) && offsetof(NPNetscapeFuncs, getvalue) == on(68, 136));
static_assert(offsetof(NPNetscapeFuncs, forceredraw) == on(84, 168));
static_assert(offsetof(NPNetscapeFuncs, getstringidentifier) == on(88, 176));
static_assert(offsetof(NPNetscapeFuncs, construct) == on(180, 360));
static_assert(offsetof(NPNetscapeFuncs, setcurrentasyncsurface) == on(232, 464));
static_assert(sizeof(NPNetscapeFuncs) == on(236, 472));

// Calling conventions. On i686 the convention is part of a function's type, so these fail
// to compile if an export were not __stdcall or a table entry not __cdecl; on x86_64 there
// is one convention and they check the signatures.
static_assert(std::is_same_v<decltype(&NP_GetEntryPoints), NP_GetEntryPointsFunc>);
static_assert(std::is_same_v<decltype(&NP_Initialize), NP_InitializeFunc>);
static_assert(std::is_same_v<decltype(&NP_Shutdown), NP_ShutdownFunc>);
static_assert(std::is_same_v<decltype(&plugin::NPP_New), NPP_NewProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_Destroy), NPP_DestroyProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_SetWindow), NPP_SetWindowProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_NewStream), NPP_NewStreamProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_DestroyStream), NPP_DestroyStreamProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_StreamAsFile), NPP_StreamAsFileProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_WriteReady), NPP_WriteReadyProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_Write), NPP_WriteProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_Print), NPP_PrintProcPtr>);
static_assert(std::is_same_v<decltype(&plugin::NPP_URLNotify), NPP_URLNotifyProcPtr>);
static_assert(std::is_same_v<decltype(NPNetscapeFuncs::status), void(__cdecl*)(NPP, const char*)>);
#if defined(__i386__)
// The two conventions are distinct types here: the checks above mean what they say.
static_assert(!std::is_same_v<NP_InitializeFunc, NPError(__cdecl*)(NPNetscapeFuncs*)>);
static_assert(!std::is_same_v<NPP_DestroyProcPtr, NPError(__stdcall*)(NPP, NPSavedData**)>);
#endif

} // namespace
