#pragma once
// The viewer paints a frame of h rows two rows taller than the window (h + 2 destination
// rows), so GDI repeats two of the rows. Which two is the stretch algorithm's choice: the
// SoftwareCanvas repeats the rows at floor(k x h / (h + 2)), Wine's GDI samples at row
// centres and repeats others. These helpers measure this GDI's choice and re-blit a natively
// painted picture with it, so that the comparison can stay exact.
#include "platform/paint/SoftwareCanvas.h"

#include <vector>

namespace pluginsupport {

// For each of `destRows` rows, the source row that StretchDIBits (COLORONCOLOR) of this
// system shows when it stretches `sourceRows` rows over them.
std::vector<int> gdiRowSelection(int sourceRows, int destRows);

// The same for the SoftwareCanvas (floor(k x sourceRows / destRows)).
std::vector<int> canvasRowSelection(int sourceRows, int destRows);

// A picture that the SoftwareCanvas painted by stretching a frame of `frameRows` rows over
// the picture's rows plus two, painted again with this GDI's choice of rows.
paint::SoftwareCanvas withGdiRowSelection(const paint::SoftwareCanvas& picture, int frameRows);

// Destination rows whose source row differs between the two selections.
int rowsSelectedDifferently(int sourceRows, int destRows);

} // namespace pluginsupport
