#include "recorder/server/PayloadEncoder.h"

#include "base/LittleEndian.h"
#include "decoder/PictureSplit.h"

namespace recorder {

void corruptPayload(std::vector<std::uint8_t>& payload) {
  wavelet::FieldStreams fields;
  if (payload.size() > UINT32_MAX ||
      !wavelet::splitPicturePayload(payload.data(), static_cast<std::uint32_t>(payload.size()), fields))
    return;
  // Each field must open with a marker; a zero word is none.
  if (fields.firstLength < 4) return;
  le::writeU32(payload.data() + wavelet::kFirstLengthBytes, 0x00000000u);
  if (fields.secondLength >= 4) le::writeU32(payload.data() + (fields.secondData - payload.data()), 0x00000000u);
}

void PayloadEncoder::corrupt(std::vector<std::uint8_t>& payload) { corruptPayload(payload); }

} // namespace recorder
