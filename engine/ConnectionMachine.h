#pragma once
// The recorder connection without a socket, a thread or a clock of its own: bytes received
// go in, complete replies come out to a handler, requests come out as bytes to send, and the
// pace of next-picture requests and the receive watchdog are kept on the `now` the driver
// passes in (GetTickCount-style milliseconds, compared wrap-safe). The engine's Receiver
// thread drives it with its socket; the gateway drives it on its event loop.
//
// A driver's loop:
//   open(now) once connected; then, whenever the transport allows:
//     - send pendingOutput()/pendingLength(), report it with sent(n);
//     - receive into receiveSpace(room) at most `room` bytes, report them with received(n, now);
//     - step(handler, status) until it returns NeedBytes (at most kMaxStepsPerPump a call);
//     - after the replies: answered(), handedOver(now, ...), queueDueRequest(now, ...),
//       watchdogExpired(now); without new bytes, call again when requestWaitMs (while a
//       request waits) or watchdogRemainingMs has run out.
// Replies are taken in two steps, 8 header bytes and then the whole message, so the
// receive space is never larger than the message the header announced.
#include "engine/PictureLimits.h"
#include "engine/ReceiveWatchdog.h"
#include "engine/TaggedMessage.h"

#include <cstdint>

// The four words of a "PDAT" item: a request's contents, or a reply's code (word 0) and
// parameter (word 3).
struct ReplyStatus {
  std::int32_t words[4] = {0, 0, 0, 0};
};

class CConnectionMachine {
public:
  // The largest message a recorder can send (engine/PictureLimits.h). A header that claims
  // more fails the connection: no buffer of that size is ever allocated.
  static constexpr std::int32_t kMaxMessageLength = limits::kMaxMessageBytes;
  // Parse steps (a header skipped or a message handled) per pass of a driver; the rest waits
  // for the next pass, so a flood of bytes cannot keep the driver from its stop check.
  static constexpr int kMaxStepsPerPump = 1024;
  // A next-picture request goes out no sooner than this after the one before, so that a
  // recorder answering at once costs a viewer at most 50 pictures a second.
  static constexpr std::uint32_t kLeastRequestIntervalMs = 20;
  // With the paint gate, the next request also waits for a paint after the last hand-over,
  // at most this long (a hidden window is never painted; it still gets a few pictures a
  // second).
  static constexpr std::uint32_t kPaintWaitLimitMs = 250;

  class Handler {
  public:
    // Every complete, well-formed reply; `message` holds reply.length() bytes and the items
    // are listed in `reply`. Sets `status` from the reply's "PDAT" item, if any.
    virtual void handleReply(const std::uint8_t* message, const CTaggedMessage& reply, ReplyStatus& status) = 0;

  protected:
    ~Handler() = default;
  };

  struct RequestItem {
    const void* data = nullptr;
    std::int32_t length = 0;
    std::int32_t id = 0;
  };

  // The outcome of one parse step.
  enum class Step {
    NeedBytes, // nothing complete is buffered: receive more first
    Progress,  // a header was skipped or a message handled: step again
    Failed,    // the stream is corrupt or no memory for it: the connection is to be closed
  };

  CConnectionMachine();
  ~CConnectionMachine();
  CConnectionMachine(const CConnectionMachine&) = delete;
  CConnectionMachine& operator=(const CConnectionMachine&) = delete;

  // Defines "PLPR" on both messages unless done already. False when that cannot be stored.
  bool defineMessages();

  // --- receiving ---
  // Where the next received bytes go, with `room` > 0 bytes there: no more than what the
  // current step waits for. Null when the buffer cannot grow (no memory).
  std::uint8_t* receiveSpace(std::int32_t& room);
  // `count` bytes were written at receiveSpace (0 <= count <= room).
  void received(std::int32_t count, std::uint32_t now);
  // Copies bytes in through receiveSpace as far as the current step takes them; the number
  // taken, or -1 without memory. For drivers and tests that hold bytes already.
  std::int32_t feed(const std::uint8_t* bytes, std::int32_t count, std::uint32_t now);
  // One parse step on the buffered bytes; a complete reply goes to the handler.
  Step step(Handler& handler, ReplyStatus& status);

