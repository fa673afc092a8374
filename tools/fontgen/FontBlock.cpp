#include "tools/fontgen/FontBlock.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <climits>

namespace fontgen {

namespace {

void putInt(std::vector<std::uint8_t>& out, std::size_t offset, std::int32_t value) {
  le::writeI32(out.data() + offset, value);
}

std::int32_t getInt(const std::vector<std::uint8_t>& in, std::size_t offset) { return le::readI32(in.data() + offset); }

void appendBitmap(std::vector<std::uint8_t>& out, const GlyphImage& image) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; x += 2) {
      const int right = x + 1 < image.width ? image.at(x + 1, y) : 0;
      out.push_back(static_cast<std::uint8_t>((image.at(x, y) << 4) | right));
    }
  }
}

} // namespace

std::vector<std::uint8_t> encodeBlock(const FontBlock& block) {
  std::vector<std::uint8_t> out(kBitmapAreaOffset, 0);
  putInt(out, 0, kHeaderSize);
  putInt(out, 4, block.headerWord1);
  putInt(out, 8, 19);
  putInt(out, 12, 16);
  putInt(out, 16, 4); // bits per pixel
  for (int code = 0; code < kGlyphCount; ++code) {
    const GlyphEntry& glyph = block.glyphs[code];
    const std::size_t record = kHeaderSize + static_cast<std::size_t>(code) * kRecordSize;
    // Blank records point at the start of the bitmap area with no bytes to read.
    const auto bitmapOffset = static_cast<std::int32_t>(out.size() - kHeaderSize);
    putInt(out, record + 0, glyph.image.width);
    putInt(out, record + 4, glyph.advance);
    putInt(out, record + 8, glyph.image.height);
    putInt(out, record + 12, glyph.image.top);
    putInt(out, record + 16, glyph.image.empty() ? kBitmapAreaOffset - kHeaderSize : bitmapOffset);
    appendBitmap(out, glyph.image);
  }
  return out;
}

BlockMetrics measureBlock(const std::vector<std::uint8_t>& bytes) {
  BlockMetrics metrics;
  metrics.size = static_cast<int>(bytes.size());
  if (bytes.size() < static_cast<std::size_t>(kBitmapAreaOffset)) return metrics;
  int minTop = INT_MAX;
  int lineBottom = 0;
  for (int code = 0; code < kGlyphCount; ++code) {
    const std::size_t record = kHeaderSize + static_cast<std::size_t>(code) * kRecordSize;
    const int width = getInt(bytes, record + 0);
    const int advance = getInt(bytes, record + 4);
    const int height = getInt(bytes, record + 8);
    const int top = getInt(bytes, record + 12);
    if (height > 0) ++metrics.glyphsWithBitmap;
    metrics.maxAdvance = std::max(metrics.maxAdvance, advance);
    lineBottom = std::max(lineBottom, top + height);
    minTop = std::min(minTop, top);
    if (code == ' ') metrics.spaceAdvance = advance;
    if (code == '0') {
      metrics.zeroWidth = width;
      metrics.zeroAdvance = advance;
      metrics.zeroHeight = height;
      metrics.zeroTop = top;
    }
  }
  metrics.lineHeight = minTop + lineBottom;
  return metrics;
}

} // namespace fontgen
