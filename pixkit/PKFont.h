#pragma once

#include <cstddef>

#include "pixkit/PixkitExport.h"

// One glyph record of a font block.
struct CAMVIEW_PIXKIT_API PKGlyph {
  int width = 0;        // pixels per bitmap row
  int advance = 0;      // pen advance in pixels
  int height = 0;       // bitmap rows; 0: no bitmap
  int top = 0;          // rows from the text origin down to the first bitmap row
  int bitmapOffset = 0; // bytes from the glyph table (block offset 20) to the bitmap
};

// A bitmap font read from a font block:
//   offset 0..19   header (bits per pixel at offset 16, must be 4)
//   offset 20      256 glyph records of five little-endian int32 (PKGlyph order)
//   offset 5140    glyph bitmaps: rows of (width + 1) / 2 bytes, two 4-bit coverages per
//                  byte, high nibble left
// The font refers to the caller's block and never copies it.
class CAMVIEW_PIXKIT_API CPKFont {
public:
  static constexpr std::size_t kBitsPerPixelOffset = 16;
  static constexpr std::size_t kGlyphTableOffset = 20;
  static constexpr std::size_t kGlyphCount = 256;
  static constexpr std::size_t kGlyphRecordSize = 20;
  static constexpr std::size_t kBitmapAreaOffset = 5140;
  static constexpr int kDefaultTabPosition = 64;
  // Largest glyph width, height, advance and |top| that a checked block may hold.
  static constexpr int kMaxGlyphExtent = 4096;

  // True when the block's bits-per-pixel word is 4. Needs at least 20 readable bytes.
  static bool hasFourBitPixels(const unsigned char* block);
  // Full check of a block from an untrusted source: the header and glyph table lie
  // inside `size` bytes, bits per pixel is 4, every glyph's values are within
  // kMaxGlyphExtent and every bitmap lies inside the block.
  static bool isValidBlock(const unsigned char* block, std::size_t size);

  // Reads the metrics of a block whose bits per pixel is 4. ownedBlock (may be null)
  // is freed with the font through pkFreeBlock.
  CPKFont(const unsigned char* block, unsigned char* ownedBlock);
  ~CPKFont();
  CPKFont(const CPKFont&) = delete;
  CPKFont& operator=(const CPKFont&) = delete;

  PKGlyph glyph(unsigned char code) const;
  // First byte of the glyph's bitmap (meaningful only for height > 0).
  const unsigned char* glyphBitmap(const PKGlyph& glyph) const;

  int lineBottom() const { return m_lineBottom; } // max of top + height
  int minTop() const { return m_minTop; }         // min of top over all records
  int maxAdvance() const { return m_maxAdvance; } // max of advance over all records
  int lineHeight() const { return m_lineHeight; } // minTop + lineBottom

  int tabPosition() const { return m_tabPosition; }
  void setTabPosition(int tab) { m_tabPosition = tab; }
  float fixedMulti() const { return m_fixedMulti; }
  void setFixedMulti(float multi) { m_fixedMulti = multi; }
  // Width of a PKTEXT_FIXED cell: integer part of maxAdvance * multiplier + 0.5.
  int fixedCell() const;

  unsigned long handle = 0;

private:
  const unsigned char* m_glyphTable;
  unsigned char* m_ownedBlock;
  int m_lineBottom = 0;
  int m_minTop = 0;
  int m_maxAdvance = 0;
  int m_lineHeight = 0;
  int m_tabPosition = kDefaultTabPosition;
  float m_fixedMulti = 1.0f;
};
