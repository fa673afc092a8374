#pragma once

#include <span>

// The eight font blocks the viewer ships, with the metrics each one must have.

namespace fontgen {

enum class Spacing { Proportional, Monospaced };

struct DigitZeroMetrics {
  int width;
  int advance;
  int height;
  int top;
};

struct BlockLayout {
  int id;               // resource id in the ActiveX control (201-208)
  const char* fileName; // file name under resources/fonts/
  const char* faceFile; // TrueType file rendered for this block
  Spacing spacing;
  int headerWord1; // second header word; kept as the viewer's blocks have it
  int maxAdvance;
  int lineHeight;
  int spaceAdvance;
  int cellAdvance;       // monospaced only: advance of every record except '3'
  int digitThreeAdvance; // monospaced only
  DigitZeroMetrics zero;
  int referenceSize; // size of the block this one replaces, for comparison only

  // Row of the baseline, counted from the line's top: digits sit on it.
  int baseline() const { return zero.top + zero.height; }
};

std::span<const BlockLayout> blockLayouts();

} // namespace fontgen
