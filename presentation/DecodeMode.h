#pragma once
// How a viewer decodes its pictures: exactly at the recorder's level, or at the window's size
// (presentation/DecodeLevel.h says how the level is chosen).
#include <cstdint>

namespace presentation {

enum class DecodeMode : std::uint8_t {
  Full, // every picture at the recorder's level, scaled to the window: the exact output
  Fit,  // at the lowest resolution that still covers the window, scaled from there
};

} // namespace presentation
