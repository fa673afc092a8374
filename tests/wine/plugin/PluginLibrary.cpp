#include "tests/wine/plugin/PluginLibrary.h"

#include <cstdlib>
#include <sstream>

namespace pluginsupport {
namespace {

NPError __cdecl failing() { return NPERR_GENERIC_ERROR; }
void __cdecl status(NPP instance, const char* message) { statusLines().push_back({instance, message ? message : ""}); }
const char* __cdecl userAgent(NPP) { return "camview test browser"; }
void* __cdecl memAlloc(std::uint32_t size) { return std::malloc(size); }
void __cdecl memFree(void* pointer) { std::free(pointer); }

// Every entry the plug-in has no business calling: a function that fails.
template <typename Entry>
void setFailing(Entry& entry) {
  entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(&failing));
}

// An export by name, as the function type the browser calls it through.
template <typename Function>
Function exported(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::wstring folderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

} // namespace

std::vector<StatusLine>& statusLines() {
  static std::vector<StatusLine> lines;
  return lines;
}

std::string versionString(const std::wstring& file, const char* key) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
  const std::string query = std::string("\\StringFileInfo\\040904E4\\") + key;
  const std::wstring wideQuery(query.begin(), query.end());
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), wideQuery.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
  std::string text;
  for (UINT i = 0; i < length && value[i]; ++i) text += static_cast<char>(value[i]);
  return text;
}

std::wstring findPluginForMimeType(const std::wstring& folder, const std::string& mimeType) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\np*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::wstring result;
  do {
    const std::wstring path = folder + L"\\" + found.cFileName;
    std::stringstream types(versionString(path, "MIMEType"));
    for (std::string type; std::getline(types, type, '|');)
      if (type == mimeType) result = path;
  } while (result.empty() && FindNextFileW(search, &found));
  FindClose(search);
  return result;
}

NPNetscapeFuncs testBrowserFunctions() {
  NPNetscapeFuncs table = {};
  table.size = sizeof table;
  table.version = (NP_VERSION_MAJOR << 8) | 27;
  setFailing(table.geturl);
  setFailing(table.posturl);
  setFailing(table.requestread);
  setFailing(table.newstream);
  setFailing(table.write);
  setFailing(table.destroystream);
  table.status = status;
  table.uagent = userAgent;
  table.memalloc = memAlloc;
  table.memfree = memFree;
  setFailing(table.memflush);
  setFailing(table.reloadplugins);
  setFailing(table.geturlnotify);
  setFailing(table.posturlnotify);
  setFailing(table.getvalue);
  setFailing(table.setvalue);
  setFailing(table.invalidaterect);
  setFailing(table.invalidateregion);
  setFailing(table.forceredraw);
  return table;
}

PluginLibrary::PluginLibrary() : browser_(testBrowserFunctions()) {}

PluginLibrary::~PluginLibrary() {
  if (module_) unload();
}

bool PluginLibrary::load(const std::wstring& path, std::string& error) {
  // Browsers load a plug-in with its folder as the current directory, so that DLLs beside
  // it are found.
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(folderOf(path).c_str());
  module_ = LoadLibraryW(path.c_str());
  const DWORD loadError = GetLastError();
  SetCurrentDirectoryW(previous);
  if (!module_) {
    error = "LoadLibrary failed with error " + std::to_string(loadError);
    return false;
  }
  getEntryPoints = exported<NP_GetEntryPointsFunc>(module_, "NP_GetEntryPoints");
  initialize = exported<NP_InitializeFunc>(module_, "NP_Initialize");
  shutdown = exported<NP_ShutdownFunc>(module_, "NP_Shutdown");
  if (!getEntryPoints || !initialize || !shutdown) {
    error = "an export is missing";
    return false;
  }
  // Windows order: the entry points first, then the browser's table.
  functions_ = {};
  functions_.size = sizeof functions_;
  functions_.version = (NP_VERSION_MAJOR << 8) | 27;
  if (const NPError result = getEntryPoints(&functions_); result != NPERR_NO_ERROR) {
    error = "NP_GetEntryPoints returned " + std::to_string(result);
    return false;
  }
  if (const NPError result = initialize(&browser_); result != NPERR_NO_ERROR) {
    error = "NP_Initialize returned " + std::to_string(result);
    return false;
  }
  return true;
}

NPError PluginLibrary::unload() {
  const NPError result = shutdown ? shutdown() : NPError{NPERR_GENERIC_ERROR};
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  getEntryPoints = nullptr;
  initialize = nullptr;
  shutdown = nullptr;
  return result;
}

} // namespace pluginsupport
