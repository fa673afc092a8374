#pragma once
// Decoding at the window's size. A window at most half the picture's size cannot show more
// than a picture decoded at a lower resolution level: the decoder then leaves the finest
// levels out and reads only the first field, a fraction of the work, and the picture it
// gives is low-pass filtered by the wavelet itself, where scaling the whole picture down
// drops rows and columns.
#include "presentation/DecodeMode.h"

#include <cstdint>

namespace presentation {

// The lowest resolution Fit decodes at. One level further the four-lane engine's output
// (whole groups of 8 pixels: 40 of 45 columns) falls short of the columns the viewer shows.
constexpr int kMaxFitLevel = 3;

// The level to decode a picture at: for Full the recorder's level; for Fit the largest level
// up to kMaxFitLevel at which the picture (pictureWidth x pictureHeight, both halved once per
// level) still covers a window of windowWidth x windowHeight, and never below the recorder's.
int decodeLevel(DecodeMode mode, int recorderLevel, int pictureWidth, int pictureHeight, int windowWidth,
                int windowHeight);

// How many columns `columns` picture columns become at `level` (rounded up).
int columnsAtLevel(int columns, int level);

// Scales the first srcWidth x srcHeight pixels of a picture decoded at `level` (rows bottom-up,
// sourceStride pixels of 3 bytes apart) into destWidth x destHeight pixels of a frame (rows
// bottom-up, frameStride(destWidth) apart). Each output pixel takes the source pixel nearest
// to its centre. A sample of a reduced picture stands for the picture pixel at the start of
// its 2^level pixels (the wavelet's low-pass is centred there), not for their middle: output
// pixel d of n takes source pixel floor((d + 1/2) x m / n + (2^level - 1) / 2^(level + 1)) of
// m, counting rows from the picture's top. destWidth is at most 768; other sizes write nothing.
void scaleReduced(const std::uint8_t* source, int sourceStride, int srcWidth, int srcHeight, int level,
                  std::uint8_t* destination, int destWidth, int destHeight);

} // namespace presentation
