#include "platform/paint/PngFile.h"

#include "platform/paint/SoftwareCanvas.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace paint {
namespace {

// libpng reports errors by longjmp: the sink appends without letting an exception cross
// libpng's C frames, and reports a failed allocation as a libpng error instead.
void appendToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  bool appended = true;
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    appended = false;
  }
  if (!appended) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

// Kept free of locals that change after setjmp, so that a libpng error cannot clobber them.
bool encodeRows(png_structp png, png_infop info, const PixelRows& rows, std::vector<std::uint8_t>& out) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_write_fn(png, &out, appendToVector, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width), static_cast<png_uint_32>(rows.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (rows.order == ChannelOrder::Bgr) png_set_bgr(png);
  for (int y = 0; y < rows.height; ++y) {
    // libpng copies each row before transforming it: the caller's pixels stay untouched.
    png_write_row(png, const_cast<png_bytep>(rows.top + y * rows.stride));
  }
  png_write_end(png, nullptr);
  return true;
}

} // namespace

std::vector<std::uint8_t> encodePng(const PixelRows& rows) {
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(rows.width) * 3;
  if (rows.width <= 0 || rows.height <= 0 || rows.top == nullptr || std::abs(rows.stride) < rowBytes) return {};
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool encoded = info != nullptr && encodeRows(png, info, rows, out);
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  if (!encoded) out.clear();
  return out;
}

bool writePng(const std::string& path, const PixelRows& rows) {
  const std::vector<std::uint8_t> png = encodePng(rows);
  if (png.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

bool writePng(const std::string& path, const SoftwareCanvas& canvas) {
  return writePng(path, {canvas.width(), canvas.height(), canvas.pixels(), canvas.stride(), ChannelOrder::Bgr});
}

} // namespace paint
