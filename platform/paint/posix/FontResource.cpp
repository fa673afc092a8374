// Linux: the eight font blocks are compiled into the binary under the control's ids
// 201 to 208; the plug-in's ids 104 to 111 name the same blocks.
#include "platform/paint/FontResource.h"

#include "resources/fonts/EmbeddedFonts.h"

namespace paint {
namespace {

int controlFontId(int id) {
  switch (id) {
  case 104:
    return 208;
  case 105:
    return 202;
  case 106:
    return 203;
  case 107:
    return 204;
  case 108:
    return 205;
  case 109:
    return 206;
  case 110:
    return 207;
  case 111:
    return 201;
  default:
    return id;
  }
}

} // namespace

ModuleHandle moduleOfThisCode() { return nullptr; }

bool loadFontResource(ModuleHandle, int id, ResourceBlock& block) {
  block = {};
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (!embeddedFontBlock(controlFontId(id), &data, &size) || !data || size == 0) return false;
  block.data = data;
  block.size = size;
  return true;
}

} // namespace paint
