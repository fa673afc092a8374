#pragma once
// The painting seam: the few GDI calls the viewer's paint path makes, behind one interface.
// On Windows a GdiCanvas forwards them to a device context; SoftwareCanvas implements the
// same behaviour on a pixel buffer (the Linux hosts and the pixel tests paint into it).
#include <cstdint>

namespace paint {

// Stretch modes of SetStretchBltMode.
constexpr int kStretchBlackOnWhite = 1; // the default of a fresh device context
constexpr int kStretchColorOnColor = 3; // drop rows and columns: nearest neighbour

// A rectangle in device pixels; right and bottom are exclusive, as for GDI's RECT.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// A 24-bit device-independent bitmap without colour table (biBitCount 24, BI_RGB): bytes
// blue, green, red; rows a 4-byte-aligned stride apart. A positive height stores the rows
// bottom-up, a negative one top-down.
struct Dib24 {
  const void* bits = nullptr;
  int width = 0;
  int height = 0;
};

// Row stride of a 24-bit bitmap: width x 3 raised to the next multiple of 4.
constexpr int dibStride(int width) { return (width * 3 + 3) & ~3; }

class Canvas {
public:
  virtual ~Canvas() = default;

  // SetStretchBltMode: returns the previous mode (0 on failure).
  virtual int setStretchMode(int mode) = 0;

  // StretchDIBits(..., DIB_RGB_COLORS, SRCCOPY). The source rectangle (xSrc, ySrc, wSrc,
  // hSrc) is in bitmap coordinates counted from the bitmap's lower-left corner (Wine's GDI
  // counts so for top-down bitmaps too). A negative destination width or height mirrors the
  // picture: its first column (top row) lands at xDest (yDest) and the rest extends to the
  // left (upwards).
  virtual void stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                          const Dib24& dib) = 0;

  // CreateSolidBrush(colorRef), SelectObject, FillRect(area), SelectObject back,
  // DeleteObject. colorRef is a GDI colour reference 0x00BBGGRR.
  virtual void fillSolid(const Rect& area, std::uint32_t colorRef) = 0;
};

} // namespace paint
