#include "tools/fontgen/GlyphImage.h"

namespace fontgen {

namespace {

bool rowIsBlank(const GlyphImage& image, int y) {
  for (int x = 0; x < image.width; ++x) {
    if (image.at(x, y) != 0) return false;
  }
  return true;
}

bool columnIsBlank(const GlyphImage& image, int x) {
  for (int y = 0; y < image.height; ++y) {
    if (image.at(x, y) != 0) return false;
  }
  return true;
}

GlyphImage crop(const GlyphImage& image, int firstRow, int rows, int columns) {
  GlyphImage result;
  result.width = columns;
  result.height = rows;
  result.top = image.top + firstRow;
  result.coverage.reserve(static_cast<std::size_t>(rows) * columns);
  for (int y = firstRow; y < firstRow + rows; ++y) {
    for (int x = 0; x < columns; ++x) result.coverage.push_back(image.at(x, y));
  }
  return result;
}

} // namespace

void GlyphImage::trim() {
  int first = 0;
  while (first < height && rowIsBlank(*this, first)) ++first;
  if (first == height) {
    *this = GlyphImage{};
    return;
  }
  int last = height - 1;
  while (rowIsBlank(*this, last)) --last;
  int columns = width;
  while (columns > 0 && columnIsBlank(*this, columns - 1)) --columns;
  *this = crop(*this, first, last - first + 1, columns);
}

void GlyphImage::padWidth(int minWidth) {
  int newWidth = width < minWidth ? minWidth : width;
  if (newWidth % 2 != 0) ++newWidth;
  if (newWidth == width || height == 0) return;
  std::vector<std::uint8_t> padded(static_cast<std::size_t>(newWidth) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) padded[static_cast<std::size_t>(y) * newWidth + x] = at(x, y);
  }
  coverage = std::move(padded);
  width = newWidth;
}

void GlyphImage::padBottom(int bottom) {
  if (height == 0 || top + height >= bottom) return;
  height = bottom - top;
  coverage.resize(static_cast<std::size_t>(width) * height, 0);
}

} // namespace fontgen
