// The Receiver thread of a connection: connect, send the open request, collect replies,
// hand each complete picture to the window side and ask for the next one. It polls with
// fixed pauses and coordinates with the window thread through atomic flags only.
#include "engine/Connection.h"

#include "engine/Protocol.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"

bool CConnection::start() {
  if (thread_.running()) return true;
  if (!defineMessages()) {
    post(platform::kMsgStatus, kStatusMemory, 0);
    return false;
  }
  expected_ = CTaggedMessage::kHeaderSize;
  stopRequest_.store(false, std::memory_order_release);
  ended_.store(false, std::memory_order_release);
  state_.store(ReceiverState::Connecting, std::memory_order_release);
  thread_ = platform::threadStart(&CConnection::threadEntry, this);
  if (!thread_.running()) {
    state_.store(ReceiverState::NotRunning, std::memory_order_release);
    return false;
  }
  return true;
}

void CConnection::stop() {
  if (!thread_.running()) return;
  if (!ended_.load(std::memory_order_acquire)) {
    stopRequest_.store(true, std::memory_order_release);
    // The thread sets `ended` as its last act; waiting for it (rather than for the request
    // to be cleared) cannot miss a thread that ended by itself meanwhile.
    while (!ended_.load(std::memory_order_acquire)) platform::sleepMs(kStopPollMs);
  }
  platform::threadRelease(thread_);
  stopRequest_.store(false, std::memory_order_release);
  // The thread has returned: its stream may be closed here. A later start connects afresh.
  closeStream();
  state_.store(ReceiverState::NotRunning, std::memory_order_release);
}

bool CConnection::defineMessages() {
  if (request_.definitionCount() > 0 && reply_.definitionCount() > 0) return true;
  request_.clear(false);
  reply_.clear(false);
  return protocol::defineMessage(request_) && protocol::defineMessage(reply_);
}

unsigned CConnection::threadEntry(void* argument) {
  static_cast<CConnection*>(argument)->run();
  return 0;
}

bool CConnection::handOver() {
  PictureRecord& slot = windowSlot[0];
  receiveSlot.timing[PictureRecord::kTimingHandedOver] = platform::tickCount();
  // A picture that cannot be copied for lack of memory is dropped; the next one is asked
  // for all the same.
  if (slot.copyFrom(receiveSlot)) slot.valid.store(true, std::memory_order_release);
  receiveSlot.valid.store(false, std::memory_order_relaxed);
  receiveSlot.timing[PictureRecord::kTimingRequested] = platform::tickCount();
  return sendNext();
}

void CConnection::run() {
  bool connected = false;
  ReplyStatus status;
  for (;;) {
    if (!connected) {
      state_.store(ReceiverState::Connecting, std::memory_order_release);
      if (!stream_.hasSocket() && !stream_.open()) {
        post(platform::kMsgStatus, kStatusSocket, 0);
        break;
      }
      connectAttempts_.fetch_add(1, std::memory_order_acq_rel);
      if (stream_.connect(host_, port_)) {
        pictureCount_ = 0;
        if (sendOpen()) {
          connected = true;
          state_.store(ReceiverState::Connected, std::memory_order_release);
        } else {
          closeStream();
        }
      } else {
        // The state of a socket after a failed connect is unspecified on POSIX systems:
        // the next attempt starts with a fresh one.
        closeStream();
        platform::sleepMs(kConnectRetryPauseMs);
      }
    }
    if (connected) {
      status = ReplyStatus{};
      if (!pumpReceive(status)) {
        post(platform::kMsgStatus, kStatusSocket, 0);
        closeStream();
        connected = false;
      } else if (status.words[0] == protocol::kReplyEnd) {
        closeStream();
        connected = false;
      } else if (receiveSlot.valid.load(std::memory_order_relaxed) &&
                 !windowSlot[0].valid.load(std::memory_order_acquire)) {
        if (!handOver()) {
          post(platform::kMsgStatus, kStatusSocket, 0);
          closeStream();
          connected = false;
        }
      }
      if (connected && anyWindowSlotFull()) post(platform::kMsgPictureWaiting, 0, 0);
    }
    if (stopRequest_.load(std::memory_order_acquire)) break;
    platform::sleepMs(kPassPauseMs);
  }
  state_.store(ReceiverState::Ended, std::memory_order_release);
  stopRequest_.store(false, std::memory_order_release);
  ended_.store(true, std::memory_order_release);
}
