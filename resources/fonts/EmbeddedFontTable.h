#pragma once

#include <cstddef>
#include <cstdint>

// The table the build generates from the committed .bin files (EmbedFontBlocks.cmake).

namespace camview_fonts {

struct EmbeddedFontEntry {
  int id;
  const std::uint8_t* data;
  std::size_t size;
};

extern const EmbeddedFontEntry kEmbeddedFontBlocks[];
extern const std::size_t kEmbeddedFontBlockCount;

} // namespace camview_fonts
