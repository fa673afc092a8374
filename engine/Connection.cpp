#include "engine/Connection.h"

#include "engine/PictureLimits.h"
#include "engine/Protocol.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"

#include <cstring>

CConnection::CConnection() = default;

CConnection::~CConnection() {
  stop();
  closeStream();
}

void CConnection::configure(const char* host, int port, std::int32_t connectionId, CLanguageTable* language) {
  std::memset(host_, 0, sizeof host_);
  if (host) {
    for (int i = 0; i < kHostCapacity - 1 && host[i] != '\0'; ++i) host_[i] = host[i];
  }
  port_ = port;
  connectionId_ = connectionId;
  language_ = language;
}

void CConnection::setNotifyWindow(platform::WindowHandle window) { notify_.setWindow(window); }

bool CConnection::post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) const {
  return notify_.post(message, wParam, lParam);
}

bool CConnection::anyWindowSlotFull() const {
  for (const PictureRecord& slot : windowSlot) {
    if (slot.valid.load(std::memory_order_acquire)) return true;
  }
  return false;
}

bool CConnection::sendOpen() { return machine_.queueOpen(connectionId_) && pumpSend(); }

bool CConnection::sendNext() { return machine_.queueNext() && pumpSend(); }

void CConnection::handleReply(const std::uint8_t* message, ReplyStatus& status) {
  // The picture first, so that a reply code or language table in the same message takes
  // effect after it.
  for (std::int32_t i = 0; i < reply().itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& entry = reply().item(i);
    if (entry.id == protocol::kItemHead) storePicture(entry, message);
  }
  for (std::int32_t i = 0; i < reply().itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& entry = reply().item(i);
    const std::uint8_t* data = message + entry.dataOffset;
    if (entry.id == protocol::kItemPdat) {
      handleStatus(data, entry.dataLength, status);
    } else if (entry.id == protocol::kItemLang && language_) {
      language_->install(data, entry.dataLength);
    }
  }
}

void CConnection::storePicture(const CTaggedMessage::ItemEntry& head, const std::uint8_t* message) {
  const CTaggedMessage::ItemEntry* body = nullptr;
  for (std::int32_t i = 0; i < reply().itemCount() && !body; ++i)
    if (reply().item(i).id == protocol::kItemBody) body = &reply().item(i);
  // A header without a picture carries nothing to show; it must not overwrite the header of
  // a picture that still waits here for the window slot.
  if (!body) return;

  // A short header item gives only the bytes it has; the rest of the header is zero, so no
  // text of an earlier picture shows with this one.
  const std::int32_t headerBytes =
      head.dataLength < PictureRecord::kHeaderSize ? head.dataLength : PictureRecord::kHeaderSize;
  std::memset(receiveSlot.header, 0, sizeof receiveSlot.header);
  std::memcpy(receiveSlot.header, message + head.dataOffset, std::size_t(headerBytes));
  receiveSlot.receivedTick = receiveStamp();
  receiveSlot.sequence = pictureCount_++;

  if (body->dataLength > limits::kMaxPictureBytes || !receiveSlot.reserve(body->dataLength)) {
    // No picture is that large; or no memory for it. The old block may be gone with the
    // failed growth: whatever waited here is dropped too.
    receiveSlot.length = 0;
    receiveSlot.valid.store(false, std::memory_order_relaxed);
    picturesDropped_.fetch_add(1, std::memory_order_acq_rel);
    post(platform::kMsgStatus, 0, kErrorCodeInternal);
    return;
  }
  if (body->dataLength > 0) std::memcpy(receiveSlot.data, message + body->dataOffset, std::size_t(body->dataLength));
  receiveSlot.length = body->dataLength;
  receiveSlot.timing[PictureRecord::kTimingReceived] = platform::tickCount();
  // Sequentially consistent: releaseWindowSlot wakes the thread only when it sees this.
  receiveSlot.valid.store(true, std::memory_order_seq_cst);
  answered_ = true;
  backoff_.reset(); // the recorder delivers: the next failure is retried soon again
}

void CConnection::handleStatus(const std::uint8_t* data, std::int32_t length, ReplyStatus& status) {
  status = protocol::decodePdat(data, length);
  switch (status.words[0]) {
  case protocol::kReplyEnd:
    post(platform::kMsgStatus, kStatusCommClosed, 0);
    break;
  case protocol::kReplyEstablished:
    recorderFlags_.store(status.words[3], std::memory_order_release);
    post(platform::kMsgStatusIndex, kStatusEstablished, 0);
    break;
  case protocol::kReplyError: {
    answered_ = true; // the recorder says why no picture comes
    post(platform::kMsgStatus, 0, errorCodeParam(status.words[3]));
    break;
  }
  default:
    break;
  }
}
