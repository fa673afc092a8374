#pragma once
// The message exchange over one socket stream, driving a CConnectionMachine: requests are
// built and sent (the unsent rest goes out on later calls), replies are received in two
// steps (8 header bytes, then the whole message) and every complete reply is handed to
// handleReply.
#include "engine/ConnectionMachine.h"
#include "engine/SocketStream.h"
#include "engine/TaggedMessage.h"

#include <cstdint>

class CMessagePeer : private CConnectionMachine::Handler {
public:
  static constexpr std::int32_t kMaxMessageLength = CConnectionMachine::kMaxMessageLength;
  static constexpr int kMaxStepsPerPump = CConnectionMachine::kMaxStepsPerPump;
  using RequestItem = CConnectionMachine::RequestItem;

  CMessagePeer();
  virtual ~CMessagePeer();
  CMessagePeer(const CMessagePeer&) = delete;
  CMessagePeer& operator=(const CMessagePeer&) = delete;

  // Called for every complete, well-formed reply; `message` holds reply().length() bytes
  // and the items are listed in reply().
  virtual void handleReply(const std::uint8_t* message, ReplyStatus& status) = 0;

  // Builds a request from the items and starts sending it; false when building fails or the
  // send fails.
  bool sendRequest(const RequestItem* items, std::int32_t count);
  // Sends what is left of the current request, as far as the socket takes it. False on error.
  bool pumpSend();
  // One pass of the exchange: sends pending bytes, receives what is there and handles every
  // complete reply. True: nothing failed, call again on the next pass. False: the connection
  // failed.
  bool pumpReceive(ReplyStatus& status);

  // Closes the stream and forgets any partial request or reply.
  void closeStream();

  CSocketStream& stream() { return stream_; }
  CConnectionMachine& machine() { return machine_; }
  const CConnectionMachine& machine() const { return machine_; }
  CTaggedMessage& reply() { return machine_.reply(); }
  CTaggedMessage& request() { return machine_.request(); }
  const CTaggedMessage& reply() const { return machine_.reply(); }
  const CTaggedMessage& request() const { return machine_.request(); }
  std::int32_t expected() const { return machine_.expected(); }
  std::int32_t sendPosition() const { return machine_.sendPosition(); }
  std::int32_t sendLength() const { return machine_.sendLength(); }

protected:
  CSocketStream stream_;
  CConnectionMachine machine_;

private:
  void handleReply(const std::uint8_t* message, const CTaggedMessage& reply, ReplyStatus& status) override;
};
