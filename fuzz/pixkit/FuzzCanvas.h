#pragma once

#include <algorithm>
#include <vector>

#include "pixkit/Pixkit.h"

// A small 24-bit surface for one fuzz input to draw on, with a vertical flip so that both
// addressing directions are exercised.
//
// Making a surface builds its 65,536-entry colour table, which under the sanitizers costs
// many times an input's own work; so the kit and its surface are made once and kept, and
// each input starts on cleared pixels. The objects an input creates are destroyed when its
// canvas goes, so that every input frees what it allocated (leaks stay visible).
class FuzzCanvas {
public:
  static constexpr int kWidth = 48;
  static constexpr int kHeight = 32;

  explicit FuzzCanvas(bool flip) : kit(shared().kit) {
    std::vector<char>& pixels = shared().pixels;
    std::fill(pixels.begin(), pixels.end(), char(0));
    kit.setFlipY(flip);
  }
  ~FuzzCanvas() { kit.closeObjects(); }
  FuzzCanvas(const FuzzCanvas&) = delete;
  FuzzCanvas& operator=(const FuzzCanvas&) = delete;

  CPixkit& kit;

private:
  struct Shared {
    std::vector<char> pixels = std::vector<char>(kWidth * kHeight * 3);
    CPixkit kit;
    Shared() { kit.Init(kWidth, kHeight, kWidth, pixels.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0); }
  };
  static Shared& shared() {
    static Shared instance;
    return instance;
  }
};
