#include "engine/ConnectionMachine.h"

#include "engine/Protocol.h"

#include <cstring>
#include <new>

CConnectionMachine::CConnectionMachine() = default;

CConnectionMachine::~CConnectionMachine() { delete[] buffer_; }

bool CConnectionMachine::defineMessages() {
  if (request_.definitionCount() > 0 && reply_.definitionCount() > 0) return true;
  request_.clear(false);
  reply_.clear(false);
  return protocol::defineMessage(request_) && protocol::defineMessage(reply_);
}

std::uint8_t* CConnectionMachine::receiveSpace(std::int32_t& room) {
  room = 0;
  const std::int32_t want = expected_;
  // A header is read into whatever buffer there is; the size of a whole message decides
  // whether the buffer grows or, after a far larger message, shrinks.
  const bool shrink = want > CTaggedMessage::kHeaderSize && want > buffered_ && limits::mustReallocate(capacity_, want);
  if (capacity_ < want || shrink) {
    auto* block = new (std::nothrow) std::uint8_t[std::size_t(want)];
    if (!block) return nullptr;
    if (buffered_ > 0) std::memcpy(block, buffer_, std::size_t(buffered_));
    delete[] buffer_;
    buffer_ = block;
    capacity_ = want;
  }
  room = want > buffered_ ? want - buffered_ : 0;
  return buffer_ + buffered_;
}

void CConnectionMachine::received(std::int32_t count, std::uint32_t now) {
  if (count <= 0) return;
  const std::int32_t room = capacity_ - buffered_;
  if (count > room) count = room; // a driver's fault must not run past the buffer
  buffered_ += count;
  totalReceived_ += std::uint64_t(count);
  watchdog_.bytesArrived(now);
}

std::int32_t CConnectionMachine::feed(const std::uint8_t* bytes, std::int32_t count, std::uint32_t now) {
  if (count <= 0) return 0;
  std::int32_t room = 0;
  std::uint8_t* space = receiveSpace(room);
  if (!space) return -1;
  const std::int32_t taken = count < room ? count : room;
  if (taken > 0) std::memcpy(space, bytes, std::size_t(taken));
  received(taken, now);
  return taken;
}

CConnectionMachine::Step CConnectionMachine::step(Handler& handler, ReplyStatus& status) {
  constexpr std::int32_t kHeader = CTaggedMessage::kHeaderSize;
  if (buffered_ < expected_) return Step::NeedBytes;
  if (!reply_.parseHeader(buffer_, expected_)) {
    // Not our tag: drop these bytes and look at the next 8.
    consume(expected_);
    expected_ = kHeader;
    return Step::Progress;
  }
  const std::int32_t total = reply_.length();
  // Longer than any message the recorder can send: the stream is corrupt or hostile. No
  // buffer of that size is made; skipping its bytes would take minutes and rarely find
  // step again, so the connection counts as failed (and is made afresh).
  if (total > kMaxMessageLength) return Step::Failed;
  if (total < kHeader) {
    // Shorter than its own header: searched past like a wrong tag.
    consume(kHeader);
    expected_ = kHeader;
    return Step::Progress;
  }
  if (expected_ < total) {
    expected_ = total; // the rest of the message comes with later bytes
    return Step::NeedBytes;
  }
  if (reply_.parseItems(buffer_, expected_)) handler.handleReply(buffer_, reply_, status);
  consume(expected_);
  expected_ = kHeader;
  return Step::Progress;
}

void CConnectionMachine::consume(std::int32_t count) {
  if (count <= 0) return;
  if (count >= buffered_) {
    buffered_ = 0;
    return;
  }
  std::memmove(buffer_, buffer_ + count, std::size_t(buffered_ - count));
  buffered_ -= count;
}

bool CConnectionMachine::queueRequest(const RequestItem* items, std::int32_t count) {
  if (!request_.beginMessage()) return false;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!request_.addItem(items[i].id, items[i].data, items[i].length)) return false;
  }
  sendPosition_ = 0;
  sendLength_ = request_.length();
  return true;
}

bool CConnectionMachine::queueOpen(std::int32_t connectionId) {
  return queueCodeRequest(protocol::kRequestOpen, connectionId);
}

bool CConnectionMachine::queueNext() { return queueCodeRequest(protocol::kRequestNext, 0); }

bool CConnectionMachine::queueCodeRequest(std::int32_t code, std::int32_t word2) {
  ReplyStatus words;
  words.words[0] = code;
  words.words[2] = word2;
  std::uint8_t pdat[protocol::kPdatSize];
  protocol::encodePdat(words, pdat);
  const RequestItem item{pdat, protocol::kPdatSize, protocol::kItemPdat};
  return queueRequest(&item, 1);
}

void CConnectionMachine::sent(std::int32_t count) {
  if (count <= 0) return;
  sendPosition_ = count < pendingLength() ? sendPosition_ + count : sendLength_;
}

bool CConnectionMachine::open(std::int32_t connectionId, std::uint32_t now) {
  requestWaiting_ = false;
  paintAwaited_ = false;
  lastRequestTick_ = now;
  if (!queueOpen(connectionId)) return false;
  watchdog_.requestSent(now);
  return true;
}

void CConnectionMachine::handedOver(std::uint32_t now, bool paintGate, std::uint32_t paints) {
  requestWaiting_ = true;
  paintAwaited_ = paintGate;
  paintsAtHandOver_ = paints;
  handOverTick_ = now;
}

std::uint32_t CConnectionMachine::requestWaitMs(std::uint32_t now, std::uint32_t paints) const {
  if (!requestWaiting_) return 0;
  const std::uint32_t sinceRequest = now - lastRequestTick_;
  if (sinceRequest < kLeastRequestIntervalMs) return kLeastRequestIntervalMs - sinceRequest;
  if (!paintAwaited_ || paints != paintsAtHandOver_) return 0;
  const std::uint32_t sinceHandOver = now - handOverTick_;
  return sinceHandOver < kPaintWaitLimitMs ? kPaintWaitLimitMs - sinceHandOver : 0;
}

int CConnectionMachine::queueDueRequest(std::uint32_t now, std::uint32_t paints) {
  if (!requestWaiting_ || requestWaitMs(now, paints) > 0) return 0;
  requestWaiting_ = false;
  lastRequestTick_ = now;
  if (!queueNext()) return -1;
  watchdog_.requestSent(now);
  return 1;
}

void CConnectionMachine::reset() {
  delete[] buffer_;
  buffer_ = nullptr;
  capacity_ = 0;
  buffered_ = 0;
  expected_ = CTaggedMessage::kHeaderSize;
  sendPosition_ = 0;
  sendLength_ = 0;
  requestWaiting_ = false;
  paintAwaited_ = false;
  watchdog_.disarm();
}
