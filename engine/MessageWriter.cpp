#include "engine/MessageWriter.h"

#include "engine/PictureRecord.h"

#include <cstring>

namespace protocol {

MessageWriter::MessageWriter(std::uint32_t messageTag) : bytes_(CTaggedMessage::kHeaderSize) {
  CTaggedMessage::writeHeader(bytes_.data(), messageTag, CTaggedMessage::kHeaderSize);
}

MessageWriter& MessageWriter::reserve(std::size_t bytes) {
  bytes_.reserve(bytes_.size() + bytes);
  return *this;
}

MessageWriter& MessageWriter::addItem(std::uint32_t itemTag, const void* data, std::size_t length) {
  const std::size_t at = bytes_.size();
  bytes_.resize(at + CTaggedMessage::kItemHeaderSize + length);
  CTaggedMessage::writeHeader(bytes_.data() + at, itemTag, static_cast<std::int32_t>(length));
  if (length > 0) std::memcpy(bytes_.data() + at + CTaggedMessage::kItemHeaderSize, data, length);
  le::writeU32(bytes_.data() + 4, static_cast<std::uint32_t>(bytes_.size()));
  return *this;
}

MessageWriter& MessageWriter::addPdat(std::int32_t word0, std::int32_t word1, std::int32_t word2, std::int32_t word3) {
  ReplyStatus words;
  words.words[0] = word0;
  words.words[1] = word1;
  words.words[2] = word2;
  words.words[3] = word3;
  std::uint8_t data[kPdatSize];
  encodePdat(words, data);
  return addItem(kTagPdat, data, sizeof data);
}

std::vector<std::uint8_t> requestMessage(std::int32_t code, std::int32_t connectionId) {
  return MessageWriter().addPdat(code, 0, connectionId, 0).take();
}

std::vector<std::uint8_t> pictureMessage(const std::uint8_t* header, const std::uint8_t* body, std::size_t bodyLength) {
  // Appended rather than resized and copied into: a resize would first write zeros over
  // the whole picture (a gateway builds one of these for every picture it relays).
  constexpr std::size_t kHead = CTaggedMessage::kItemHeaderSize;
  constexpr std::size_t kPrefix = CTaggedMessage::kHeaderSize + kHead + PictureRecord::kHeaderSize + kHead;
  std::uint8_t prefix[kPrefix];
  std::uint8_t* at = prefix;
  CTaggedMessage::writeHeader(at, kTagMessage, static_cast<std::int32_t>(kPrefix + bodyLength));
  at += CTaggedMessage::kHeaderSize;
  CTaggedMessage::writeHeader(at, kTagHead, PictureRecord::kHeaderSize);
  std::memcpy(at + kHead, header, PictureRecord::kHeaderSize);
  at += kHead + PictureRecord::kHeaderSize;
  CTaggedMessage::writeHeader(at, kTagBody, static_cast<std::int32_t>(bodyLength));
  std::vector<std::uint8_t> message;
  message.reserve(kPrefix + bodyLength);
  message.assign(prefix, prefix + kPrefix);
  message.insert(message.end(), body, body + bodyLength);
  return message;
}

} // namespace protocol
