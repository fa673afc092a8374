#pragma once

#include <algorithm>
#include <vector>

#include "pixkit/Pixkit.h"

// A small 24-bit surface for the fuzz targets to draw on, with a vertical flip so that both
// addressing directions are exercised.
//
// Making a surface builds its 65,536-entry colour table, which under the sanitizers costs
// many times an input's own work; so the kit is made once and kept. The objects inputs
// create stay in its tables (they never refer to one another) until kInputsPerKit inputs
// have run, then the kit is closed, freeing them, and made again.
class FuzzCanvas {
public:
  static constexpr int kWidth = 48;
  static constexpr int kHeight = 32;
  static constexpr int kInputsPerKit = 64;

  // The canvas for the next input: cleared, flipped as asked.
  static FuzzCanvas& forInput(bool flip) {
    static FuzzCanvas canvas;
    canvas.prepare(flip);
    return canvas;
  }

  CPixkit kit;

private:
  FuzzCanvas() = default;

  void prepare(bool flip) {
    if (inputs_ == kInputsPerKit || kit.surface() == nullptr) {
      kit.close();
      kit.Init(kWidth, kHeight, kWidth, pixels_.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0);
      inputs_ = 0;
    }
    ++inputs_;
    kit.setFlipY(flip);
    std::fill(pixels_.begin(), pixels_.end(), char(0));
  }

  std::vector<char> pixels_ = std::vector<char>(kWidth * kHeight * 3);
  int inputs_ = 0;
};
