#include "platform/paint/win32/GdiCanvas.h"

#include <cstring>

namespace paint {

int GdiCanvas::setStretchMode(int mode) {
  if (!dc_) return 0;
  return SetStretchBltMode(dc_, mode);
}

void GdiCanvas::stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                           const Dib24& dib) {
  if (!dc_ || !dib.bits) return;
  // A BITMAPINFO of 44 bytes, zeroed: header only, no colour table is used for 24 bits.
  unsigned char storage[44];
  std::memset(storage, 0, sizeof storage);
  BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(storage);
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = dib.width;
  info->bmiHeader.biHeight = dib.height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 24;
  info->bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc_, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, dib.bits, info, DIB_RGB_COLORS, SRCCOPY);
}

void GdiCanvas::fillSolid(const Rect& area, std::uint32_t colorRef) {
  if (!dc_) return;
  HBRUSH brush = CreateSolidBrush(colorRef);
  if (!brush) return;
  HGDIOBJ previous = SelectObject(dc_, brush);
  RECT rect{area.left, area.top, area.right, area.bottom};
  FillRect(dc_, &rect, brush);
  SelectObject(dc_, previous);
  DeleteObject(brush);
}

} // namespace paint
