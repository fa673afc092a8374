#include "resources/fonts/EmbeddedFonts.h"

#include "resources/fonts/EmbeddedFontTable.h"

bool embeddedFontBlock(int id, const std::uint8_t** data, std::size_t* size) {
  for (std::size_t i = 0; i < camview_fonts::kEmbeddedFontBlockCount; ++i) {
    const camview_fonts::EmbeddedFontEntry& entry = camview_fonts::kEmbeddedFontBlocks[i];
    if (entry.id != id) continue;
    if (data != nullptr) *data = entry.data;
    if (size != nullptr) *size = entry.size;
    return true;
  }
  return false;
}
