#pragma once

#include <cstddef>

#include "pixkit/PKSurface.h"
#include "pixkit/PixkitExport.h"

// A single-colour shape: an 8-bit alpha map (row by row from the top) painted later in
// any colour with per-pixel alpha.
class CAMVIEW_PIXKIT_API CPKIcon {
public:
  // Takes ownership of alpha (width * height bytes, from new[]).
  CPKIcon(int width, int height, unsigned char* alpha);
  ~CPKIcon();
  CPKIcon(const CPKIcon&) = delete;
  CPKIcon& operator=(const CPKIcon&) = delete;

  int width() const { return m_width; }
  int height() const { return m_height; }
  const unsigned char* alpha() const { return m_alpha; }

  // Blends the colour word unchanged (no mapColour) with each non-zero alpha.
  void paint(CPKSurface& surface, int x, int y, unsigned long colour) const;

  unsigned long handle = 0;

private:
  int m_width;
  int m_height;
  unsigned char* m_alpha;
};

namespace pixkit {

// The alpha map of a picture of three bytes per pixel, rows `stride` bytes apart:
// a = low + (high - low) * grey / 255, clamped to 0..255, grey the truncated mean of the
// three bytes (inverted with PKICON_INVERT), rows and columns flipped by PKICON_FLIPY
// and PKICON_MIRROR. Null when the size is negative or the map cannot be allocated.
CPKIcon* makeIcon(const unsigned char* pixels, int width, int height, long long stride, int flags, int low, int high);

// An icon from BMP data: a whole file (14-byte file header first) or the info header
// alone; 1, 4, 8 and 24 bits per pixel, uncompressed. With size == kUnknownSize the data
// is trusted; otherwise every read is checked against size. Null on any rejection.
constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);
CPKIcon* makeIconFromBmp(bool infoHeaderOnly, const unsigned char* bmp, std::size_t size, int flags, int low, int high);

} // namespace pixkit
