#include "engine/MessagePeer.h"

CMessagePeer::CMessagePeer() = default;
CMessagePeer::~CMessagePeer() = default;

bool CMessagePeer::sendRequest(const RequestItem* items, std::int32_t count) {
  if (!request_.beginMessage()) return false;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!request_.addItem(items[i].id, items[i].data, items[i].length)) return false;
  }
  sendPosition_ = 0;
  sendLength_ = request_.length();
  return pumpSend();
}

bool CMessagePeer::pumpSend() {
  while (sendPosition_ < sendLength_) {
    const int sent = stream_.send(request_.bytes() + sendPosition_, sendLength_ - sendPosition_);
    if (sent < 0) return false;
    if (sent == 0) break; // would block: the rest goes out on the next call
    sendPosition_ += sent;
  }
  return true;
}

bool CMessagePeer::pumpReceive(ReplyStatus& status) {
  constexpr std::int32_t kHeader = CTaggedMessage::kHeaderSize;
  for (int step = 0; step < kMaxStepsPerPump; ++step) {
    if (!pumpSend()) return false;
    if (!stream_.fill(expected_)) return false;
    if (stream_.buffered() < expected_) return true; // wait for more

    if (!reply_.parseHeader(stream_.buffer(), expected_)) {
      // Not our tag: drop these bytes and look at the next 8.
      stream_.consume(expected_);
      expected_ = kHeader;
      continue;
    }
    const std::int32_t total = reply_.length();
    // Longer than any message the recorder can send: the stream is corrupt or hostile. No
    // buffer of that size is made; skipping its bytes would take minutes and rarely find
    // step again, so the connection counts as failed (and is made afresh).
    if (total > kMaxMessageLength) return false;
    if (total < kHeader) {
      // Shorter than its own header: searched past like a wrong tag.
      stream_.consume(kHeader);
      expected_ = kHeader;
      continue;
    }
    if (expected_ < total) {
      expected_ = total; // the rest of the message comes on a later pass
      return true;
    }
    if (reply_.parseItems(stream_.buffer(), expected_)) handleReply(stream_.buffer(), status);
    stream_.consume(expected_);
    expected_ = kHeader;
  }
  return true;
}

void CMessagePeer::closeStream() {
  stream_.close();
  expected_ = CTaggedMessage::kHeaderSize;
  sendPosition_ = 0;
  sendLength_ = 0;
}
