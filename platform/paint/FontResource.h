#pragma once
// Font blocks by resource id. On Windows the blocks are "FONTS" resources of a module
// (FindResourceA, LoadResource, LockResource); on Linux they are linked into the binary.
#include <cstddef>

namespace paint {

using ModuleHandle = void*; // HMODULE on Windows (null: the process's executable); unused on Linux

struct ResourceBlock {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

// The module that holds this code: the DLL when the viewer is built into one (a null module
// would name the browser's executable instead), the program otherwise. Null on Linux.
ModuleHandle moduleOfThisCode();

// Finds the "FONTS" resource `id` in `module`. False when there is none; the block then
// stays empty. The bytes live as long as the module.
bool loadFontResource(ModuleHandle module, int id, ResourceBlock& block);

} // namespace paint
