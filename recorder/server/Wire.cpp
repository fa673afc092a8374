#include "recorder/server/Wire.h"

#include <cstring>

namespace recorder {

void putWord(std::uint8_t* destination, std::uint32_t value) {
  destination[0] = static_cast<std::uint8_t>(value);
  destination[1] = static_cast<std::uint8_t>(value >> 8);
  destination[2] = static_cast<std::uint8_t>(value >> 16);
  destination[3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t getWord(const std::uint8_t* source) {
  return static_cast<std::uint32_t>(source[0]) | static_cast<std::uint32_t>(source[1]) << 8 |
         static_cast<std::uint32_t>(source[2]) << 16 | static_cast<std::uint32_t>(source[3]) << 24;
}

MessageWriter::MessageWriter(std::uint32_t messageTag) : bytes_(kMessageHeaderSize) {
  putWord(bytes_.data(), messageTag);
  putWord(bytes_.data() + 4, static_cast<std::uint32_t>(kMessageHeaderSize));
}

MessageWriter& MessageWriter::addItem(std::uint32_t itemTag, const void* data, std::size_t length) {
  const std::size_t at = bytes_.size();
  bytes_.resize(at + kItemHeaderSize + length);
  putWord(bytes_.data() + at, itemTag);
  putWord(bytes_.data() + at + 4, static_cast<std::uint32_t>(length));
  if (length > 0) std::memcpy(bytes_.data() + at + kItemHeaderSize, data, length);
  putWord(bytes_.data() + 4, static_cast<std::uint32_t>(bytes_.size()));
  return *this;
}

MessageWriter& MessageWriter::addPdat(const PdatWords& words) {
  std::uint8_t data[kPdatSize];
  for (int i = 0; i < 4; ++i) putWord(data + 4 * i, static_cast<std::uint32_t>(words[i]));
  return addItem(kTagPdat, data, sizeof data);
}

} // namespace recorder
