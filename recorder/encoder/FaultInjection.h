// Deliberately damaged pictures for fault injection: each damage makes the decoder fail on the
// first field with a band error, whatever resolution level it decodes at.
#pragma once

#include <cstdint>
#include <vector>

namespace wavelet {

enum class FieldDamage {
  BadBandType,      // the first band record gets band type 0 (a bad band type)
  MarkerInBandData, // a marker word inside the data of a lowest band (always decoded)
  Truncated,        // the first field ends inside the data of a lowest band
};

// Damages the first field stream of a payload as PictureEncoder lays it out. Returns false,
// leaving the payload unchanged, when the payload is not laid out that way or no lowest band
// has enough data for the damage (a nearly flat picture at a very low quality).
bool damagePayload(std::vector<uint8_t>& payload, FieldDamage damage);

} // namespace wavelet
