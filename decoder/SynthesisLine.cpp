#include "decoder/SynthesisLine.h"

#include <cstring>

namespace wavelet {

void ExtendLine(const int16_t* low, int lowFactor, const int16_t* high, int highFactor, int n, int16_t* scratch,
                int16_t*& lowExtended, int16_t*& highExtended) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  lowExtended = scratch + kExtension;
  highExtended = lowExtended + nLow + 2 * kExtension;
  auto fill = [n](int16_t* out, const int16_t* in, int count, int factor, bool isHigh) {
    if (factor == 1) {
      std::memcpy(out, in, sizeof(int16_t) * static_cast<size_t>(count));
    } else {
      for (int i = 0; i < count; ++i) out[i] = static_cast<int16_t>(in[i] * factor);
    }
    for (int k = 1; k <= kExtension; ++k) {
      out[-k] = out[MirroredIndex(-k, isHigh, n)];
      out[count - 1 + k] = out[MirroredIndex(count - 1 + k, isHigh, n)];
    }
  };
  fill(lowExtended, low, nLow, lowFactor, false);
  fill(highExtended, high, nHigh, highFactor, true);
}

void ExtendColumns(const int16_t* lowFirst, const int16_t* highFirst, long planeStride, int n, int lanes,
                   int laneStride, int16_t* scratch, int16_t*& lowExtended, int16_t*& highExtended) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  lowExtended = scratch + kExtension * laneStride;
  highExtended = lowExtended + (nLow + 2 * kExtension) * laneStride;
  const size_t bytes = sizeof(int16_t) * static_cast<size_t>(lanes);
  for (int i = -kExtension; i < nLow + kExtension; ++i)
    std::memcpy(lowExtended + i * laneStride, lowFirst + MirroredIndex(i, false, n) * planeStride, bytes);
  for (int i = -kExtension; i < nHigh + kExtension; ++i)
    std::memcpy(highExtended + i * laneStride, highFirst + MirroredIndex(i, true, n) * planeStride, bytes);
}

} // namespace wavelet
