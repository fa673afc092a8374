#include "tools/camview-decode/PngWriter.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace camview::decodetool {

bool writeBottomUpBgrAsPng(const std::string& path, const uint8_t* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      // The last row in memory is the top of the picture.
      const uint8_t* in = pixels + static_cast<size_t>(height - 1 - y) * width * 3;
      for (int x = 0; x < width; ++x) {
        row[3 * static_cast<size_t>(x)] = in[3 * x + 2];
        row[3 * static_cast<size_t>(x) + 1] = in[3 * x + 1];
        row[3 * static_cast<size_t>(x) + 2] = in[3 * x];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

} // namespace camview::decodetool
