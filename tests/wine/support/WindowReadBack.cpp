#include "tests/wine/support/WindowReadBack.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace winetest {

paint::SoftwareCanvas readWindow(HWND window) {
  RECT client = {};
  if (!window || !GetClientRect(window, &client)) return {};
  return captureDrawing(client.right, client.bottom, [&](HDC dc) { PrintWindow(window, dc, PW_CLIENTONLY); });
}

paint::SoftwareCanvas captureDrawing(int width, int height, const std::function<void(HDC)>& draw,
                                     std::uint32_t background) {
  paint::SoftwareCanvas canvas(width, height);
  if (width <= 0 || height <= 0) return canvas;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!memory || !bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return canvas;
  }
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::fill(pixels, pixels + static_cast<std::size_t>(width) * height, background);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  draw(memory);
  GdiFlush();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto* from = reinterpret_cast<const std::uint8_t*>(pixels + static_cast<std::size_t>(y) * width + x);
      std::uint8_t* to = canvas.pixels() + static_cast<std::size_t>(y) * canvas.stride() + x * 3;
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return canvas;
}

bool samePixels(const paint::SoftwareCanvas& a, const paint::SoftwareCanvas& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.pixels(), a.pixels() + std::size_t(a.stride()) * a.height(), b.pixels());
}

ImageDifference compareImages(const paint::SoftwareCanvas& actual, const paint::SoftwareCanvas& expected) {
  ImageDifference difference;
  difference.bounds = {actual.width(), actual.height(), -1, -1};
  const int width = std::min(actual.width(), expected.width());
  const int height = std::min(actual.height(), expected.height());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t a = actual.pixel(x, y);
      const std::uint32_t b = expected.pixel(x, y);
      if (a == b) continue;
      ++difference.pixels;
      for (int shift = 0; shift < 24; shift += 8)
        difference.largestChannel =
            std::max(difference.largestChannel, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
      difference.bounds.left = std::min<LONG>(difference.bounds.left, x);
      difference.bounds.top = std::min<LONG>(difference.bounds.top, y);
      difference.bounds.right = std::max<LONG>(difference.bounds.right, x + 1);
      difference.bounds.bottom = std::max<LONG>(difference.bounds.bottom, y + 1);
    }
  return difference;
}

std::string ImageDifference::describe() const {
  std::ostringstream text;
  text << pixels << " pixels differ";
  if (pixels > 0)
    text << ", by up to " << largestChannel << " in a channel, within (" << bounds.left << ", " << bounds.top << ") - ("
         << bounds.right << ", " << bounds.bottom << ")";
  return text.str();
}

int countColour(const paint::SoftwareCanvas& canvas, std::uint32_t colour) {
  int count = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) count += canvas.pixel(x, y) == colour;
  return count;
}

} // namespace winetest