  // --- sending ---
  // Builds a request from the items; its bytes wait in pendingOutput. False when building
  // fails (the items do not fit the definition, or no memory).
  bool queueRequest(const RequestItem* items, std::int32_t count);
  // The open request (code 2 with the connection id) and the next-picture request (code 3).
  bool queueOpen(std::int32_t connectionId);
  bool queueNext();
  const std::uint8_t* pendingOutput() const { return request_.bytes() + sendPosition_; }
  std::int32_t pendingLength() const { return sendLength_ - sendPosition_; }
  void sent(std::int32_t count);

  // --- the session's pace and watchdog ---
  // A fresh connection: sends the open request and arms the watchdog. False when the
  // request cannot be built.
  bool open(std::int32_t connectionId, std::uint32_t now);
  // A picture or an error code arrived: the recorder answered the request.
  void answered() { watchdog_.answered(); }
  // The picture has been handed on; its next-picture request waits for the pace. With
  // `paintGate` it also waits for a paint count other than `paints` (at most
  // kPaintWaitLimitMs).
  void handedOver(std::uint32_t now, bool paintGate, std::uint32_t paints);
  bool requestWaiting() const { return requestWaiting_; }
  // Milliseconds until the held-back request is due; 0 when it is due now (or none waits).
  // Its pace runs from the request before.
  std::uint32_t requestWaitMs(std::uint32_t now, std::uint32_t paints) const;
  // Queues the held-back request if it is due. -1: it could not be built; 1: queued; 0: not due.
  int queueDueRequest(std::uint32_t now, std::uint32_t paints);
  // The recorder has stayed silent too long on a request.
  bool watchdogExpired(std::uint32_t now) const { return watchdog_.expired(now); }
  bool watchdogArmed() const { return watchdog_.armed(); }
  // Milliseconds until watchdogExpired turns true if no byte comes (0: it has); kNoCall
  // while no answer is awaited.
  static constexpr std::uint32_t kNoCall = 0xFFFFFFFFu;
  std::uint32_t watchdogRemainingMs(std::uint32_t now) const {
    return watchdog_.armed() ? watchdog_.remainingMs(now) : kNoCall;
  }

  // Forgets any partial request or reply and the session's state; frees the receive buffer.
  void reset();

  CTaggedMessage& reply() { return reply_; }
  CTaggedMessage& request() { return request_; }
  const CTaggedMessage& reply() const { return reply_; }
  const CTaggedMessage& request() const { return request_; }
  std::int32_t expected() const { return expected_; }
  std::int32_t buffered() const { return buffered_; }
  std::int32_t capacity() const { return capacity_; }
  std::int32_t sendPosition() const { return sendPosition_; }
  std::int32_t sendLength() const { return sendLength_; }
  std::uint64_t totalReceived() const { return totalReceived_; }

private:
  void consume(std::int32_t count);
  // A request of one "PDAT" item: the code in word 0, `word2` in word 2.
  bool queueCodeRequest(std::int32_t code, std::int32_t word2);

  CTaggedMessage reply_;
  CTaggedMessage request_;
  std::uint8_t* buffer_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t buffered_ = 0;
  std::int32_t expected_ = CTaggedMessage::kHeaderSize;
  std::uint64_t totalReceived_ = 0;
  std::int32_t sendPosition_ = 0;
  std::int32_t sendLength_ = 0;

  bool requestWaiting_ = false; // a picture was handed on; its next request is not queued yet
  bool paintAwaited_ = false;   // ... and waits for a paint count other than paintsAtHandOver_
  std::uint32_t paintsAtHandOver_ = 0;
  std::uint32_t handOverTick_ = 0;
  std::uint32_t lastRequestTick_ = 0;
  ReceiveWatchdog watchdog_;
};
