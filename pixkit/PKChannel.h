#pragma once

#include <cstdint>

#include "pixkit/PixkitExport.h"

// One colour channel of a surface: where it sits in a destination pixel (from the
// caller's mask) and where the same channel sits in a 16-bit 5-6-5 colour index.
struct CAMVIEW_PIXKIT_API CPKChannel {
  int shift = 0; // lowest set bit of the mask
  int width = 0; // number of contiguous set bits
  std::uint32_t mask = 0;
  int indexShift = 0;           // channel position in the 5-6-5 index minus shift
  int indexWidthDifference = 0; // channel width in the 5-6-5 index minus width
  std::uint32_t indexMask = 0;

  // Sets up the channel from a destination mask. False when the mask is 0, its ones
  // are not contiguous, or it reaches beyond bit 31; the channel is then unchanged.
  bool setMask(unsigned long long destinationMask, int indexPosition, int indexWidth, std::uint32_t indexFieldMask);

  // This channel's share of the destination value for 5-6-5 colour index i.
  std::uint32_t partOfIndex(std::uint32_t index) const;

  // An 8-bit channel value scaled to the channel width and moved to its position.
  std::uint32_t fromByte(std::uint32_t byte) const;

  // The channel of a destination value expanded to 8 bits by bit replication
  // (used by the 16-bit surface to blend).
  std::uint32_t toByte(std::uint32_t value) const;
};
