#include "tests/wine/activex/ControlModule.h"

namespace activextest {
namespace {

// A file beside this test program.
std::wstring besideThisProgram(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

} // namespace

std::wstring controlPath() {
  std::wstring relative = besideThisProgram(CAMVIEW_CONTROL_PATH);
  for (wchar_t& c : relative)
    if (c == L'/') c = L'\\';
  wchar_t full[MAX_PATH] = {};
  return GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr) ? std::wstring(full) : relative;
}

HRESULT registerControl(bool registering) {
  HMODULE module = LoadLibraryW(controlPath().c_str());
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(module, registering ? "DllRegisterServer" : "DllUnregisterServer")));
  HRESULT result = entry ? entry() : E_NOTIMPL;
  FreeLibrary(module);
  return result;
}

HMODULE loadedControl() { return GetModuleHandleW(L"CamViewControl.ocx"); }

HRESULT controlCanUnloadNow() {
  HMODULE module = loadedControl();
  if (!module) return S_OK;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return entry ? entry() : E_NOTIMPL;
}

} // namespace activextest
