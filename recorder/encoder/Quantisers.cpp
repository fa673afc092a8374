#include "recorder/encoder/Quantisers.h"

#include <algorithm>
#include <cmath>

namespace wavelet {
namespace {

// Squared norms of the one-dimensional synthesis basis functions: index d is a band reached
// through d low-pass levels followed by one high-pass level (kHighEnergy), or through d + 1
// low-pass levels (kLowEnergy). Computed from the synthesis filters.
constexpr double kHighEnergy[6] = {2.0809, 3.8689, 8.3170, 17.2019, 34.7469, 69.6753};
constexpr double kLowEnergy[6] = {1.9659, 4.1224, 8.4167, 16.9355, 33.9248, 67.8769};

// Squared norm of a band's two-dimensional basis functions.
double bandEnergy(int slot) {
  if (slot == 0) return kHighEnergy[0]; // across columns only
  if (slot == 13) return kLowEnergy[4] * kLowEnergy[3];
  const int level = levelOfSlot(slot);
  switch ((slot - 1) % 3) {
  case 0:
    return kHighEnergy[level] * kHighEnergy[level - 1]; // high in both directions
  case 1:
    return kHighEnergy[level] * kLowEnergy[level - 1]; // high across columns
  default:
    return kLowEnergy[level] * kHighEnergy[level - 1]; // high across lines
  }
}

constexpr double kBaseStepAtBestQuality = 16.0; // half a code value of an 8-bit picture
constexpr double kQualityPerDoubling = 12.5;    // quality points per doubling of the step
constexpr double kColourDifferenceFactor = 1.25;
constexpr int kMaxStep = 4095; // q = 8 x step stays a positive 16-bit number

} // namespace

std::array<uint16_t, kBandCount> quantisersForQuality(int quality) {
  quality = std::clamp(quality, kMinQuality, kMaxQuality);
  const double base = kBaseStepAtBestQuality * std::pow(2.0, (kMaxQuality - quality) / kQualityPerDoubling);
  std::array<uint16_t, kBandCount> quantisers{};
  for (int band = 0; band < kBandCount; ++band) {
    const double factor = componentOfBand(band) == 0 ? 1.0 : kColourDifferenceFactor;
    const double step = base * factor / std::sqrt(bandEnergy(slotOfBand(band)));
    const int wholeStep = std::clamp(static_cast<int>(std::lround(step)), 1, kMaxStep);
    quantisers[band] = static_cast<uint16_t>(8 * wholeStep);
  }
  return quantisers;
}

} // namespace wavelet
