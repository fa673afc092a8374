// The three functions a browser looks up by name in npcamview.dll (exported undecorated
// through the .def file of each architecture).
#include "hosts/plugin/Exports.h"
#include "hosts/plugin/PluginFunctions.h"
#include "hosts/plugin/PluginProcess.h"
#include "hosts/plugin/PluginWindow.h"

#include <cstddef>

namespace {

// The version this plug-in's table follows (major 0, minor 9).
constexpr std::uint16_t kPluginTableVersion = (NP_VERSION_MAJOR << 8) | 9;

// The table entries written below, up to and including urlnotify.
constexpr std::size_t kFilledTableBytes = offsetof(NPPluginFuncs, urlnotify) + sizeof(NPPluginFuncs::urlnotify);

} // namespace

extern "C" NPError __stdcall NP_GetEntryPoints(NPPluginFuncs* functions) {
  try {
    // A table the browser declares smaller than the entries written here would be
    // overwritten beyond its end.
    if (!functions || functions->size < kFilledTableBytes) return NPERR_INVALID_FUNCTABLE_ERROR;
    functions->version = kPluginTableVersion; // the size stays as the browser set it
    functions->newp = plugin::NPP_New;
    functions->destroy = plugin::NPP_Destroy;
    functions->setwindow = plugin::NPP_SetWindow;
    functions->newstream = plugin::NPP_NewStream;
    functions->destroystream = plugin::NPP_DestroyStream;
    functions->asfile = plugin::NPP_StreamAsFile;
    functions->writeready = plugin::NPP_WriteReady;
    functions->write = plugin::NPP_Write;
    functions->print = plugin::NPP_Print;
    functions->event = nullptr; // a windowed plug-in on Windows gets no events
    functions->urlnotify = plugin::NPP_URLNotify;
    return NPERR_NO_ERROR;
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

extern "C" NPError __stdcall NP_Initialize(NPNetscapeFuncs* browser) {
  try {
    if (!browser) return NPERR_INVALID_FUNCTABLE_ERROR;
    if (npVersionMajor(browser->version) != NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    plugin::setBrowserFunctions(browser);
    return NPERR_NO_ERROR;
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

extern "C" NPError __stdcall NP_Shutdown() {
  try {
    plugin::setBrowserFunctions(nullptr);
    plugin::unregisterWindowClass();
    return NPERR_NO_ERROR;
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}
