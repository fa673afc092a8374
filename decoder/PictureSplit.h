// The picture payload (the "BODY" bytes of a picture) and its two field streams: split here
// for the decoder, assembled here for the encoders, so the layout is written down once.
//
//   4 bytes    length L of the first field stream, 32-bit little-endian
//   L bytes    first field stream
//   516 bytes  not read by the decoder (zero when we write them); only before a second field
//   rest       second field stream, from L + 520 to the end; absent when the payload ends
//              before that
//
// A length word that points beyond the payload (or a payload shorter than the word) makes
// the split fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelet {

struct FieldStreams {
  const uint8_t* firstData = nullptr;
  int32_t firstLength = 0;
  const uint8_t* secondData = nullptr; // null when the payload has no second field
  int32_t secondLength = 0;
};

constexpr uint32_t kFirstLengthBytes = 4; // the length word in front of the first field
constexpr uint32_t kFieldGapBytes = 516;  // between the two field streams
// From the payload start, past the first field, to the second field.
constexpr uint32_t kSecondFieldOffset = kFirstLengthBytes + kFieldGapBytes;

bool splitPicturePayload(const uint8_t* payload, uint32_t length, FieldStreams& fields);

// Replaces `payload` with the payload of these field streams (its capacity is reused). With
// no second stream (null or empty) the payload ends after the first, without the gap.
void assemblePicturePayload(const uint8_t* first, uint32_t firstLength, const uint8_t* second, uint32_t secondLength,
                            std::vector<uint8_t>& payload);

} // namespace wavelet
