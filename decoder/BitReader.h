// Reads a field stream as 32-bit little-endian words, most significant bit first.
//
// A marker is the word 0xFFFFFFFF when it is not the stream's last word and the word after it
// is not 0xFFFFFFFF too. Markers separate band records; meeting one while a band still needs
// bits is a stream error. Every read checks the stream's end, so no byte outside
// [data, data + length) is ever touched. Errors are returned as ErrorStage codes (0 = fine).
#pragma once

#include "base/LittleEndian.h"
#include "decoder/DecodeStatus.h"

#include <cstdint>

namespace wavelet {

class BitReader {
public:
  static constexpr int kHeaderBytes = 14;

  // Starts on `length` bytes; a trailing remainder of 1 to 3 bytes is ignored.
  void Start(const uint8_t* data, uint32_t length) {
    words_ = data;
    pendingBits = 0;
    pendingCount = 0;
    next = 0;
    count = length / 4;
    bandCounter = -1;
  }

  uint32_t word(uint32_t index) const { return le::readU32(words_ + static_cast<uintptr_t>(index) * 4); }

  const uint8_t* data() const { return words_; }

  bool IsMarker() const {
    return next < count && word(next) == 0xFFFFFFFFu && next + 1 < count && word(next + 1) != 0xFFFFFFFFu;
  }

  // Empties the window; steps over a marker at the read position and returns true if there is one.
  bool Sync() {
    pendingBits = 0;
    pendingCount = 0;
    if (!IsMarker()) return false;
    ++next;
    return true;
  }

  // Empties the window and advances to the next marker (or the end of the stream).
  void SkipToMarker() {
    pendingBits = 0;
    pendingCount = 0;
    while (next < count && !IsMarker()) ++next;
  }

  // The next 32 bits without consuming them; bits past the stream's end read as 0.
  uint32_t peek32() const {
    const uint32_t following = next < count ? word(next) : 0;
    return pendingBits | (following >> pendingCount); // pendingCount <= 31
  }

  // Consumes n bits (1..16), loading the next word when the window runs short.
  int consume(uint32_t n) {
    if (pendingCount >= n) {
      pendingBits <<= n;
      pendingCount -= n;
      return ERR_NONE;
    }
    if (next >= count) return ERR_END_OF_DATA;
    if (IsMarker()) return ERR_MARKER_IN_DATA;
    const uint32_t need = n - pendingCount;
    pendingBits = word(next++) << need;
    pendingCount = 32 - need;
    return ERR_NONE;
  }

  // Reads n bits (1..16) as an unsigned number, first bit most significant.
  int Read(uint32_t n, uint32_t& value) {
    value = peek32() >> (32 - n);
    return consume(n);
  }

  // Marker, parity byte (0x40 or 0x41), format byte (0x00) and 14 stored bytes.
  // Any mismatch or stream error gives false.
  bool ReadFieldHeader(int& parity, uint8_t (&header)[kHeaderBytes]);

  // Band header: every band but the first starts with a marker; 8-bit type, 16-bit quantiser.
  int ReadBandHeader(int& type, int16_t& quantiser, bool& empty);

  uint32_t pendingBits = 0;  // unread bits of the current word, left-aligned
  uint32_t pendingCount = 0; // valid bits in pendingBits, 0..31
  uint32_t next = 0;         // index of the next word not yet loaded
  uint32_t count = 0;        // whole words in the stream
  int32_t bandCounter = -1;  // -1 after the field header, incremented by every band header

private:
  const uint8_t* words_ = nullptr;
};

} // namespace wavelet
