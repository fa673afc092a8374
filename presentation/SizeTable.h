#pragma once
// Picture sizes per resolution level (0 = full size to 4 = a sixteenth): the decoder's
// limits and the scaling source size. Decoded sizes replace the start values.

namespace presentation {

constexpr int kResolutionLevels = 5;
constexpr int kDecoderMaxWidth = 720;

struct SizeTable {
  int height576[kResolutionLevels]; // pictures of the 576-line standard
  int height486[kResolutionLevels]; // pictures of the 486-line standard
  int decodedWidth[kResolutionLevels];
  int columnLimit[kResolutionLevels]; // the decoder's last column

  SizeTable() { reset(); }
  void reset();

  static bool validLevel(int level) { return level >= 0 && level < kResolutionLevels; }

  // The height row of a picture's standard (header byte 190: non-zero 576 lines).
  int* heights(bool standard576) { return standard576 ? height576 : height486; }
  const int* heights(bool standard576) const { return standard576 ? height576 : height486; }
};

} // namespace presentation
