#include "engine/MessagePeer.h"

#include "platform/Time.h"

CMessagePeer::CMessagePeer() = default;
CMessagePeer::~CMessagePeer() = default;

void CMessagePeer::handleReply(const std::uint8_t* message, const CTaggedMessage&, ReplyStatus& status) {
  handleReply(message, status);
}

bool CMessagePeer::sendRequest(const RequestItem* items, std::int32_t count) {
  if (!machine_.queueRequest(items, count)) return false;
  return pumpSend();
}

bool CMessagePeer::pumpSend() {
  while (machine_.pendingLength() > 0) {
    const int sent = stream_.send(machine_.pendingOutput(), machine_.pendingLength());
    if (sent < 0) return false;
    if (sent == 0) break; // would block: the rest goes out on the next call
    machine_.sent(sent);
  }
  return true;
}

bool CMessagePeer::pumpReceive(ReplyStatus& status) {
  for (int step = 0; step < kMaxStepsPerPump; ++step) {
    if (!pumpSend()) return false;
    std::int32_t room = 0;
    std::uint8_t* space = machine_.receiveSpace(room);
    if (!space) return false;
    if (room > 0) {
      const int received = stream_.receive(space, room);
      if (received < 0) return false;
      machine_.received(received, platform::tickCount());
    }
    switch (machine_.step(*this, status)) {
    case CConnectionMachine::Step::NeedBytes:
      return true; // wait for more
    case CConnectionMachine::Step::Failed:
      return false;
    case CConnectionMachine::Step::Progress:
      break;
    }
  }
  return true;
}

void CMessagePeer::closeStream() {
  stream_.close();
  machine_.reset();
}
