#pragma once
// What the plug-in keeps for the whole process: its own module, the browser's function
// table (from NP_Initialize to NP_Shutdown) and the counter of completed streams.
#include "hosts/plugin/Npapi.h"

#include <windows.h>

namespace plugin {

// The DLL's own module handle (the viewer's fonts are its resources), not the browser's.
HMODULE pluginModule();

// The browser's table; null outside NP_Initialize .. NP_Shutdown.
void setBrowserFunctions(NPNetscapeFuncs* functions);

// Counts a completed stream and reports it as "NPTest1 Daten erhalten #N\n" to the debugger
// output and the browser's status line of `instance`. Returns the stream's number.
int reportCompletedStream(NPP instance);

} // namespace plugin
