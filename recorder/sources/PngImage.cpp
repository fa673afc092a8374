#include "recorder/sources/PngImage.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace recorder {

bool decodePng(const std::uint8_t* data, std::size_t size, RgbFrame& out, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    error = std::string("not a readable PNG: ") + image.message;
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide || image.height > kMaxPngSide) {
    png_image_free(&image);
    error = "image size " + std::to_string(image.width) + " x " + std::to_string(image.height) + " is outside 1.." +
            std::to_string(kMaxPngSide);
    return false;
  }
  image.format = PNG_FORMAT_RGB; // alpha, if any, is composed over the background (black)
  RgbFrame frame;
  frame.resize(static_cast<int>(image.width), static_cast<int>(image.height));
  png_color black{0, 0, 0};
  if (!png_image_finish_read(&image, &black, frame.pixels.data(), frame.stride(), nullptr)) {
    error = std::string("broken PNG data: ") + image.message;
    png_image_free(&image);
    return false;
  }
  out = std::move(frame);
  return true;
}

bool loadPng(const std::string& path, RgbFrame& out, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!decodePng(bytes.data(), bytes.size(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

} // namespace recorder
