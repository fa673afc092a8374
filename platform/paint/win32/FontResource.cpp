// Windows: the blocks are "FONTS" resources of the module that carries the viewer.
#include "platform/paint/FontResource.h"

#include <windows.h>

namespace paint {

ModuleHandle moduleOfThisCode() {
  HMODULE module = nullptr;
  // The address of a function of this file names the module it was linked into; the
  // reference count stays as it is, so nothing must be freed.
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&moduleOfThisCode), &module);
  return module;
}

bool loadFontResource(ModuleHandle module, int id, ResourceBlock& block) {
  block = {};
  HMODULE instance = static_cast<HMODULE>(module);
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), "FONTS");
  if (!found) return false;
  HGLOBAL loaded = LoadResource(instance, found);
  if (!loaded) return false;
  const void* bytes = LockResource(loaded);
  DWORD size = SizeofResource(instance, found);
  if (!bytes || size == 0) return false;
  block.data = static_cast<const unsigned char*>(bytes);
  block.size = size;
  return true;
}

} // namespace paint
