#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fontgen {

// Draws lines of Windows-1252 text with an encoded block into a grey-scale PGM image,
// reading the block the way the viewer does, so the picture shows what the viewer shows.
void writePreview(const std::string& path, const std::vector<std::uint8_t>& block,
                  const std::vector<std::string>& lines);

} // namespace fontgen
