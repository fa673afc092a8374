#include "recorder/encoder/BitWriter.h"

namespace wavelet {

BitWriter::BitWriter(std::vector<uint8_t>& out) : out_(out) { out_.clear(); }

void BitWriter::padToWord() {
  if (pendingCount_ == 0) return;
  const int missing = 32 - pendingCount_;
  write((1u << missing) - 1u, missing);
}

void BitWriter::writeWord(uint32_t word) {
  padToWord();
  flushWord(word);
}

void BitWriter::writeMarker() { writeWord(kMarkerWord); }

} // namespace wavelet
