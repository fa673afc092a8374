#pragma once
// The plug-in's three exports (undecorated names through the .def file on i686).
#include "hosts/plugin/Npapi.h"

extern "C" {
NPError __stdcall NP_GetEntryPoints(NPPluginFuncs* functions);
NPError __stdcall NP_Initialize(NPNetscapeFuncs* browser);
NPError __stdcall NP_Shutdown();
}
