#include "engine/RequestReader.h"

namespace protocol {

RequestReader::RequestReader() { defineMessage(parser_); }

void RequestReader::append(const std::uint8_t* data, std::size_t length) {
  // Compact before growing so a long-lived connection keeps a small buffer.
  if (consumed_ > 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  } else if (consumed_ > std::size_t(kMaxRequestBytes) * 16) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
    consumed_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + length);
}

RequestReader::Result RequestReader::next(ReplyStatus& words) {
  if (invalid_) return Result::Invalid;
  if (buffered() < std::size_t(CTaggedMessage::kHeaderSize)) return Result::NeedMore;
  const std::uint8_t* start = buffer_.data() + consumed_;
  if (!parser_.parseHeader(start, CTaggedMessage::kHeaderSize)) {
    consumed_ += CTaggedMessage::kHeaderSize; // step as the viewer does: 8 bytes at a time
    return Result::Skipped;
  }
  const std::int32_t total = parser_.length();
  if (total < CTaggedMessage::kHeaderSize || total > kMaxRequestBytes) {
    invalid_ = true;
    return Result::Invalid;
  }
  if (buffered() < std::size_t(total)) return Result::NeedMore;
  consumed_ += std::size_t(total);
  if (!parser_.parseItems(start, total)) return Result::Ignored;
  for (std::int32_t i = 0; i < parser_.itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& item = parser_.item(i);
    if (item.id != kItemPdat || item.dataLength < kPdatSize) continue;
    words = decodePdat(start + item.dataOffset, item.dataLength);
    return Result::Request;
  }
  return Result::Ignored;
}

} // namespace protocol
