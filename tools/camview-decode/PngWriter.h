// Writes 24-bit pictures as PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>

namespace camview::decodetool {

// Writes `height` rows of `width` pixels given bottom-up as blue, green, red bytes (rows
// packed) as an upright RGB PNG. False when the file cannot be written.
bool writeBottomUpBgrAsPng(const std::string& path, const uint8_t* pixels, int width, int height);

} // namespace camview::decodetool
