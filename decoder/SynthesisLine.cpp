#include "decoder/SynthesisLine.h"

#include <cstring>

namespace wavelet {

void extendSamples(const int16_t* in, int count, int factor, bool isHigh, int n, int16_t* out) {
  if (factor == 1) {
    std::memcpy(out, in, sizeof(int16_t) * static_cast<size_t>(count));
  } else {
    // The low 16 bits of the product, computed unsigned so that it vectorises as 16-bit multiplies.
    const uint32_t f = static_cast<uint16_t>(factor);
    for (int i = 0; i < count; ++i) out[i] = static_cast<int16_t>(static_cast<uint16_t>(in[i]) * f);
  }
  for (int k = 1; k <= kExtension; ++k) {
    out[-k] = out[mirroredIndex(-k, isHigh, n)];
    out[count - 1 + k] = out[mirroredIndex(count - 1 + k, isHigh, n)];
  }
}

void extendLine(const int16_t* low, int lowFactor, const int16_t* high, int highFactor, int n, int16_t* scratch,
                int16_t*& lowExtended, int16_t*& highExtended) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  lowExtended = scratch + kExtension;
  highExtended = lowExtended + nLow + 2 * kExtension;
  extendSamples(low, nLow, lowFactor, false, n, lowExtended);
  extendSamples(high, nHigh, highFactor, true, n, highExtended);
}

void extendColumns(const int16_t* lowFirst, const int16_t* highFirst, long planeStride, int n, int lanes,
                   int laneStride, int16_t* scratch, int16_t*& lowExtended, int16_t*& highExtended) {
  const int nLow = (n + 1) / 2;
  const int nHigh = n / 2;
  lowExtended = scratch + kExtension * laneStride;
  highExtended = lowExtended + (nLow + 2 * kExtension) * laneStride;
  // Groups of 32 lanes are the common case: a copy of known size compiles to a few moves.
  auto copy = [lanes](int16_t* to, const int16_t* from) {
    if (lanes == 32)
      std::memcpy(to, from, 32 * sizeof(int16_t));
    else
      std::memcpy(to, from, sizeof(int16_t) * static_cast<size_t>(lanes));
  };
  for (int i = 0; i < nLow; ++i) copy(lowExtended + i * laneStride, lowFirst + i * planeStride);
  for (int i = 0; i < nHigh; ++i) copy(highExtended + i * laneStride, highFirst + i * planeStride);
  for (int k = 1; k <= kExtension; ++k) {
    copy(lowExtended - k * laneStride, lowFirst + mirroredIndex(-k, false, n) * planeStride);
    copy(lowExtended + (nLow - 1 + k) * laneStride, lowFirst + mirroredIndex(nLow - 1 + k, false, n) * planeStride);
    copy(highExtended - k * laneStride, highFirst + mirroredIndex(-k, true, n) * planeStride);
    copy(highExtended + (nHigh - 1 + k) * laneStride, highFirst + mirroredIndex(nHigh - 1 + k, true, n) * planeStride);
  }
}

} // namespace wavelet
