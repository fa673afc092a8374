// Finds the structure of a field stream from its markers, with the decoder's marker rule:
// a 0xFFFFFFFF word is a marker when it is not the stream's last word and the word after it
// is not 0xFFFFFFFF as well. Used by fault injection and by checks of encoded streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelet {

// The 32-bit little-endian word `index` of a stream (index < length / 4).
uint32_t streamWord(const uint8_t* stream, size_t index);

// Word indices of all markers in a stream of `length` bytes (a 1..3 byte tail is ignored).
std::vector<size_t> findMarkers(const uint8_t* stream, size_t length);

// Word index of every band record's first word (its type and quantiser), in stream order:
// the first record follows the 4 header words after the leading marker, every later record
// follows its marker. Empty when the stream does not have exactly 1 + 41 markers with the
// first at word 0.
std::vector<size_t> findBandRecords(const uint8_t* stream, size_t length);

} // namespace wavelet
