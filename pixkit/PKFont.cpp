#include "pixkit/PKFont.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "base/LittleEndian.h"
#include "pixkit/PKMemory.h"

namespace {

int clampToInt(std::int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

PKGlyph readGlyph(const unsigned char* glyphTable, unsigned code) {
  const unsigned char* r = glyphTable + code * CPKFont::kGlyphRecordSize;
  PKGlyph g;
  g.width = le::readI32(r);
  g.advance = le::readI32(r + 4);
  g.height = le::readI32(r + 8);
  g.top = le::readI32(r + 12);
  g.bitmapOffset = le::readI32(r + 16);
  return g;
}

bool withinExtent(int v, int low) { return v >= low && v <= CPKFont::kMaxGlyphExtent; }

} // namespace

bool CPKFont::hasFourBitPixels(const unsigned char* block) { return le::readI32(block + kBitsPerPixelOffset) == 4; }

bool CPKFont::isValidBlock(const unsigned char* block, std::size_t size) {
  if (block == nullptr || size < kBitmapAreaOffset || !hasFourBitPixels(block)) return false;
  const unsigned char* table = block + kGlyphTableOffset;
  const std::uint64_t tableBytes = size - kGlyphTableOffset;
  for (unsigned code = 0; code < kGlyphCount; ++code) {
    const PKGlyph g = readGlyph(table, code);
    if (!withinExtent(g.width, 0) || !withinExtent(g.advance, 0) || !withinExtent(g.height, 0) ||
        !withinExtent(g.top, -kMaxGlyphExtent)) {
      return false;
    }
    if (g.height == 0) continue; // the offset of a glyph without bitmap is never read
    if (g.bitmapOffset < 0) return false;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(g.width + 1) / 2;
    const std::uint64_t end = static_cast<std::uint64_t>(g.bitmapOffset) + rowBytes * g.height;
    if (end > tableBytes) return false;
  }
  return true;
}

CPKFont::CPKFont(const unsigned char* block, unsigned char* ownedBlock)
    : m_glyphTable(block + kGlyphTableOffset), m_ownedBlock(ownedBlock) {
  std::int64_t lineBottom = 0;
  std::int64_t minTop = INT_MAX;
  int maxAdvance = 0;
  for (unsigned code = 0; code < kGlyphCount; ++code) {
    const PKGlyph g = readGlyph(m_glyphTable, code);
    if (g.advance > maxAdvance) maxAdvance = g.advance;
    const std::int64_t bottom = static_cast<std::int64_t>(g.top) + g.height;
    if (bottom > lineBottom) lineBottom = bottom;
    if (g.top < minTop) minTop = g.top;
  }
  m_lineBottom = clampToInt(lineBottom);
  m_minTop = clampToInt(minTop);
  m_maxAdvance = maxAdvance;
  m_lineHeight = clampToInt(minTop + lineBottom);
}

CPKFont::~CPKFont() { pkFreeBlock(m_ownedBlock); }

PKGlyph CPKFont::glyph(unsigned char code) const { return readGlyph(m_glyphTable, code); }

const unsigned char* CPKFont::glyphBitmap(const PKGlyph& glyph) const { return m_glyphTable + glyph.bitmapOffset; }

int CPKFont::fixedCell() const {
  const double cell = m_maxAdvance * m_fixedMulti + 0.5;
  // A multiplier from outside may be NaN or huge: keep the conversion defined.
  if (!(cell > -1e9 && cell < 1e9)) return m_maxAdvance;
  return static_cast<int>(cell);
}
