#pragma once
// Loading PNG files (libpng) into 8-bit RGB frames. Linux only: the Windows builds do not
// carry libpng.
#include <cstddef>
#include <cstdint>
#include <string>

#include "recorder/sources/RgbFrame.h"

namespace recorder {

// Images larger than this in either direction are refused, so a hostile file cannot make
// the recorder allocate gigabytes.
constexpr int kMaxPngSide = 8192;

// Decodes PNG bytes of any colour type and depth to RGB (alpha composed over black).
// False with a reason in `error` on malformed data or an image that is too large.
bool decodePng(const std::uint8_t* data, std::size_t size, RgbFrame& out, std::string& error);

// Reads and decodes a file.
bool loadPng(const std::string& path, RgbFrame& out, std::string& error);

} // namespace recorder
