// Entropy coding of one band's quantised samples, and the choice of the band type.
//
// The samples are taken in raster order as values and runs of zeros, then coded with class A
// (code table 1, band type 129) or class B (code table 3 for type 131, table 2 for type 132);
// a band without a single non-zero sample becomes an empty band (type 143). The type that
// needs the fewest bits wins.
//
// No accidental marker: a marker is a 0xFFFFFFFF word that is followed by a word that is not
// 0xFFFFFFFF, so band data must not contain an all-ones word followed by more data of the same
// band. Every code of the three tables contains a 0 bit and is at most 16 bits long; an extra-
// bit field (at most 16 bits) may be all 1 bits only where the 1 bits at the end of its code,
// the field and the longest run of 1 bits any code begins with stay below 32. Otherwise the
// coder codes that run as one shorter plus a run of 1, or moves that value one step towards
// zero. (With the three tables as they are, no escape needs this.) So every run of 1 bits in
// the data is shorter than a word and no complete data word is all ones. Only the band's last
// word can be (its 1-bit padding); it is followed by the next record's marker or by the end
// of the stream, and is then read as data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recorder/encoder/BitWriter.h"

namespace wavelet {

class BandEncoder {
public:
  // Takes `count` quantised samples in raster order. Class A can hold values up to +-35067;
  // the encoder's values stay far inside that.
  void setSamples(const int32_t* samples, size_t count);

  // The band type that codes the samples in the fewest bits; 143 when all are zero.
  int cheapestBandType() const;

  // Bits of the coded samples with `bandType` (129..132), without header and padding.
  // Returns SIZE_MAX when that type cannot hold the samples (class B above +-8736).
  size_t codedBits(int bandType) const;

  // Writes the band record (type, quantiser, coded samples, 1-bit padding to the word end)
  // at the writer's current word boundary. The marker in front of it is the caller's.
  void writeRecord(BitWriter& writer, int bandType, uint16_t quantiser) const;

private:
  struct Token {
    uint32_t zerosBefore; // run of zeros in front of the value
    int32_t value;        // 0 only for the final token: zeros up to the band's end
  };
  std::vector<Token> tokens_;
  int32_t largestMagnitude_ = 0;
};

// Largest magnitude class B can code.
constexpr int32_t kClassBLargestValue = 8736;

} // namespace wavelet
