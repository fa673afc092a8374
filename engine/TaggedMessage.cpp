#include "engine/TaggedMessage.h"

#include <cstring>
#include <limits>
#include <new>

CTaggedMessage::~CTaggedMessage() { clear(true); }

bool CTaggedMessage::define(const char* messageTagText, const char* const* itemTagTexts, std::int32_t count) {
  tag_ = tagWord(messageTagText);
  messageId_ = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!definitions_.append(ItemDefinition{tagWord(itemTagTexts[i]), i, 1})) return false;
  }
  return true;
}

const CTaggedMessage::ItemDefinition* CTaggedMessage::findById(std::int32_t id) const {
  for (std::int32_t i = 0; i < definitions_.count(); ++i) {
    if (definitions_[i].id == id) return &definitions_[i];
  }
  return nullptr;
}

const CTaggedMessage::ItemDefinition* CTaggedMessage::findByTag(std::uint32_t tag) const {
  for (std::int32_t i = 0; i < definitions_.count(); ++i) {
    if (definitions_[i].tag == tag) return &definitions_[i];
  }
  return nullptr;
}

// Grows the buffer to exactly `needed` bytes, keeping the message built so far.
bool CTaggedMessage::reserve(std::int64_t needed) {
  if (needed <= capacity_) return true;
  if (needed > std::numeric_limits<std::int32_t>::max()) return false;
  auto* block = new (std::nothrow) std::uint8_t[std::size_t(needed)];
  if (!block) return false;
  if (buffer_ && length_ > 0) std::memcpy(block, buffer_, std::size_t(length_));
  delete[] buffer_;
  buffer_ = block;
  capacity_ = std::int32_t(needed);
  return true;
}

bool CTaggedMessage::beginMessage() {
  items_.clearKeeping(kKeptItemCapacity);
  length_ = 0; // nothing of an earlier request needs to survive a growth
  if (!reserve(kHeaderSize)) return false;
  writeHeader(buffer_, tag_, kHeaderSize);
  length_ = kHeaderSize;
  return true;
}

bool CTaggedMessage::addItem(std::int32_t id, const void* data, std::int32_t length) {
  if (length < 0 || length_ < kHeaderSize) return false;
  const ItemDefinition* definition = findById(id);
  if (!definition) return false;
  if (!reserve(std::int64_t(length_) + kItemHeaderSize + length)) return false;
  if (!items_.append(ItemEntry{definition->id, definition->tag, length_ + kItemHeaderSize, length})) return false;
  std::uint8_t* out = buffer_ + length_;
  writeHeader(out, definition->tag, length);
  if (length > 0) std::memcpy(out + kItemHeaderSize, data, std::size_t(length));
  length_ += kItemHeaderSize + length;
  le::writeI32(buffer_ + 4, length_);
  return true;
}

bool CTaggedMessage::parseHeader(const std::uint8_t* bytes, std::int32_t available) {
  items_.clearKeeping(kKeptItemCapacity);
  if (available < kHeaderSize) return false;
  if (le::readU32(bytes) != tag_) return false;
  length_ = le::readI32(bytes + 4);
  return true;
}

bool CTaggedMessage::parseItems(const std::uint8_t* bytes, std::int32_t total) {
  items_.clearKeeping(kKeptItemCapacity); // the list describes these bytes only
  // 64-bit offsets: item lengths come from outside and may be anything up to 2^31 - 1.
  std::int64_t offset = kHeaderSize;
  while (offset + kItemHeaderSize < total) {
    const std::uint32_t itemTag = le::readU32(bytes + offset);
    const std::int32_t length = le::readI32(bytes + offset + 4);
    if (length < 0) return false;
    const std::int64_t dataOffset = offset + kItemHeaderSize;
    if (dataOffset + length > total) break; // runs past the message: never handed on
    if (const ItemDefinition* definition = findByTag(itemTag)) {
      if (!items_.append(ItemEntry{definition->id, definition->tag, std::int32_t(dataOffset), length})) return false;
    }
    offset = dataOffset + length;
  }
  return true;
}

void CTaggedMessage::clear(bool releaseBuffer) {
  definitions_.clear();
  items_.clear();
  if (releaseBuffer) {
    delete[] buffer_;
    buffer_ = nullptr;
    capacity_ = 0;
  }
  tag_ = 0;
  messageId_ = 0;
  length_ = 0;
}
