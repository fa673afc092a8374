#pragma once
// Tagged messages of the recorder protocol: an 8-byte header (message tag, total length)
// followed by items (item tag, data length, data). One object builds requests into its own
// buffer and parses received bytes into a list of items; the same object serves both
// directions, so the recorder side builds replies and parses requests with it too.
// All integers on the wire are 32-bit little-endian.
#include "base/LittleEndian.h"
#include "engine/GrowableArray.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

class CTaggedMessage {
public:
  static constexpr std::int32_t kHeaderSize = 8;     // message tag + total length
  static constexpr std::int32_t kItemHeaderSize = 8; // item tag + data length
  // The item list is reused from message to message (a steady exchange allocates nothing)
  // unless a message with more items than this made it grow.
  static constexpr std::int32_t kKeptItemCapacity = 40;

  struct ItemDefinition {
    std::uint32_t tag = 0;
    std::int32_t id = 0;
    std::uint8_t flag = 1;
  };

  // One item of the message last built or parsed. The definition's id and tag are copied
  // into the entry, so entries never point into the definitions array.
  struct ItemEntry {
    std::int32_t id = 0;         // id of the item's definition
    std::uint32_t tag = 0;       // the item's tag word
    std::int32_t dataOffset = 0; // from the first byte of the message
    std::int32_t dataLength = 0;
  };

  CTaggedMessage() = default;
  ~CTaggedMessage();
  CTaggedMessage(const CTaggedMessage&) = delete;
  CTaggedMessage& operator=(const CTaggedMessage&) = delete;

  // The tag word of a text: its first min(length, 4) characters, each shifted in from the
  // top, so a four-character tag's little-endian bytes are its characters in order.
  static constexpr std::uint32_t tagWord(std::string_view text) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size() && i < 4; ++i)
      value = (value >> 8) | (std::uint32_t(std::uint8_t(text[i])) << 24);
    return value;
  }

  // The 8 bytes in front of a message (its tag, the total length) or of an item (its tag,
  // the data length): both have this shape.
  static void writeHeader(std::uint8_t* at, std::uint32_t tag, std::int32_t length) {
    le::writeU32(at, tag);
    le::writeI32(at + 4, length);
  }

  // Sets the message tag and appends one item definition per tag text, with ids 0..count-1.
  // False only when a definition cannot be stored.
  bool define(const char* messageTagText, const char* const* itemTagTexts, std::int32_t count);

  // --- building ---
  // Starts a new message in the buffer: tag and a total length of 8.
  bool beginMessage();
  // Appends an item of the definition with `id`: false for an unknown id, a negative length,
  // a message that would outgrow 2 GiB, or a failed allocation (the message is unchanged).
  bool addItem(std::int32_t id, const void* data, std::int32_t length);
  const std::uint8_t* bytes() const { return buffer_; }

  // --- parsing ---
  // Clears the items; true when at least 8 bytes are given and they start with the message
  // tag. The total length is then length(); it is not validated here.
  bool parseHeader(const std::uint8_t* bytes, std::int32_t available);
  // Lists the items of a received message of `total` bytes (header included). Items with an
  // unknown tag are skipped. A negative item length rejects the whole message (false); an
  // item whose data would run past `total` ends the walk and is not listed (the items
  // before it are kept). False also when an entry cannot be stored.
  bool parseItems(const std::uint8_t* bytes, std::int32_t total);

  std::int32_t itemCount() const { return items_.count(); }
  const ItemEntry& item(std::int32_t index) const { return items_[index]; }

  // Both arrays back to empty; with releaseBuffer the buffer is freed as well.
  void clear(bool releaseBuffer);

  std::uint32_t tag() const { return tag_; }
  std::int32_t messageId() const { return messageId_; }
  std::int32_t length() const { return length_; } // built length, or total read by parseHeader
  std::int32_t capacity() const { return capacity_; }
  std::int32_t definitionCount() const { return definitions_.count(); }

private:
  const ItemDefinition* findById(std::int32_t id) const;
  const ItemDefinition* findByTag(std::uint32_t tag) const;
  bool reserve(std::int64_t needed);

  std::uint32_t tag_ = 0;
  std::int32_t messageId_ = 0;
  GrowableArray<ItemDefinition> definitions_;
  GrowableArray<ItemEntry> items_;
  std::int32_t length_ = 0;
  std::uint8_t* buffer_ = nullptr;
  std::int32_t capacity_ = 0;
};
