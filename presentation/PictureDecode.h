#pragma once
// Decodes one picture record's payload (a 32-bit little-endian length L of the first field,
// the first field, and from offset L + 520 the second field when there is more data) with
// the wavelet decoder into a packed, bottom-up 24-bit buffer.
#include "engine/PictureRecord.h"

#include <cstddef>
#include <cstdint>

namespace wavelet {
class CWaveletEngine;
}

namespace presentation {

struct DecodeRequest {
  int maxWidth = 720;
  int maxHeight = 576;   // rows end at this height
  int columnLimit = 696; // the decoder's last column
  int skipLevels = 0;    // the resolution level
  // 0: packed rows of the decoded width. Otherwise rows stretched to this width as they are
  // decoded, frameStride(stretchWidth) apart (the frame layout).
  int stretchWidth = 0;
};

struct DecodeOutcome {
  bool ok = false;
  int width = 0; // decoded, before any stretch
  int height = 0;
};

// `engine` is the caller's decoder engine, reused from picture to picture so that a steady
// stream allocates nothing.
DecodeOutcome decodePicture(const PictureRecord& record, const DecodeRequest& request, wavelet::CWaveletEngine& engine,
                            std::uint8_t* output, std::size_t outputSize);

} // namespace presentation
