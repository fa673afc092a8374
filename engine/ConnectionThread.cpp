// The Receiver thread of a connection: connect, send the open request, collect replies,
// hand each complete picture to the window side and ask for the next one. Between passes it
// sleeps until the socket is readable or it is woken; it coordinates with the window thread
// through atomic flags, backs off while connections keep failing and gives up a recorder
// that stops answering.
#include "engine/Connection.h"

#include "engine/Protocol.h"
#include "engine/StatusIndex.h"
#include "platform/NameLookup.h"
#include "platform/Time.h"

bool CConnection::start() {
  if (worker_.running()) {
    if (!ended_.load(std::memory_order_acquire)) return true;
    stop(); // it ended by itself (no socket could be made): start a new one
  }
  if (!defineMessages()) {
    post(platform::kMsgStatus, kStatusMemory, 0);
    return false;
  }
  // A fresh connection: nothing of an earlier run waits to be shown.
  closeStream();
  receiveSlot.valid.store(false, std::memory_order_relaxed);
  for (PictureRecord& slot : windowSlot) slot.valid.store(false, std::memory_order_release);
  noticePosted_.store(false, std::memory_order_release);
  backoff_.reset();
  ended_.store(false, std::memory_order_release);
  state_.store(ReceiverState::Connecting, std::memory_order_release);
  if (!worker_.start(&CConnection::threadEntry, this)) {
    state_.store(ReceiverState::NotRunning, std::memory_order_release);
    return false;
  }
  return true;
}

void CConnection::stop() {
  if (!worker_.running()) return;
  // Every wait of the thread ends at the wake-up or within one short slice, so this join
  // is brief.
  worker_.stop([this] { waiter_.wake(); });
  // The thread has returned: its stream may be closed here. A later start connects afresh.
  closeStream();
  state_.store(ReceiverState::NotRunning, std::memory_order_release);
}

bool CConnection::defineMessages() { return machine_.defineMessages(); }

unsigned CConnection::threadEntry(void* argument) {
  auto* connection = static_cast<CConnection*>(argument);
  try {
    connection->run();
  } catch (...) {
    // Nothing in the loop throws; should anything, the thread ends as after a stop instead
    // of ending the process (a browser's).
    connection->closeStream();
    connection->state_.store(ReceiverState::Ended, std::memory_order_release);
    connection->ended_.store(true, std::memory_order_release);
  }
  return 0;
}

void CConnection::renotify() {
  noticePosted_.store(false, std::memory_order_release);
  waiter_.wake();
}

void CConnection::releaseWindowSlot() {
  // Only a picture waiting in the receive slot gives the thread something to do now; else
  // the next one is handed over by the pass that stores it, and the thread sleeps on. The
  // two flags are paired sequentially consistently with storePicture and connectedPass: the
  // thread either sees the slot free on its own or is seen with a picture and woken.
  windowSlot[0].valid.store(false, std::memory_order_seq_cst);
  if (receiveSlot.valid.load(std::memory_order_seq_cst)) waiter_.wake();
}

void CConnection::picturePainted() {
  paints_.fetch_add(1, std::memory_order_acq_rel);
  waiter_.wake();
}

bool CConnection::pause(std::uint32_t milliseconds) {
  // Other wake-ups (a freed window slot) do not shorten a pause; only a stop does.
  const std::uint32_t begin = platform::tickCount();
  for (;;) {
    if (stopRequested()) return true;
    const std::uint32_t elapsed = platform::tickCount() - begin;
    if (elapsed >= milliseconds) return false;
    waiter_.wait(platform::kNoSocket, int(milliseconds - elapsed));
  }
}

std::uint32_t CConnection::nextWaitMs() const {
  // The step limit ended the pass with a whole header or message in the buffer.
  if (machine_.buffered() >= machine_.expected()) return 0;
  if (machine_.pendingLength() > 0) return kPassPauseMs; // the socket's send buffer was full
  const bool slotFull = anyWindowSlotFull();
  if (slotFull && receiveSlot.valid.load(std::memory_order_relaxed)) return kPassPauseMs;
  if (slotFull && !noticePosted_.load(std::memory_order_acquire) && notify_.window()) return kPassPauseMs;
  // A held-back request: its interval runs out, or a paint wakes the thread.
  if (machine_.requestWaiting()) {
    const std::uint32_t due = requestWaitMs(platform::tickCount());
    return due == 0 ? 1 : due;
  }
  return kIdleWaitMs;
}

std::uint32_t CConnection::requestWaitMs(std::uint32_t now) const {
  return machine_.requestWaitMs(now, paints_.load(std::memory_order_acquire));
}

bool CConnection::sendDueRequest(std::uint32_t now) {
  if (!machine_.requestWaiting() || requestWaitMs(now) > 0) return true;
  receiveSlot.timing[PictureRecord::kTimingRequested] = now;
  if (machine_.queueDueRequest(now, paints_.load(std::memory_order_acquire)) < 0) return false;
  return pumpSend();
}

bool CConnection::waitForWork() {
  if (stopRequested()) return true;
  waiter_.wait(stream_.socket(), int(nextWaitMs()));
  return stopRequested();
}

std::uint32_t CConnection::receiveStamp() {
  // The window side shows a picture only when it is newer than the one it holds. Pictures
  // can arrive within one tick (1 ms here, about 16 ms of GetTickCount on Windows) now that
  // a pass follows their bytes at once: each gets a later stamp than the one before.
  std::uint32_t now = platform::tickCount();
  if (stamped_ && static_cast<std::int32_t>(now - lastStamp_) <= 0) now = lastStamp_ + 1;
  stamped_ = true;
  lastStamp_ = now;
  return now;
}

