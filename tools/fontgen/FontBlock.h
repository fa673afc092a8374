#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/fontgen/GlyphImage.h"

// A font block in memory and its byte encoding:
//   offset 0     five 32-bit little-endian header words (header size 20, three words the
//                viewer does not interpret, bits per pixel 4)
//   offset 20    256 glyph records of five 32-bit words: width, advance, height, top and the
//                bitmap offset counted from offset 20
//   offset 5140  the bitmaps, two pixels of 4-bit coverage per byte, high nibble left

namespace fontgen {

constexpr int kGlyphCount = 256;
constexpr int kHeaderSize = 20;
constexpr int kRecordSize = 20;
constexpr int kBitmapAreaOffset = kHeaderSize + kGlyphCount * kRecordSize; // 5140

struct GlyphEntry {
  int advance = 0;
  GlyphImage image; // empty: the record has no bitmap
};

struct FontBlock {
  int headerWord1 = 16;
  std::array<GlyphEntry, kGlyphCount> glyphs;
};

std::vector<std::uint8_t> encodeBlock(const FontBlock& block);

// Metrics read back from encoded bytes, as the viewer's font reader derives them.
struct BlockMetrics {
  int size = 0;
  int glyphsWithBitmap = 0;
  int maxAdvance = 0;
  int lineHeight = 0; // min top + max (top + height)
  int spaceAdvance = 0;
  int zeroWidth = 0, zeroAdvance = 0, zeroHeight = 0, zeroTop = 0;
};

BlockMetrics measureBlock(const std::vector<std::uint8_t>& bytes);

} // namespace fontgen
