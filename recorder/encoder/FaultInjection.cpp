#include "recorder/encoder/FaultInjection.h"

#include <cstddef>
#include <cstdint>

#include "base/LittleEndian.h"
#include "decoder/PictureSplit.h"
#include "decoder/SubbandGeometry.h"
#include "recorder/encoder/StreamLayout.h"

namespace wavelet {
namespace {

constexpr uint32_t kMarker = 0xFFFFFFFFu;

// Position in the band order of a lowest band whose record has at least `words` words, and
// whose word after the second is not all ones; -1 when there is none.
int findLongLowestBand(const uint8_t* stream, size_t length, const std::vector<size_t>& records, size_t words) {
  const size_t count = length / 4;
  for (size_t position = 0; position < records.size(); ++position) {
    const int band = kBandOrder[position];
    if (slotOfBand(band) != kSlotCount - 1) continue;
    const size_t start = records[position];
    const size_t end = position + 1 < records.size() ? records[position + 1] - 1 : count; // before the marker
    if (end - start < words) continue;
    if (streamWord(stream, start + 2) == kMarker) continue;
    return static_cast<int>(position);
  }
  return -1;
}

} // namespace

bool damagePayload(std::vector<uint8_t>& payload, FieldDamage damage) {
  FieldStreams fields;
  if (payload.size() > UINT32_MAX ||
      !splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields))
    return false;
  const size_t firstLength = static_cast<size_t>(fields.firstLength);
  uint8_t* stream = payload.data() + kFirstLengthBytes;
  const std::vector<size_t> records = findBandRecords(stream, firstLength);
  if (records.empty()) return false;

  switch (damage) {
  case FieldDamage::BadBandType:
    stream[4 * records[0] + 3] = 0; // the type is the word's most significant byte
    return true;
  case FieldDamage::MarkerInBandData: {
    const int position = findLongLowestBand(stream, firstLength, records, 3);
    if (position < 0) return false;
    le::writeU32(stream + 4 * (records[static_cast<size_t>(position)] + 1), kMarker);
    return true;
  }
  case FieldDamage::Truncated: {
    const int position = findLongLowestBand(stream, firstLength, records, 3);
    if (position < 0) return false;
    const size_t newLength = 4 * (records[static_cast<size_t>(position)] + 2);
    std::vector<uint8_t> rebuilt;
    assemblePicturePayload(stream, static_cast<uint32_t>(newLength), fields.secondData,
                           static_cast<uint32_t>(fields.secondLength), rebuilt);
    payload.swap(rebuilt);
    return true;
  }
  }
  return false;
}

} // namespace wavelet
