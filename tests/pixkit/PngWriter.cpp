#include "tests/pixkit/PngWriter.h"

#include <cstdio>
#include <vector>

#if defined(CAMVIEW_TEST_HAVE_PNG)
#include <png.h>
#endif

namespace pixkit_test {

#if defined(CAMVIEW_TEST_HAVE_PNG)
namespace {

// Kept free of locals that change after setjmp, so a libpng error cannot clobber them.
bool writeRows(png_structp png, png_infop info, std::FILE* file, int width, int height, const std::uint8_t* rgb) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, const_cast<png_bytep>(rgb + static_cast<std::size_t>(y) * width * 3));
  }
  png_write_end(png, nullptr);
  return true;
}

} // namespace

std::string writeImage(const std::string& pathWithoutExtension, int width, int height, const std::uint8_t* rgb) {
  const std::string path = pathWithoutExtension + ".png";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool ok = png != nullptr && info != nullptr && writeRows(png, info, file, width, height, rgb);
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  std::fclose(file);
  return ok ? path : std::string{};
}
#else
std::string writeImage(const std::string& pathWithoutExtension, int width, int height, const std::uint8_t* rgb) {
  const std::string path = pathWithoutExtension + ".ppm";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  std::fwrite(rgb, 3, static_cast<std::size_t>(width) * height, file);
  std::fclose(file);
  return path;
}
#endif

} // namespace pixkit_test
