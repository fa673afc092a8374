#pragma once
// Decodes one picture record's payload (a 32-bit little-endian length L of the first field,
// the first field, and from offset L + 520 the second field when there is more data) with
// the wavelet decoder into a packed, bottom-up 24-bit buffer.
#include "engine/PictureRecord.h"

#include <cstddef>
#include <cstdint>

namespace presentation {

struct DecodeRequest {
  int maxWidth = 720;
  int maxHeight = 576;   // rows end at this height
  int columnLimit = 696; // the decoder's last column
  int skipLevels = 0;    // the resolution level
};

struct DecodeOutcome {
  bool ok = false;
  int width = 0;
  int height = 0;
};

DecodeOutcome decodePicture(const PictureRecord& record, const DecodeRequest& request, std::uint8_t* output,
                            std::size_t outputSize);

} // namespace presentation
