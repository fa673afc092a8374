#include "recorder/encoder/BitWriter.h"

namespace wavelet {

BitWriter::BitWriter(std::vector<uint8_t>& out) : out_(out) { out_.clear(); }

void BitWriter::write(uint32_t bits, int count) {
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

void BitWriter::flushWord(uint32_t word) {
    out_.push_back(static_cast<uint8_t>(word));
    out_.push_back(static_cast<uint8_t>(word >> 8));
    out_.push_back(static_cast<uint8_t>(word >> 16));
    out_.push_back(static_cast<uint8_t>(word >> 24));
}

}  // namespace wavelet
