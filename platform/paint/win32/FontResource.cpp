// Windows: the blocks are "FONTS" resources of the module that carries the viewer.
#include "platform/paint/FontResource.h"

#include <windows.h>

namespace paint {

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
