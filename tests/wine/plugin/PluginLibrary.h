#pragma once
// The browser side of loading a plug-in, as Gecko and Chromium did on Windows: find the DLL
// in a plug-ins folder by the MIME type of its version resource, load it with its folder as
// the current directory, NP_GetEntryPoints then NP_Initialize with full-size tables, and at
// the end NP_Shutdown and unloading.
#include "hosts/plugin/Npapi.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace pluginsupport {

// A value of the version resource's "040904E4" string block (language 0x0409, code page
// 1252, the block browsers read); empty when the file or the value is missing.
std::string versionString(const std::wstring& file, const char* key);

// The first file np*.dll in `folder` whose "MIMEType" value lists `mimeType` (values are
// separated by '|'); empty when there is none.
std::wstring findPluginForMimeType(const std::wstring& folder, const std::string& mimeType);

// What the browser's status function was given, per instance, in order.
struct StatusLine {
  NPP instance;
  std::string text;
};
std::vector<StatusLine>& statusLines();

class PluginLibrary {
public:
  PluginLibrary();
  ~PluginLibrary(); // unloads when still loaded
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Loads, resolves the three exports and calls NP_GetEntryPoints and NP_Initialize. False
  // with a reason in `error`.
  bool load(const std::wstring& path, std::string& error);
  // NP_Shutdown and FreeLibrary; returns NP_Shutdown's result.
  NPError unload();

  HMODULE module() const { return module_; }
  const NPPluginFuncs& functions() const { return functions_; }
  NPNetscapeFuncs& browserFunctions() { return browser_; }

  NP_GetEntryPointsFunc getEntryPoints = nullptr;
  NP_InitializeFunc initialize = nullptr;
  NP_ShutdownFunc shutdown = nullptr;

private:
  HMODULE module_ = nullptr;
  NPPluginFuncs functions_ = {};
  NPNetscapeFuncs browser_ = {};
};

// A browser table as the test browser fills it: full size, version 0.27, status recorded,
// memory functions, user agent; every other entry fails.
NPNetscapeFuncs testBrowserFunctions();

} // namespace pluginsupport
