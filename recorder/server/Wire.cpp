#include "recorder/server/Wire.h"

#include <cstring>

namespace recorder {

MessageWriter::MessageWriter(std::uint32_t messageTag) : bytes_(kMessageHeaderSize) {
  le::writeU32(bytes_.data(), messageTag);
  le::writeU32(bytes_.data() + 4, static_cast<std::uint32_t>(kMessageHeaderSize));
}

MessageWriter& MessageWriter::addItem(std::uint32_t itemTag, const void* data, std::size_t length) {
  const std::size_t at = bytes_.size();
  bytes_.resize(at + kItemHeaderSize + length);
  le::writeU32(bytes_.data() + at, itemTag);
  le::writeU32(bytes_.data() + at + 4, static_cast<std::uint32_t>(length));
  if (length > 0) std::memcpy(bytes_.data() + at + kItemHeaderSize, data, length);
  le::writeU32(bytes_.data() + 4, static_cast<std::uint32_t>(bytes_.size()));
  return *this;
}

MessageWriter& MessageWriter::addPdat(const PdatWords& words) {
  std::uint8_t data[kPdatSize];
  for (int i = 0; i < 4; ++i) le::writeU32(data + 4 * i, static_cast<std::uint32_t>(words[i]));
  return addItem(kTagPdat, data, sizeof data);
}

} // namespace recorder
