#pragma once

#include "pixkit/PKFont.h"
#include "pixkit/PKSurface.h"
#include "pixkit/PKTypes.h"

// Text layout and drawing with a bitmap font. Strings are zero-terminated 8-bit codes;
// each code indexes the glyph table directly. Code 10 starts a new line; in
// textOutput 9 (tab) and 32 (space) separate words as well. Nothing here allocates.
namespace pixkit {

// {0, 0, widest line, lines * line height}; only PKTEXT_FIXED of flags is looked at.
CPKRectangle measureText(const CPKFont& font, const char* text, int flags);

// Draws text with the top-left of its first line at (x, y), in the colour word
// 0x00RRGGBB (mapped to the surface's layout). clip may be null.
void drawText(CPKSurface& surface, const CPKFont& font, int x, int y, int flags, unsigned long colour, const char* text,
              const CPKRectangle* clip);

// Flows the words of text into box (only left, top and right are used) with tab stops
// at multiples of the font's tab position and an optional shadow 2 pixels right and down.
// Returns the covered area {box.left, box.top, reach, bottom}.
CPKRectangle textOutput(CPKSurface& surface, const CPKFont& font, const CPKRectangle& box, const char* text,
                        unsigned long colour, bool shadow, unsigned long shadowColour);

} // namespace pixkit
