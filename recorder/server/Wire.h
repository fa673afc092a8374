#pragma once
// Byte layout of the recorder protocol as the recorder writes it: "PLPR" messages made of
// tagged items, all integers 32-bit little-endian.
#include "base/LittleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace recorder {

// The word of a four-character tag: its little-endian bytes are the characters in order.
constexpr std::uint32_t tagWord(std::string_view text) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < text.size() && i < 4; ++i)
    value = (value >> 8) | (static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << 24);
  return value;
}

constexpr std::uint32_t kTagMessage = tagWord("PLPR");
constexpr std::uint32_t kTagPdat = tagWord("PDAT");
constexpr std::uint32_t kTagHead = tagWord("HEAD");
constexpr std::uint32_t kTagBody = tagWord("BODY");
constexpr std::uint32_t kTagLang = tagWord("LANG");

constexpr std::size_t kMessageHeaderSize = 8;
constexpr std::size_t kItemHeaderSize = 8;
constexpr std::size_t kPdatSize = 16;

// Request codes (word 0 of the viewer's "PDAT") and reply codes (word 0 of ours).
enum : std::int32_t {
  kRequestOpen = 2,
  kRequestNextPicture = 3,
  kReplyEnd = 4,
  kReplyEstablished = 5,
  kReplyError = 12,
};

using PdatWords = std::array<std::int32_t, 4>;

// Builds one message. Items are appended in order; bytes() has the final total length.
class MessageWriter {
public:
  explicit MessageWriter(std::uint32_t messageTag = kTagMessage);

  MessageWriter& addItem(std::uint32_t itemTag, const void* data, std::size_t length);
  MessageWriter& addPdat(const PdatWords& words);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
  std::vector<std::uint8_t> bytes_;
};

} // namespace recorder
