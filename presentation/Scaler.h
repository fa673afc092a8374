#pragma once
// Nearest-neighbour scaling of the decoder's output into a display frame.
#include <cstdint>

namespace presentation {

// Scales a picture of srcWidth x srcHeight pixels whose rows are packed (srcWidth x 3 bytes
// apart) into destWidth x destHeight pixels whose rows are frameStride(destWidth) apart.
// Output row i takes source row floor(i x srcHeight / destHeight), output column j source
// column floor(j x srcWidth / destWidth). Both buffers keep their row order (row 0 is the
// bottom row of both). destWidth is at most 768; sizes of 0 or less write nothing.
void scaleNearest(const std::uint8_t* source, int srcWidth, int srcHeight, std::uint8_t* destination, int destWidth,
                  int destHeight);

// Turns a picture of width x height pixels whose rows are packed (width x 3 bytes apart) at
// the start of `frame` into the frame layout, rows frameStride(width) apart, in place: the
// same rows scaleNearest writes for a picture of the frame's own size. The bytes between
// rows are left as they are.
void spreadRows(std::uint8_t* frame, int width, int height);

} // namespace presentation
