#pragma once
// Writes 24-bit pictures as compressed PNG files through libpng: the desktop host's
// snapshots, the tools and the test suites' pictures. Built where libpng is found (the
// camview_png library, Linux); the Windows builds carry no libpng and no PNG writer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paint {

class SoftwareCanvas;

enum class ChannelOrder { Rgb, Bgr };

// Pixels of three bytes each. `top` is the first pixel of the picture's top row; `stride`
// is the distance in bytes from a row to the one below it (negative when the rows lie
// bottom-up in memory, as in a Windows DIB).
struct PixelRows {
  int width = 0;
  int height = 0;
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  ChannelOrder order = ChannelOrder::Rgb;
};

// The PNG file image; empty when the rows cannot be encoded (no pixels, rows that overlap,
// a size PNG cannot hold, no memory).
std::vector<std::uint8_t> encodePng(const PixelRows& rows);

// Writes the picture to `path`; false when it cannot be encoded or the file not written.
bool writePng(const std::string& path, const PixelRows& rows);
bool writePng(const std::string& path, const SoftwareCanvas& canvas);

} // namespace paint
