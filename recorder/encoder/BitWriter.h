// Writes a field stream: bits packed most significant first into 32-bit words that are stored
// little-endian, which is how the decoder's bit reader takes them apart again.
#pragma once

#include "base/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelet {

class BitWriter {
public:
  static constexpr uint32_t kMarkerWord = 0xFFFFFFFFu;

  // Starts a new stream in `out` (cleared; its capacity is kept for the next stream).
  explicit BitWriter(std::vector<uint8_t>& out);

  // Appends the low `count` bits of `bits`, most significant first; 0 <= count <= 32.
  // Inline: the band coder calls it for every code.
  void write(uint32_t bits, int count) {
    if (count <= 0) return;
    const uint64_t mask = (count == 32) ? 0xFFFFFFFFull : ((1ull << count) - 1);
    pending_ = (pending_ << count) | (bits & mask);
    pendingCount_ += count;
    if (pendingCount_ >= 32) {
      pendingCount_ -= 32;
      flushWord(static_cast<uint32_t>(pending_ >> pendingCount_));
      pending_ &= (1ull << pendingCount_) - 1;
    }
  }

  // Fills the rest of the current word with 1 bits (nothing when at a word boundary).
  void padToWord();

  // Pads to a word boundary, then appends a whole word.
  void writeWord(uint32_t word);

  // Pads to a word boundary, then appends a marker word.
  void writeMarker();

  // Number of complete words written so far.
  size_t wordCount() const { return out_.size() / 4; }
  // Total number of bits written so far (including a partial word).
  size_t bitCount() const { return out_.size() * 8 + static_cast<size_t>(pendingCount_); }

private:
  void flushWord(uint32_t word) { le::appendU32(out_, word); }

  std::vector<uint8_t>& out_;
  uint64_t pending_ = 0; // the low pendingCount_ bits are waiting, oldest bit highest
  int pendingCount_ = 0; // 0..31
};

} // namespace wavelet
