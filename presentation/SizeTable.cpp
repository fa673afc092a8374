#include "presentation/SizeTable.h"

#include "decoder/DecodeSettings.h"

namespace presentation {

void SizeTable::reset() {
  static constexpr int k576[kResolutionLevels] = {576, 288, 144, 72, 36};
  static constexpr int k486[kResolutionLevels] = {486, 243, 122, 61, 30};
  static constexpr int kWidth[kResolutionLevels] = {696, 348, 172, 84, 42};
  static_assert(wavelet::kColumnLimits.size() == kResolutionLevels);
  for (int level = 0; level < kResolutionLevels; ++level) {
    height576[level] = k576[level];
    height486[level] = k486[level];
    decodedWidth[level] = kWidth[level];
    columnLimit[level] = wavelet::kColumnLimits[level];
  }
}

} // namespace presentation
