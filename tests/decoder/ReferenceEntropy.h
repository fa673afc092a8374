// Test helper: a deliberately naive entropy decoder of one field stream, written straight from
// the format description. It reads one bit at a time (loading a word only when a bit of it is
// needed), matches codes bit by bit against the canonical code lists and spells out every
// symbol's meaning, so the decoder's fast reader can be checked against it on any stream,
// damaged ones included: same result, same error record, same samples.
#pragma once

#include "decoder/SubbandGeometry.h"

#include <cstdint>
#include <vector>

namespace wavelet::test {

struct ReferenceFieldResult {
  bool ok = false;
  int32_t result = 0; // DEC_OK, DEC_BAD_HEADER or DEC_BAND_ERROR
  int32_t stage = 0, band = 0, offset = 0;
  std::vector<std::vector<int16_t>> planes; // the coded samples (not dequantised), stride x height each
};

// Decodes a field into planes laid out as `geometry` says (plane pointers are ignored).
ReferenceFieldResult referenceDecodeField(const uint8_t* data, uint32_t length, const SubbandGeometry& geometry,
                                          int levels);

} // namespace wavelet::test
