#include "recorder/server/RequestReader.h"

namespace recorder {

std::optional<PdatWords> findPdat(const std::uint8_t* message, std::size_t length) {
  std::optional<PdatWords> found;
  std::size_t offset = kMessageHeaderSize;
  while (offset + kItemHeaderSize <= length) {
    const std::uint32_t tag = le::readU32(message + offset);
    const auto itemLength = static_cast<std::int32_t>(le::readU32(message + offset + 4));
    if (itemLength < 0 || static_cast<std::size_t>(itemLength) > length - offset - kItemHeaderSize) return std::nullopt;
    const std::uint8_t* data = message + offset + kItemHeaderSize;
    if (!found && tag == kTagPdat && static_cast<std::size_t>(itemLength) >= kPdatSize) {
      PdatWords words;
      for (int i = 0; i < 4; ++i) words[i] = static_cast<std::int32_t>(le::readU32(data + 4 * i));
      found = words;
    }
    offset += kItemHeaderSize + static_cast<std::size_t>(itemLength);
  }
  return found;
}

void RequestReader::append(const std::uint8_t* data, std::size_t length) {
  // Compact before growing so a long-lived connection keeps a small buffer.
  if (consumed_ > 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  } else if (consumed_ > 4096) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
    consumed_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + length);
}

void RequestReader::consume(std::size_t count) { consumed_ += count; }

RequestReader::Result RequestReader::next(PdatWords& words) {
  if (invalid_) return Result::Invalid;
  if (buffered() < kMessageHeaderSize) return Result::NeedMore;
  const std::uint8_t* start = buffer_.data() + consumed_;
  if (le::readU32(start) != kTagMessage) {
    consume(kMessageHeaderSize); // step like the protocol's receivers do: 8 bytes at a time
    return Result::Skipped;
  }
  const auto total = static_cast<std::int32_t>(le::readU32(start + 4));
  if (total < static_cast<std::int32_t>(kMessageHeaderSize) || static_cast<std::size_t>(total) > kMaxRequestLength) {
    invalid_ = true;
    return Result::Invalid;
  }
  if (buffered() < static_cast<std::size_t>(total)) return Result::NeedMore;
  const auto pdat = findPdat(start, static_cast<std::size_t>(total));
  consume(static_cast<std::size_t>(total));
  if (!pdat) return Result::Ignored;
  words = *pdat;
  return Result::Request;
}

} // namespace recorder
