#include "recorder/server/PictureEncoder.h"

#include "recorder/server/Wire.h"

namespace recorder {

std::vector<std::uint8_t> assemblePayload(const std::vector<std::uint8_t>& firstField,
                                          const std::vector<std::uint8_t>* secondField) {
  std::vector<std::uint8_t> payload(4 + firstField.size());
  le::writeU32(payload.data(), static_cast<std::uint32_t>(firstField.size()));
  std::copy(firstField.begin(), firstField.end(), payload.begin() + 4);
  if (secondField && !secondField->empty()) {
    payload.resize(payload.size() + kFieldGap, 0);
    payload.insert(payload.end(), secondField->begin(), secondField->end());
  }
  return payload;
}

void corruptPayload(std::vector<std::uint8_t>& payload) {
  if (payload.size() < 8) return;
  const std::size_t firstLength = le::readU32(payload.data());
  if (firstLength < 4 || firstLength > payload.size() - 4) return;
  le::writeU32(payload.data() + 4, 0x00000000u); // first field: no opening marker
  const std::size_t second = 4 + firstLength + kFieldGap;
  if (payload.size() >= second + 4) le::writeU32(payload.data() + second, 0x00000000u);
}

void PictureEncoder::corrupt(std::vector<std::uint8_t>& payload) { corruptPayload(payload); }

} // namespace recorder
