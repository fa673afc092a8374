// Decoding encoded payloads the way the viewer's Decoder thread does, and comparing pictures.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/WaveletEngine.h"

namespace wavelet::test {

struct DecodedPicture {
  bool ok = false;
  int result = 0;
  int errorStage = 0;
  int errorBand = 0;
  int width = 0;            // pixels per row
  int height = 0;           // rows
  std::vector<uint8_t> rgb; // upright (top row first), bytes red, green, blue
};

// The viewer's last decoded column per resolution level (levels 5 and above use level 4's).
int columnLimit(int level);

// Decodes a payload at `level` with width 720 and `height` lines, the column limit of the
// level, both fields unless `firstFieldOnly`.
DecodedPicture decodePayload(const std::vector<uint8_t>& payload, int height, int level, EngineKind engine,
                             bool firstFieldOnly = false);

// Peak signal-to-noise ratio in dB over all three channels of the `width` x `height` top-left
// region of two RGB pictures with the given row lengths in pixels.
double psnr(const std::vector<uint8_t>& a, int aWidth, const std::vector<uint8_t>& b, int bWidth, int width,
            int height);

// The ideal picture at a resolution level, computed in double precision with textbook
// filters, independently of the encoder: the lines of the first field (the picture's even
// lines) for level 1 and above, filtered with the 9/7 analysis low-pass filter and halved
// `level` times across columns and level - 1 times across lines. That is what the codec's
// low-pass pyramid holds at that level.
//
// ColourSampling::Format takes the picture through the format's colour sampling first
// (BT.601 luminance per pixel, colour differences per pixel pair, reduced on their own
// half-width grid, each pair of output pixels sharing one): the reference for the codec's own
// losses (quantisation and fixed-point arithmetic). ColourSampling::Full reduces the RGB
// channels directly: what a viewer of the source would ideally see.
enum class ColourSampling { Format, Full };
std::vector<uint8_t> reducedReference(const std::vector<uint8_t>& rgb, int width, int height, int level,
                                      ColourSampling sampling, int& reducedWidth, int& reducedHeight);

} // namespace wavelet::test
