#include "pixkit/PKChannel.h"

bool CPKChannel::setMask(unsigned long long destinationMask, int indexPosition, int indexWidth,
                         std::uint32_t indexFieldMask) {
  if (destinationMask == 0) return false;
  int low = 0;
  while (((destinationMask >> low) & 1u) == 0) ++low;
  int run = 0;
  while (low + run < 64 && ((destinationMask >> (low + run)) & 1u) != 0) ++run;
  if (low + run < 64 && (destinationMask >> (low + run)) != 0) return false; // a gap
  if (low + run > 32) return false;
  shift = low;
  width = run;
  mask = static_cast<std::uint32_t>(destinationMask);
  indexShift = indexPosition - low;
  indexWidthDifference = indexWidth - run;
  indexMask = indexFieldMask;
  return true;
}

std::uint32_t CPKChannel::partOfIndex(std::uint32_t index) const {
  std::uint64_t v = index & indexMask;
  if (indexWidthDifference > 0)
    v >>= indexWidthDifference;
  else
    v <<= -indexWidthDifference;
  if (indexShift > 0)
    v >>= indexShift;
  else
    v <<= -indexShift;
  return static_cast<std::uint32_t>(v) & mask;
}

std::uint32_t CPKChannel::fromByte(std::uint32_t byte) const {
  std::uint64_t v = byte & 0xFFu;
  if (width > 8)
    v <<= (width - 8);
  else if (width < 8)
    v >>= (8 - width);
  return static_cast<std::uint32_t>(v << shift);
}

std::uint32_t CPKChannel::toByte(std::uint32_t value) const {
  if (width == 0) return 0;
  const std::uint32_t v = (value & mask) >> shift;
  if (width >= 8) return (v >> (width - 8)) & 0xFFu;
  // Replicate the channel's bits downwards so that its maximum becomes 255.
  std::uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << width) | v;
    filled += width;
  }
  return (out >> (filled - 8)) & 0xFFu;
}
