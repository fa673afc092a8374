#include "pixkit/PKText.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace pixkit {
namespace {

using Coord = std::int64_t; // pen positions: long texts or wide fonts never overflow

int clampToInt(Coord v) { return static_cast<int>(std::clamp<Coord>(v, INT_MIN, INT_MAX)); }

// Floor division for the tab stops (also right for pens left of column 0).
Coord floorDiv(Coord a, Coord b) {
  Coord q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The visible window of the surface, narrowed by the clip rectangle (edges inclusive).
struct Window {
  Coord left, top, right, bottom;
};

Window visibleWindow(const CPKSurface& surface, const CPKRectangle* clip) {
  Window w{0, 0, static_cast<Coord>(surface.width()) - 1, static_cast<Coord>(surface.height()) - 1};
  if (clip != nullptr) {
    w.left = std::max<Coord>(w.left, clip->left);
    w.top = std::max<Coord>(w.top, clip->top);
    w.right = std::min<Coord>(w.right, clip->right);
    w.bottom = std::min<Coord>(w.bottom, clip->bottom);
  }
  return w;
}

// Blends one glyph's coverage into the surface. Pixels outside the window are skipped
// here, which gives the same picture as leaving them to the surface's own test.
void drawGlyph(CPKSurface& surface, const CPKFont& font, const PKGlyph& g, Coord px, Coord py, unsigned long colour,
               const Window& window) {
  if (g.height <= 0 || g.width <= 0) return;
  const Coord rowBytes = (static_cast<Coord>(g.width) + 1) / 2;
  // Only the bitmap rows and bytes that can reach the window are visited, so a large
  // glyph far outside costs nothing.
  const Coord firstRow = py + g.top;
  const Coord rBegin = std::max<Coord>(0, window.top - firstRow);
  const Coord rEnd = std::min<Coord>(g.height, window.bottom - firstRow + 1);
  const Coord left = window.left - px - 1; // byte k is visible from 2k + 1 >= window.left - px
  const Coord kBegin = left <= 0 ? 0 : (left + 1) / 2;
  const Coord right = window.right - px; // and up to 2k <= window.right - px
  const Coord kEnd = right < 0 ? 0 : std::min<Coord>(rowBytes, right / 2 + 1);
  const unsigned char* bitmap = font.glyphBitmap(g);
  for (Coord r = rBegin; r < rEnd; ++r) {
    const unsigned char* row = bitmap + r * rowBytes;
    const int yr = static_cast<int>(firstRow + r);
    for (Coord k = kBegin; k < kEnd; ++k) {
      const unsigned byte = row[k];
      if (byte == 0) continue;
      const Coord xk = px + 2 * k;
      const unsigned high = byte >> 4, low = byte & 0x0F;
      if (high != 0 && xk >= window.left) {
        surface.blendPixel(static_cast<int>(xk), yr, colour, static_cast<int>(17 * high));
      }
      if (low != 0 && xk + 1 <= window.right) {
        surface.blendPixel(static_cast<int>(xk + 1), yr, colour, static_cast<int>(17 * low));
      }
    }
  }
}

void drawLine(CPKSurface& surface, const CPKFont& font, Coord x, Coord y, int flags, unsigned long mapped,
              const char* text, const Window& window) {
  const bool fixed = (flags & PKTEXT_FIXED) != 0;
  const int cell = fixed ? font.fixedCell() : 0;
  const int lineHeight = font.lineHeight();
  Coord penX = x, penY = y;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p == 10) {
      penY += lineHeight;
      penX = x;
      continue;
    }
    const PKGlyph g = font.glyph(*p);
    Coord glyphX = penX;
    Coord advance = g.advance;
    if (fixed) {
      // Centre a narrower glyph in its cell; a wider one starts at the pen and
      // overlaps the next cell. The pen always moves one cell.
      const Coord d = static_cast<Coord>(cell) - g.advance;
      if (d > 0) glyphX += d / 2;
      advance = cell;
    }
    drawGlyph(surface, font, g, glyphX, penY, mapped, window);
    penX += advance;
  }
}

Coord measureWidth(const CPKFont& font, const char* text) { return measureText(font, text, 0).right; }

} // namespace

CPKRectangle measureText(const CPKFont& font, const char* text, int flags) {
  const bool fixed = (flags & PKTEXT_FIXED) != 0;
  const int cell = fixed ? font.fixedCell() : 0;
  Coord lines = 1, lineWidth = 0, widest = 0;
  if (text != nullptr) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
      if (*p == 10) {
        ++lines;
        lineWidth = 0;
        continue;
      }
      lineWidth += fixed ? cell : font.glyph(*p).advance;
      widest = std::max(widest, lineWidth);
    }
  }
  CPKRectangle size;
  size.right = clampToInt(widest);
  size.bottom = clampToInt(lines * font.lineHeight());
  return size;
}

void drawText(CPKSurface& surface, const CPKFont& font, int x, int y, int flags, unsigned long colour, const char* text,
              const CPKRectangle* clip) {
  if (text == nullptr) return;
  const CPKRectangle size = measureText(font, text, flags);
  const unsigned long mapped = surface.mapColour(colour);
  Coord ox = x, oy = y;
  if (flags & PKTEXT_HCENTER) ox -= size.right / 2;
  if (flags & PKTEXT_VCENTER) oy -= size.bottom / 2;
  drawLine(surface, font, ox, oy, flags, mapped, text, visibleWindow(surface, clip));
}

CPKRectangle textOutput(CPKSurface& surface, const CPKFont& font, const CPKRectangle& box, const char* text,
                        unsigned long colour, bool shadow, unsigned long shadowColour) {
  const Coord space = measureWidth(font, " ");
  const Coord line = font.lineHeight();
  const Coord limit = shadow ? static_cast<Coord>(box.right) - 2 : box.right;
  const int tab = font.tabPosition();
  const unsigned long mappedColour = surface.mapColour(colour);
  const unsigned long mappedShadow = surface.mapColour(shadowColour);
  const Window window = visibleWindow(surface, nullptr);

  Coord penX = box.left, penY = box.top, gap = 0, reach = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  char word[256];
  while (p != nullptr && *p != 0) {
    // A run of blanks: line breaks and tabs move the pen, spaces only end a word.
    for (; *p == 10 || *p == 9 || *p == 32; ++p) {
      if (*p == 10) {
        penX = box.left;
        penY += line;
        gap = 0;
      } else if (*p == 9 && tab > 0) {
        // The next stop strictly right of the pen; stops count from column 0.
        penX = tab * (floorDiv(penX, tab) + 1);
      }
      // A tab with a tab position <= 0 has no stops: it separates words like a space.
    }
    if (*p == 0) break;

    int length = 0;
    for (; *p != 0 && *p != 32 && *p != 10 && *p != 9 && length < 255; ++p) {
      word[length++] = static_cast<char>(*p);
    }
    word[length] = 0;

    const Coord w = measureWidth(font, word);
    penX += gap;
    if (penX + w > limit) {
      penX = box.left;
      penY += line;
    }
    if (shadow) drawLine(surface, font, penX + 2, penY + 2, 0, mappedShadow, word, window);
    drawLine(surface, font, penX, penY, 0, mappedColour, word, window);
    reach = std::max(reach, penX + w);
    penX += w;
    gap = space;
  }
  CPKRectangle covered;
  covered.left = box.left;
  covered.top = box.top;
  covered.right = clampToInt(reach);
  covered.bottom = clampToInt(penY + line + (shadow ? 2 : 0));
  return covered;
}

} // namespace pixkit
