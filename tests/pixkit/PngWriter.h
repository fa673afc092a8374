#pragma once

#include <cstdint>
#include <string>

namespace pixkit_test {

// Writes a top-down picture of width * height pixels, three bytes per pixel in the order
// red, green, blue, as a PNG file (or as a binary PPM with the extension .ppm where the
// build has no libpng). Returns the path written, empty on failure.
std::string writeImage(const std::string& pathWithoutExtension, int width, int height, const std::uint8_t* rgb);

} // namespace pixkit_test
