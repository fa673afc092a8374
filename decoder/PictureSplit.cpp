#include "decoder/PictureSplit.h"

#include "base/LittleEndian.h"

#include <cstring>

namespace wavelet {

bool splitPicturePayload(const uint8_t* payload, uint32_t length, FieldStreams& fields) {
  fields = {};
  if (payload == nullptr || length < kFirstLengthBytes) return false;
  const uint32_t first = le::readU32(payload);
  // The first field must lie inside the payload (and fit the decoder's 32-bit lengths).
  if (first > length - kFirstLengthBytes || first > 0x7FFFFFFFu - kSecondFieldOffset) return false;
  fields.firstData = payload + kFirstLengthBytes;
  fields.firstLength = static_cast<int32_t>(first);
  const uint64_t secondStart = uint64_t(first) + kSecondFieldOffset;
  if (length > secondStart) {
    fields.secondData = payload + secondStart;
    fields.secondLength = static_cast<int32_t>(length - secondStart);
  }
  return true;
}

void assemblePicturePayload(const uint8_t* first, uint32_t firstLength, const uint8_t* second, uint32_t secondLength,
                            std::vector<uint8_t>& payload) {
  const bool hasSecond = second != nullptr && secondLength > 0;
  const std::size_t secondStart = std::size_t(kSecondFieldOffset) + firstLength;
  payload.assign(hasSecond ? secondStart + secondLength : kFirstLengthBytes + std::size_t(firstLength), 0);
  le::writeU32(payload.data(), firstLength);
  if (firstLength > 0) std::memcpy(payload.data() + kFirstLengthBytes, first, firstLength);
  if (hasSecond) std::memcpy(payload.data() + secondStart, second, secondLength);
}

} // namespace wavelet
