#include "engine/Protocol.h"

#include <iterator>

namespace protocol {

bool defineMessage(CTaggedMessage& message) {
  return message.define(kMessageTagText, kItemTagTexts, std::int32_t(std::size(kItemTagTexts)));
}

void encodePdat(const ReplyStatus& words, std::uint8_t bytes[kPdatSize]) {
  for (int i = 0; i < 4; ++i) le::writeI32(bytes + 4 * i, words.words[i]);
}

ReplyStatus decodePdat(const std::uint8_t* bytes, std::int32_t length) {
  std::uint8_t padded[kPdatSize] = {};
  for (std::int32_t i = 0; i < length && i < kPdatSize; ++i) padded[i] = bytes[i];
  ReplyStatus words;
  for (int i = 0; i < 4; ++i) words.words[i] = le::readI32(padded + 4 * i);
  return words;
}

} // namespace protocol
