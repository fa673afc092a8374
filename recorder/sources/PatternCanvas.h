#pragma once
// Minimal drawing on an RgbFrame for the test pattern: every call clips to the frame.
#include <cstdint>
#include <string_view>

#include "recorder/sources/RgbFrame.h"

namespace recorder {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

class PatternCanvas {
public:
  explicit PatternCanvas(RgbFrame& frame) : frame_(frame) {}

  void fillRect(int x, int y, int width, int height, Rgb colour);
  void fillCircle(int centreX, int centreY, int radius, Rgb colour);
  // Text in the block font, each font pixel drawn as a scale x scale square.
  void drawText(int x, int y, std::string_view text, int scale, Rgb colour);
  static int textWidth(std::string_view text, int scale);

  // Only the rows of one parity (0 even, 1 odd) are written: one field of an interlaced frame.
  void setFieldMask(int parity) { fieldMask_ = parity; }
  void clearFieldMask() { fieldMask_ = -1; }

private:
  bool rowAllowed(int y) const { return fieldMask_ < 0 || (y & 1) == fieldMask_; }
  void put(int x, int y, Rgb colour);

  RgbFrame& frame_;
  int fieldMask_ = -1;
};

} // namespace recorder
