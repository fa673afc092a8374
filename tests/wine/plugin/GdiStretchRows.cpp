#include "tests/wine/plugin/GdiStretchRows.h"

#include <windows.h>

#include <cstring>

namespace pluginsupport {

std::vector<int> gdiRowSelection(int sourceRows, int destRows) {
  std::vector<int> selection(destRows, -1);
  // One pixel per row, bottom-up, the row's number in its blue and green bytes.
  const int stride = 4;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(sourceRows) * stride, 0);
  for (int row = 0; row < sourceRows; ++row) {
    std::uint8_t* pixel = &rows[static_cast<std::size_t>(sourceRows - 1 - row) * stride];
    pixel[0] = row & 0xFF;
    pixel[1] = (row >> 8) & 0xFF;
  }
  BITMAPINFO source = {};
  source.bmiHeader.biSize = sizeof source.bmiHeader;
  source.bmiHeader.biWidth = 1;
  source.bmiHeader.biHeight = sourceRows;
  source.bmiHeader.biPlanes = 1;
  source.bmiHeader.biBitCount = 24;
  source.bmiHeader.biCompression = BI_RGB;

  BITMAPINFO target = source;
  target.bmiHeader.biHeight = -destRows;
  target.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!memory || !bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return selection;
  }
  HGDIOBJ previous = SelectObject(memory, bitmap);
  SetStretchBltMode(memory, COLORONCOLOR);
  StretchDIBits(memory, 0, 0, 1, destRows, 0, 0, 1, sourceRows, rows.data(), &source, DIB_RGB_COLORS, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  for (int k = 0; k < destRows; ++k) selection[k] = pixels[k * 4] | (pixels[k * 4 + 1] << 8);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return selection;
}

std::vector<int> canvasRowSelection(int sourceRows, int destRows) {
  std::vector<int> selection(destRows);
  for (int k = 0; k < destRows; ++k) selection[k] = static_cast<int>(static_cast<long long>(k) * sourceRows / destRows);
  return selection;
}

paint::SoftwareCanvas withGdiRowSelection(const paint::SoftwareCanvas& picture, int frameRows) {
  const int destRows = frameRows + 2;
  const std::vector<int> painted = canvasRowSelection(frameRows, destRows);
  const std::vector<int> wanted = gdiRowSelection(frameRows, destRows);
  // Each frame row's first appearance in the painted picture.
  std::vector<int> rowOfFrameRow(frameRows, -1);
  for (int k = 0; k < picture.height() && k < destRows; ++k)
    if (rowOfFrameRow[painted[k]] < 0) rowOfFrameRow[painted[k]] = k;

  paint::SoftwareCanvas result = picture;
  for (int k = 0; k < picture.height() && k < destRows; ++k) {
    const int from = wanted[k] >= 0 && wanted[k] < frameRows ? rowOfFrameRow[wanted[k]] : -1;
    if (from < 0) continue;
    std::memcpy(result.pixels() + static_cast<std::size_t>(k) * result.stride(),
                picture.pixels() + static_cast<std::size_t>(from) * picture.stride(), picture.stride());
  }
  return result;
}

int rowsSelectedDifferently(int sourceRows, int destRows) {
  const std::vector<int> gdi = gdiRowSelection(sourceRows, destRows);
  const std::vector<int> canvas = canvasRowSelection(sourceRows, destRows);
  int different = 0;
  for (int k = 0; k < destRows; ++k) different += gdi[k] != canvas[k];
  return different;
}

} // namespace pluginsupport
