#include "recorder/sources/PatternCanvas.h"

#include <algorithm>

#include "recorder/sources/BlockFont.h"

namespace recorder {

void PatternCanvas::put(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= frame_.width || y >= frame_.height || !rowAllowed(y)) return;
  std::uint8_t* p = frame_.pixel(x, y);
  p[0] = colour.r;
  p[1] = colour.g;
  p[2] = colour.b;
}

void PatternCanvas::fillRect(int x, int y, int width, int height, Rgb colour) {
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + width, frame_.width);
  const int bottom = std::min(y + height, frame_.height);
  for (int row = top; row < bottom; ++row) {
    if (!rowAllowed(row)) continue;
    for (int column = left; column < right; ++column) {
      std::uint8_t* p = frame_.pixel(column, row);
      p[0] = colour.r;
      p[1] = colour.g;
      p[2] = colour.b;
    }
  }
}

void PatternCanvas::fillCircle(int centreX, int centreY, int radius, Rgb colour) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius) put(centreX + dx, centreY + dy, colour);
}

int PatternCanvas::textWidth(std::string_view text, int scale) {
  return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale;
}

void PatternCanvas::drawText(int x, int y, std::string_view text, int scale, Rgb colour) {
  for (char c : text) {
    const auto glyph = blockGlyph(c);
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int column = 0; column < kGlyphWidth; ++column)
        if (glyph[row] & (1u << (kGlyphWidth - 1 - column)))
          fillRect(x + column * scale, y + row * scale, scale, scale, colour);
    x += (kGlyphWidth + 1) * scale;
  }
}

} // namespace recorder
