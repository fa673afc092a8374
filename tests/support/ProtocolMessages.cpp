#include "tests/support/ProtocolMessages.h"

#include "engine/MessageWriter.h"
#include "engine/Protocol.h"

#include <cstdint>

namespace testsupport {

Bytes buildMessage(const std::vector<Item>& items) {
  protocol::MessageWriter message;
  for (const Item& item : items)
    message.addItem(CTaggedMessage::tagWord(protocol::kItemTagTexts[item.id]), item.data.data(), item.data.size());
  return message.take();
}

const Bytes* Message::find(std::string_view tag) const {
  const std::uint32_t word = CTaggedMessage::tagWord(tag);
  for (const auto& [itemTag, data] : items)
    if (itemTag == word) return &data;
  return nullptr;
}

std::int32_t Message::code() const {
  const Bytes* words = find(protocol::kItemTagTexts[protocol::kItemPdat]);
  return words && words->size() >= 4 ? le::readI32(words->data()) : -1;
}

bool parseMessage(const Bytes& bytes, Message& message) {
  message.items.clear();
  CTaggedMessage parser;
  if (!protocol::defineMessage(parser) || bytes.size() > std::size_t(INT32_MAX)) return false;
  const auto size = std::int32_t(bytes.size());
  if (!parser.parseHeader(bytes.data(), size) || parser.length() != size) return false;
  if (!parser.parseItems(bytes.data(), size)) return false;
  // The parser skips what it does not know and stops at an item that overruns the message:
  // the items it found must cover every byte.
  std::int64_t covered = CTaggedMessage::kHeaderSize;
  for (std::int32_t i = 0; i < parser.itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& item = parser.item(i);
    if (item.dataOffset != covered + CTaggedMessage::kItemHeaderSize) return false;
    covered = std::int64_t(item.dataOffset) + item.dataLength;
    message.items.emplace_back(
        item.tag, Bytes(bytes.begin() + item.dataOffset, bytes.begin() + item.dataOffset + item.dataLength));
  }
  return covered == size;
}

void appendInt32(Bytes& bytes, std::int32_t value) {
  std::uint8_t word[4];
  le::writeI32(word, value);
  bytes.insert(bytes.end(), word, word + 4);
}

void appendTag(Bytes& bytes, const char* tag) { appendInt32(bytes, std::int32_t(CTaggedMessage::tagWord(tag))); }

Bytes rawMessage(const char* tag, std::int32_t totalLength, const Bytes& body) {
  Bytes bytes;
  appendTag(bytes, tag);
  appendInt32(bytes, totalLength);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

Bytes rawItem(const char* tag, std::int32_t length, const Bytes& data) {
  Bytes bytes;
  appendTag(bytes, tag);
  appendInt32(bytes, length);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

Bytes pdat(std::int32_t word0, std::int32_t word1, std::int32_t word2, std::int32_t word3) {
  Bytes bytes;
  for (std::int32_t word : {word0, word1, word2, word3}) appendInt32(bytes, word);
  return bytes;
}

Bytes head(const HeaderTexts& texts) {
  PictureRecord record;
  record.setText(PictureRecord::kDateOffset, PictureRecord::kDateSize, texts.date);
  record.setText(PictureRecord::kTimeOffset, PictureRecord::kTimeSize, texts.time);
  record.setText(PictureRecord::kCameraOffset, PictureRecord::kCameraSize, texts.camera);
  record.setText(PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize, texts.pictureNumber);
  record.setVideoStandard576(texts.videoStandard576);
  record.setResolutionLevel(texts.resolutionLevel);
  return Bytes(record.header, record.header + PictureRecord::kHeaderSize);
}

Bytes body(std::int32_t length, std::uint8_t seed) {
  Bytes bytes(static_cast<std::size_t>(length));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(seed + i * 7);
  return bytes;
}

Bytes langItem(std::int32_t languageIndex, std::int32_t rows, std::int32_t columns,
               const std::map<std::pair<int, int>, std::string>& texts) {
  Bytes bytes;
  appendInt32(bytes, languageIndex);
  appendInt32(bytes, rows);
  appendInt32(bytes, columns);
  const std::int32_t tableEnd = 12 + 4 * rows * columns;
  Bytes strings;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      auto found = texts.find({r, c});
      if (found == texts.end()) {
        appendInt32(bytes, -1);
        continue;
      }
      appendInt32(bytes, tableEnd + std::int32_t(strings.size()));
      strings.insert(strings.end(), found->second.begin(), found->second.end());
      strings.push_back(0);
    }
  }
  bytes.insert(bytes.end(), strings.begin(), strings.end());
  return bytes;
}

Bytes languageItem(int size) {
  Bytes out = langItem(0, 1, 1, {{{0, 0}, "xx"}});
  if (size > 0 && std::size_t(size) > out.size()) out.resize(std::size_t(size));
  return out;
}

Bytes established(std::int32_t flags) {
  return buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyEstablished, 0, 0, flags)}});
}

Bytes picture(const HeaderTexts& texts, const Bytes& bodyBytes) {
  return protocol::pictureMessage(head(texts).data(), bodyBytes.data(), bodyBytes.size());
}

} // namespace testsupport
