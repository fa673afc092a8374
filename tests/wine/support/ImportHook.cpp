#include "tests/wine/support/ImportHook.h"

namespace winetest {

void* replaceImport(HMODULE module, const char* library, const char* function, void* replacement) {
  HMODULE exporter = GetModuleHandleA(library);
  if (!module || !exporter) return nullptr;
  // The entry is found by the address the loader wrote into it, whether it was imported by
  // name or by ordinal.
  const auto target = reinterpret_cast<ULONG_PTR>(GetProcAddress(exporter, function));
  if (!target) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), library) != 0) continue;
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk); slot->u1.Function; ++slot) {
      if (slot->u1.Function != target) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection)) return nullptr;
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return reinterpret_cast<void*>(target);
    }
  }
  return nullptr;
}

} // namespace winetest