int CConnection::resolveHost(platform::Address& address) {
  if (platform::parseDottedAddress(host_, address)) return 1;
  if (host_[0] == '\0') return 0;
  // The resolver may take many seconds and cannot be interrupted: it runs on a thread of
  // its own, which a stop leaves behind.
  platform::NameLookup* lookup = platform::NameLookup::start(host_);
  if (!lookup) return 0;
  platform::NameLookup::State state;
  while ((state = lookup->wait(kWaitSliceMs, address)) == platform::NameLookup::State::Pending) {
    if (stopRequested()) {
      lookup->release();
      return -1;
    }
  }
  lookup->release();
  return state == platform::NameLookup::State::Found ? 1 : 0;
}

CConnection::ConnectOutcome CConnection::connectToRecorder() {
  if (!stream_.hasSocket() && !stream_.open()) return ConnectOutcome::NoSocket;
  connectAttempts_.fetch_add(1, std::memory_order_acq_rel);
  if (port_ < 0 || port_ > 65535) return ConnectOutcome::Failed;
  platform::Address address = 0;
  const int resolved = resolveHost(address);
  if (resolved < 0) return ConnectOutcome::Stopped;
  if (resolved == 0) return ConnectOutcome::Failed;

  int connected = stream_.beginConnect(address, port_);
  const std::uint32_t begin = platform::tickCount();
  while (connected == 0) {
    if (stopRequested()) return ConnectOutcome::Stopped;
    if (platform::tickCount() - begin >= kConnectTimeoutMs) break;
    connected = stream_.finishConnect(int(kWaitSliceMs));
  }
  if (connected != 1) {
    // A socket whose connect failed cannot be used again (Wine, BSD): the next attempt
    // starts with a fresh one.
    closeStream();
    return ConnectOutcome::Failed;
  }
  return ConnectOutcome::Connected;
}

void CConnection::handOver() {
  PictureRecord& slot = windowSlot[0];
  const std::uint32_t now = platform::tickCount();
  receiveSlot.timing[PictureRecord::kTimingHandedOver] = now;
  // The empty window slot belongs to this thread: the picture moves in by exchanging the two
  // records' blocks, without a copy of its bytes (and without an allocation that could fail).
  slot.takeFrom(receiveSlot);
  noticePosted_.store(false, std::memory_order_release);
  slot.valid.store(true, std::memory_order_release);
  receiveSlot.valid.store(false, std::memory_order_relaxed);
  machine_.handedOver(now, paintGate_, paints_.load(std::memory_order_acquire));
}

void CConnection::noticePictureWaiting() {
  if (!anyWindowSlotFull() || noticePosted_.load(std::memory_order_acquire)) return;
  // A post that fails (no window yet, a full queue) is tried again on the next pass.
  if (post(platform::kMsgPictureWaiting, 0, 0)) noticePosted_.store(true, std::memory_order_release);
}

bool CConnection::connectedPass(ReplyStatus& status) {
  status = ReplyStatus{};
  answered_ = false;
  bool lost = !pumpReceive(status);
  if (!lost) {
    const std::uint32_t now = platform::tickCount();
    if (answered_) machine_.answered();
    if (machine_.watchdogExpired(now)) {
      watchdogExpiries_.fetch_add(1, std::memory_order_acq_rel);
      lost = true;
    }
  }
  if (!lost && status.words[0] == protocol::kReplyEnd) {
    closeStream(); // the recorder ended the session; its status is posted already
    return false;
  }
  if (!lost && receiveSlot.valid.load(std::memory_order_relaxed) &&
      !windowSlot[0].valid.load(std::memory_order_seq_cst))
    handOver();
  if (!lost) lost = !sendDueRequest(platform::tickCount());
  if (lost) {
    post(platform::kMsgStatus, kStatusSocket, 0);
    closeStream();
    return false;
  }
  noticePictureWaiting();
  return true;
}

void CConnection::run() {
  bool connected = false;
  bool failedBefore = false; // the next connect waits out a backoff pause first
  ReplyStatus status;
  for (;;) {
    if (!connected) {
      state_.store(ReceiverState::Connecting, std::memory_order_release);
      if (failedBefore && pause(backoff_.nextPause())) break;
      failedBefore = true;
      const ConnectOutcome outcome = connectToRecorder();
      if (outcome == ConnectOutcome::Stopped) break;
      if (outcome == ConnectOutcome::NoSocket) {
        post(platform::kMsgStatus, kStatusSocket, 0);
        break;
      }
      if (outcome == ConnectOutcome::Failed) continue;
      pictureCount_ = 0;
      // The open request arms the watchdog; the first next-picture request keeps the pace
      // from it.
      if (!machine_.open(connectionId_, platform::tickCount()) || !pumpSend()) {
        closeStream();
        continue;
      }
      connected = true;
      state_.store(ReceiverState::Connected, std::memory_order_release);
    }
    if (!connectedPass(status)) {
      connected = false;
      if (stopRequested()) break;
      continue; // the next pass waits out the backoff pause
    }
    if (waitForWork()) break;
  }
  state_.store(ReceiverState::Ended, std::memory_order_release);
  ended_.store(true, std::memory_order_release);
}
