#pragma once

#include <vector>

#include "pixkit/Pixkit.h"

// A small 24-bit surface for the fuzz targets to draw on, with a vertical flip so that
// both addressing directions are exercised.
struct FuzzCanvas {
  static constexpr int kWidth = 48;
  static constexpr int kHeight = 32;
  std::vector<char> pixels = std::vector<char>(kWidth * kHeight * 3);
  CPixkit kit;

  explicit FuzzCanvas(bool flip) {
    kit.Init(kWidth, kHeight, kWidth, pixels.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, flip ? 1 : 0, 0);
  }
};
