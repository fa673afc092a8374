#include "hosts/plugin/PluginFunctions.h"

#include "hosts/plugin/EmbedAttributes.h"
#include "hosts/plugin/PluginInstance.h"
#include "hosts/plugin/PluginProcess.h"
#include "hosts/plugin/PluginWindow.h"
#include "presentation/EmbeddedViewer.h"

#include <winsock2.h>

#include <new>

namespace plugin {
namespace {

// Runs `body`; anything thrown becomes `failure`.
template <typename Result, typename Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <typename Body>
void guarded(Body&& body) noexcept {
  try {
    body();
  } catch (...) {}
}

PluginInstance* instanceOf(NPP instance) { return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr; }

// Stops the viewer's threads, gives the window back and frees everything of the instance.
void destroyInstance(PluginInstance* plugin) {
  embed::destroyViewer(plugin->viewer); // nothing is posted once this returns
  plugin->viewer = nullptr;
  releaseWindows(*plugin);
  // Each instance pairs its own start-up with one clean-up: destroying one instance never
  // pulls the sockets from under another.
  if (plugin->socketsStarted) WSACleanup();
  delete plugin;
}

} // namespace

NPError NPP_New(NPMIMEType, NPP instance, std::uint16_t, std::int16_t argc, char* argn[], char* argv[], NPSavedData*) {
  return guarded<NPError>(NPERR_GENERIC_ERROR, [&]() -> NPError {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    instance->pdata = nullptr;

    WSADATA socketsData;
    const int sockets = WSAStartup(MAKEWORD(2, 2), &socketsData);
    if (sockets != 0 && sockets != WSAVERNOTSUPPORTED) return NPERR_GENERIC_ERROR;

    auto* plugin = new (std::nothrow) PluginInstance;
    if (!plugin) {
      if (sockets == 0) WSACleanup();
      return NPERR_OUT_OF_MEMORY_ERROR;
    }
    plugin->socketsStarted = sockets == 0;

    const EmbedSettings attributes = readEmbedAttributes(argc, argn, argv);
    embed::ViewerSettings settings;
    settings.host = attributes.host;
    settings.port = attributes.port;
    settings.connectionId = attributes.connectionId;
    settings.fontModule = pluginModule();
    settings.fontIds = presentation::kPluginFontIds;
    plugin->viewer = embed::createViewer(settings);
    // The viewer starts connecting now, before the browser gives a window; it posts nothing
    // until it has one. A browser does not destroy an instance whose creation failed, so a
    // failed start frees everything here.
    if (!plugin->viewer || !embed::startViewer(plugin->viewer)) {
      destroyInstance(plugin);
      return NPERR_OUT_OF_MEMORY_ERROR;
    }
    instance->pdata = plugin;
    return NPERR_NO_ERROR;
  });
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  return guarded<NPError>(NPERR_GENERIC_ERROR, [&]() -> NPError {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance* plugin = instanceOf(instance);
    instance->pdata = nullptr;
    if (plugin) destroyInstance(plugin);
    return NPERR_NO_ERROR;
  });
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  return guarded<NPError>(NPERR_GENERIC_ERROR, [&]() -> NPError {
    PluginInstance* plugin = instanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    setWindow(*plugin, window);
    return NPERR_NO_ERROR;
  });
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, std::uint16_t* stype) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  if (stype) *stype = NP_NORMAL;
  return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason reason) {
  return guarded<NPError>(NPERR_GENERIC_ERROR, [&]() -> NPError {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (reason == NPRES_DONE) reportCompletedStream(instance);
    return NPERR_NO_ERROR;
  });
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

std::int32_t NPP_WriteReady(NPP, NPStream*) { return kWriteReadyBytes; }

std::int32_t NPP_Write(NPP, NPStream*, std::int32_t, std::int32_t len, void*) { return len; }

void NPP_Print(NPP instance, NPPrint* platformPrint) {
  guarded([&] {
    if (!instance || !platformPrint) return;
    if (platformPrint->mode == NP_FULL) {
      platformPrint->print.fullPrint.pluginPrinted = false; // the browser prints the page itself
      return;
    }
    const PluginInstance* plugin = instanceOf(instance);
    const NPEmbedPrint& print = platformPrint->print.embedPrint;
    if (plugin && print.platformPrint)
      paintInto(*plugin, static_cast<HDC>(print.platformPrint), print.window.width, print.window.height);
  });
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

} // namespace plugin
