#pragma once
// The painting seam on Windows: the calls go to a real device context.
#include "platform/paint/Canvas.h"

#include <windows.h>

namespace paint {

class GdiCanvas final : public Canvas {
public:
  explicit GdiCanvas(HDC dc) : dc_(dc) {}

  int setStretchMode(int mode) override;
  void stretchDib(int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                  const Dib24& dib) override;
  void fillSolid(const Rect& area, std::uint32_t colorRef) override;

private:
  HDC dc_;
};

} // namespace paint
