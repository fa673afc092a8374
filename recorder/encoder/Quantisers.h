// Quantisers per band from a quality setting.
//
// A band's quantiser q is 8 times its quantisation step: the decoder rebuilds a coefficient as
// (q x value + 4) >> 3 (or q/4 times the value at its doubled scale). The encoder keeps every
// quantiser a multiple of 8, so the step is a whole number and both decoder engines rebuild
// exactly the same coefficient.
#pragma once

#include <array>
#include <cstdint>

#include "decoder/SubbandGeometry.h"

namespace wavelet {

constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;

// Quality 1 (smallest pictures) to 100 (finest); values outside are clamped.
// Steps are chosen for the least mean squared error in the picture: each band's step is
// inversely proportional to the norm of its synthesis basis functions; colour differences
// are quantised a little more coarsely than luminance.
std::array<uint16_t, kBandCount> quantisersForQuality(int quality);

// The step (q / 8) of a quantiser.
inline int quantiserStep(uint16_t quantiser) { return quantiser / 8; }

} // namespace wavelet
