// Test helper: a deliberately naive model of the decoder's arithmetic, written straight from
// the format description (interleave, mirror, filter; separate arrays instead of in-place
// planes), to check both engines' output byte for byte.
#pragma once

#include "StreamWriter.h"

#include <cstdint>
#include <vector>

namespace wavelet::test {

struct ReferencePicture {
  int width = 720;
  int height = 576; // both fields
  int levels = 0;
  bool twoFields = true;
  int colStart = 0;
  int colEnd = 720;
  bool mmx = false; // four-lane arithmetic instead of the portable one
};

// Decodes one field given by its band contents into `frame` (rows of `rowBytes`, bottom-up,
// `frameRows` rows), as the decoder places it; returns the pixels per line.
int referenceField(const ReferencePicture& picture, const std::vector<BandContent>& bands, int parity,
                   std::vector<uint8_t>& frame, int frameRows);

// Output lines and the 625-line flag as the decoder derives them.
int referenceOutputLines(const ReferencePicture& picture);

} // namespace wavelet::test
