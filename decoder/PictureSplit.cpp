#include "decoder/PictureSplit.h"

#include "base/LittleEndian.h"

namespace wavelet {

bool SplitPicturePayload(const uint8_t* payload, uint32_t length, FieldStreams& fields) {
  fields = {};
  if (payload == nullptr || length < 4) return false;
  const uint32_t first = le::readU32(payload);
  // The first field must lie inside the payload (and fit the decoder's 32-bit lengths).
  if (first > length - 4 || first > 0x7FFFFFFFu - kSecondFieldOffset) return false;
  fields.firstData = payload + 4;
  fields.firstLength = static_cast<int32_t>(first);
  const uint64_t secondStart = uint64_t(first) + kSecondFieldOffset;
  if (length > secondStart) {
    fields.secondData = payload + secondStart;
    fields.secondLength = static_cast<int32_t>(length - secondStart);
  }
  return true;
}

} // namespace wavelet
