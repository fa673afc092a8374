#pragma once

#include <array>
#include <ostream>

// What each shipped font block must look like: the metrics text layout relies on.
namespace fonttest {

struct ExpectedBlock {
  int id;
  bool monospaced;
  int headerWord1;
  int originalSize; // size of the blocks these replace; ours should be close
  int glyphsWithBitmap;
  int cell;       // monospaced: advance of every record except '3'
  int digitThree; // monospaced: advance of '3'
  int maxAdvance;
  int lineHeight;
  int spaceAdvance;
  int zeroWidth, zeroAdvance, zeroHeight, zeroTop;
};

inline constexpr std::array<ExpectedBlock, 8> kExpectedBlocks = {{
    {201, true, 18, 16348, 100, 16, 18, 18, 18, 16, 16, 16, 16, 0},
    {202, false, 16, 17580, 216, 0, 0, 16, 19, 6, 10, 9, 13, 3},
    {203, false, 16, 7693, 216, 0, 0, 7, 8, 3, 4, 4, 6, 1},
    {204, false, 16, 8765, 216, 0, 0, 8, 10, 3, 6, 5, 7, 1},
    {205, false, 16, 10577, 216, 0, 0, 11, 13, 4, 6, 6, 8, 2},
    {206, true, 16, 9590, 100, 10, 11, 11, 11, 10, 10, 10, 10, 0},
    {207, true, 16, 11488, 100, 12, 14, 14, 14, 12, 12, 12, 12, 0},
    {208, false, 16, 13750, 216, 0, 0, 13, 16, 5, 8, 7, 11, 2},
}};

// Names the block in test output instead of dumping its bytes.
inline void PrintTo(const ExpectedBlock& block, std::ostream* out) { *out << "font " << block.id; }

// Codes with a bitmap: every printable Windows-1252 character except the no-break space.
inline bool proportionalCodeHasBitmap(int code) {
  return (code >= 33 && code <= 126) || code == 128 || (code >= 130 && code <= 140) || code == 142 ||
         (code >= 145 && code <= 156) || code == 158 || code == 159 || (code >= 161 && code <= 255);
}

inline bool monospacedCodeHasBitmap(int code) {
  if ((code >= 33 && code <= 37) || (code >= 39 && code <= 93) || (code >= 95 && code <= 125)) return true;
  for (int extra : {153, 162, 164, 170, 174, 192, 207, 213, 244}) {
    if (code == extra) return true;
  }
  return false;
}

} // namespace fonttest
