#pragma once
// The plug-in's functions that the browser calls through the table NP_GetEntryPoints fills.
// Each one catches everything: no exception and no C++ run-time error reaches the browser.
#include "hosts/plugin/Npapi.h"

namespace plugin {

NPError NPP_New(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc, char* argn[], char* argv[],
                NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* window);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, std::uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
std::int32_t NPP_WriteReady(NPP instance, NPStream* stream);
std::int32_t NPP_Write(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len, void* buffer);
void NPP_Print(NPP instance, NPPrint* platformPrint);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);

// What NPP_WriteReady answers: the plug-in takes any amount (and ignores it).
constexpr std::int32_t kWriteReadyBytes = 0x0FFFFFFF;

} // namespace plugin
