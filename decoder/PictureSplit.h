// Splits a picture payload (the "BODY" bytes of a picture) into its two field streams.
//
// The payload starts with a 32-bit little-endian length L of the first field, which follows
// directly; the second field starts L + 520 bytes after the start of the payload and runs to
// its end, and is absent when the payload is not longer than that. A length word that points
// beyond the payload (or a payload shorter than the word) makes the split fail.
#pragma once

#include <cstdint>

namespace wavelet {

struct FieldStreams {
  const uint8_t* firstData = nullptr;
  int32_t firstLength = 0;
  const uint8_t* secondData = nullptr; // null when the payload has no second field
  int32_t secondLength = 0;
};

constexpr uint32_t kSecondFieldOffset = 520; // from the payload start, past the first field

bool SplitPicturePayload(const uint8_t* payload, uint32_t length, FieldStreams& fields);

} // namespace wavelet
