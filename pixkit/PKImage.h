#pragma once

#include <cstddef>
#include <cstdint>

#include "pixkit/PKSurface.h"
#include "pixkit/PixkitExport.h"

// A colour image block in 16-bit 5-6-5 colour indices:
//   offset 0  width (int32)   4  height (int32)   8  mode (0 palette + runs, 1 raw)
//   offset 12 size of the whole block   16  data
// Mode 1 data: width * height indices. Mode 0 data: n (u16), n palette indices (u16),
// then run codes (u16): low b bits the palette position (b = bit length of n), high
// bits the run length minus 1; runs never cross the end of a row.
class CAMVIEW_PIXKIT_API CPKImage {
public:
  static constexpr std::size_t kHeaderSize = 16;

  // Takes ownership of block (from pkAllocBlock).
  explicit CPKImage(unsigned char* block);
  ~CPKImage();
  CPKImage(const CPKImage&) = delete;
  CPKImage& operator=(const CPKImage&) = delete;

  const unsigned char* block() const { return m_block; }

  unsigned long handle = 0;

private:
  unsigned char* m_block;
};

namespace pixkit {

// The 5-6-5 index of three bytes: the first byte goes to the red field, the third to blue.
inline std::uint16_t colourIndex(const unsigned char* p) {
  return static_cast<std::uint16_t>(((p[0] & 0xF8) << 8) | ((p[1] & 0xFC) << 3) | (p[2] >> 3));
}

// Number of binary digits of n (0 for 0).
int bitLength(std::uint32_t n);

std::int32_t imageWidth(const unsigned char* block);
std::int32_t imageHeight(const unsigned char* block);
std::int32_t imageMode(const unsigned char* block);
std::uint32_t imageSize(const unsigned char* block);

// Encodes a picture into a new block (pkAllocBlock); null when the size is negative or
// too large, or on allocation failure.
unsigned char* encodeImage(const unsigned char* pixels, int width, int height, long long stride, bool raw);

// True when the block at `block` fits in `available` bytes and its data is consistent:
// size field within bounds, mode 0 or 1, mode 1 holding width * height indices, mode 0
// holding a palette and run codes that cover every row exactly within the block.
bool isValidImageBlock(const unsigned char* block, std::size_t available);

// Draws a (trusted or validated) block with its top-left pixel at (x, y).
void paintImage(CPKSurface& surface, const unsigned char* block, int x, int y);

} // namespace pixkit
