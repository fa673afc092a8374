#pragma once
// Reads a window's client area back the way Windows takes pictures of windows: PrintWindow
// into a 32-bit device-independent bitmap (the window procedure gets WM_PRINT under Wine,
// and must paint into the device context it brings). Also what a paint call draws into a
// memory device context, and how two pictures differ.
#include "platform/paint/SoftwareCanvas.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace winetest {

// Pixels nobody painted keep this colour (0x00RRGGBB).
constexpr std::uint32_t kUnpainted = 0x123456;

// The client area of `window` as WM_PRINT paints it; an empty canvas for no window.
paint::SoftwareCanvas readWindow(HWND window);

// What `draw` paints into a memory device context of width x height (a 32-bit bitmap filled
// with `background`, 0x00RRGGBB), as a canvas.
paint::SoftwareCanvas captureDrawing(int width, int height, const std::function<void(HDC)>& draw,
                                     std::uint32_t background = kUnpainted);

// Same size and the same pixels.
bool samePixels(const paint::SoftwareCanvas& a, const paint::SoftwareCanvas& b);

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

} // namespace winetest
