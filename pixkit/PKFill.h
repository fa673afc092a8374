#pragma once

#include "pixkit/PKSurface.h"
#include "pixkit/PKTypes.h"

// Rectangle fills (all four edges inclusive). Colour words reach the surface primitives
// unchanged. Only the part of the rectangle that lies on the surface is walked, so even a
// huge rectangle costs no more than the surface itself.
namespace pixkit {

void fillSolid(CPKSurface& surface, const CPKRectangle& rect, unsigned long value);
void fillAlpha(CPKSurface& surface, const CPKRectangle& rect, unsigned long colour, int alpha);
// Four-corner gradient: the top-left pixel gets topLeft exactly; the weights stop one
// step short of the bottom and right colours (truncating integer arithmetic).
void fillGradient(CPKSurface& surface, const CPKRectangle& rect, unsigned long topLeft, unsigned long topRight,
                  unsigned long bottomLeft, unsigned long bottomRight);

} // namespace pixkit
