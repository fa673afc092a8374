#pragma once
// The message exchange over one socket stream: requests are built and sent (the unsent rest
// goes out on later calls), replies are collected in two steps (8 header bytes, then the
// whole message) and every complete reply is handed to handleReply.
#include "engine/PictureLimits.h"
#include "engine/SocketStream.h"
#include "engine/TaggedMessage.h"

#include <cstdint>

// The four words of a "PDAT" item: a request's contents, or a reply's code (word 0) and
// parameter (word 3).
struct ReplyStatus {
  std::int32_t words[4] = {0, 0, 0, 0};
};

class CMessagePeer {
public:
  // The largest message a recorder can send (engine/PictureLimits.h). A header that claims
  // more fails the connection: no buffer of that size is ever allocated.
  static constexpr std::int32_t kMaxMessageLength = limits::kMaxMessageBytes;
  // Parse steps (a header skipped or a message handled) per pumpReceive call; the rest waits
  // for the next pass, so a flood of bytes cannot keep the caller from its stop check.
  static constexpr int kMaxStepsPerPump = 1024;

  struct RequestItem {
    const void* data = nullptr;
    std::int32_t length = 0;
    std::int32_t id = 0;
  };

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
  CTaggedMessage& reply() { return reply_; }
  CTaggedMessage& request() { return request_; }
  const CTaggedMessage& reply() const { return reply_; }
  const CTaggedMessage& request() const { return request_; }
  std::int32_t expected() const { return expected_; }
  std::int32_t sendPosition() const { return sendPosition_; }
  std::int32_t sendLength() const { return sendLength_; }

protected:
  CSocketStream stream_;
  CTaggedMessage reply_;
  CTaggedMessage request_;
  std::int32_t sendPosition_ = 0;
  std::int32_t sendLength_ = 0;
  std::int32_t expected_ = CTaggedMessage::kHeaderSize;
};
