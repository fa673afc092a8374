#pragma once
// Reads a window's client area back the way Windows takes pictures of windows: PrintWindow
// into a 32-bit device-independent bitmap (the window procedure gets WM_PRINT under Wine,
// and must paint into the device context it brings).
#include "platform/paint/SoftwareCanvas.h"

#include <windows.h>

#include <functional>
#include <string>

namespace pluginsupport {

// Pixels nobody painted keep this colour (0x00RRGGBB).
constexpr std::uint32_t kUnpainted = 0x123456;

paint::SoftwareCanvas readWindow(HWND window);

// What `draw` paints into a memory device context of width x height (a 32-bit bitmap
// filled with kUnpainted), as a canvas.
paint::SoftwareCanvas captureDrawing(int width, int height, const std::function<void(HDC)>& draw);

// How two pictures of the same size differ: the number of differing pixels, the largest
// difference of one colour channel and the rectangle around the differences.
struct ImageDifference {
  int pixels = 0;
  int largestChannel = 0;
  RECT bounds = {};
  std::string describe() const;
};
ImageDifference compareImages(const paint::SoftwareCanvas& actual, const paint::SoftwareCanvas& expected);

// Pixels of `canvas` that have exactly the colour 0x00RRGGBB.
int countColour(const paint::SoftwareCanvas& canvas, std::uint32_t colour);

} // namespace pluginsupport
