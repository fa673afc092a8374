#include "hosts/plugin/PluginProcess.h"

#include <atomic>
#include <cstddef>
#include <cstdio>

namespace plugin {
namespace {

NPNetscapeFuncs* browserFunctions = nullptr; // only the browser's thread uses it
std::atomic<int> completedStreams{0};        // across all instances of the process

} // namespace

HMODULE pluginModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&pluginModule), &module);
  return module;
}

void setBrowserFunctions(NPNetscapeFuncs* functions) { browserFunctions = functions; }

int reportCompletedStream(NPP instance) {
  const int number = completedStreams.fetch_add(1) + 1;
  char text[64];
  std::snprintf(text, sizeof text, "NPTest1 Daten erhalten #%d\n", number);
  OutputDebugStringA(text);
  // Only what the browser's table says it holds is read: an older, shorter table may end
  // before the status entry.
  const NPNetscapeFuncs* browser = browserFunctions;
  if (browser && browser->size >= offsetof(NPNetscapeFuncs, status) + sizeof browser->status && browser->status)
    browser->status(instance, text);
  return number;
}

} // namespace plugin
