// The connection's state machine without a socket: bytes fed in any slicing give the same
// replies, requests come out as bytes, the pace and the watchdog follow the `now` passed in.
#include "engine/ConnectionMachine.h"
#include "engine/Protocol.h"
#include "tests/support/ProtocolMessages.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

namespace {

class Recording final : public CConnectionMachine::Handler {
public:
  void handleReply(const std::uint8_t* message, const CTaggedMessage& reply, ReplyStatus& status) override {
    replies.emplace_back(message, message + reply.length());
    for (std::int32_t i = 0; i < reply.itemCount(); ++i)
      if (reply.item(i).id == protocol::kItemPdat)
        status = protocol::decodePdat(message + reply.item(i).dataOffset, reply.item(i).dataLength);
  }
  std::vector<Bytes> replies;
};

// Feeds `bytes` in slices of `slice` and steps after each; false when a step failed.
bool feedAll(CConnectionMachine& machine, Recording& handler, const Bytes& bytes, std::size_t slice,
             ReplyStatus& status) {
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const std::size_t count = std::min(slice, bytes.size() - offset);
    const std::int32_t taken = machine.feed(bytes.data() + offset, std::int32_t(count), 1);
    if (taken <= 0) return false;
    EXPECT_LE(machine.buffered(), machine.expected()); // never more than the step waits for
    offset += std::size_t(taken);
    for (;;) {
      const CConnectionMachine::Step step = machine.step(handler, status);
      if (step == CConnectionMachine::Step::Failed) return false;
      if (step == CConnectionMachine::Step::NeedBytes) break;
    }
  }
  return true;
}

Bytes pendingRequest(const CConnectionMachine& machine) {
  return Bytes(machine.pendingOutput(), machine.pendingOutput() + machine.pendingLength());
}

} // namespace

TEST(ConnectionMachineTest, AnySlicingOfTheStreamGivesTheSameReplies) {
  const Bytes first = picture({}, body(3000, 1));
  const Bytes second = buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, 7)}});
  Bytes stream = {1, 2, 3, 4, 5, 6, 7, 8}; // a wrong tag, skipped
  stream.insert(stream.end(), first.begin(), first.end());
  stream.insert(stream.end(), second.begin(), second.end());
  for (std::size_t slice : {std::size_t(1), std::size_t(3), std::size_t(8), std::size_t(1000), stream.size()}) {
    SCOPED_TRACE(slice);
    CConnectionMachine machine;
    ASSERT_TRUE(machine.defineMessages());
    Recording handler;
    ReplyStatus status;
    ASSERT_TRUE(feedAll(machine, handler, stream, slice, status));
    ASSERT_EQ(handler.replies.size(), 2u);
    EXPECT_EQ(handler.replies[0], first);
    EXPECT_EQ(handler.replies[1], second);
    EXPECT_EQ(status.words[0], protocol::kReplyError);
    EXPECT_EQ(status.words[3], 7);
    EXPECT_EQ(machine.totalReceived(), stream.size());
    EXPECT_EQ(machine.buffered(), 0);
  }
}

TEST(ConnectionMachineTest, AHeaderClaimingTooMuchFailsWithoutAllocating) {
  CConnectionMachine machine;
  ASSERT_TRUE(machine.defineMessages());
  Recording handler;
  ReplyStatus status;
  EXPECT_FALSE(feedAll(machine, handler, rawMessage("PLPR", CConnectionMachine::kMaxMessageLength + 1, {}), 8, status));
  EXPECT_LE(machine.capacity(), 8);
  // A driver that reports more than the room it was given cannot run past the buffer.
  CConnectionMachine other;
  std::int32_t room = 0;
  ASSERT_NE(other.receiveSpace(room), nullptr);
  other.received(room + 100, 1);
  EXPECT_EQ(other.buffered(), room);
}

TEST(ConnectionMachineTest, RequestsComeOutAsBytesAndLeaveInPieces) {
  CConnectionMachine machine;
  ASSERT_TRUE(machine.defineMessages());
  ASSERT_TRUE(machine.open(42, 1000));
  const Bytes open = pendingRequest(machine);
  CTaggedMessage parsed;
  ASSERT_TRUE(protocol::defineMessage(parsed));
  ASSERT_TRUE(parsed.parseHeader(open.data(), std::int32_t(open.size())));
  ASSERT_TRUE(parsed.parseItems(open.data(), std::int32_t(open.size())));
  ASSERT_EQ(parsed.itemCount(), 1);
  const ReplyStatus words = protocol::decodePdat(open.data() + parsed.item(0).dataOffset, parsed.item(0).dataLength);
  EXPECT_EQ(words.words[0], protocol::kRequestOpen);
  EXPECT_EQ(words.words[2], 42);

  machine.sent(5);
  EXPECT_EQ(machine.pendingLength(), std::int32_t(open.size()) - 5);
  EXPECT_EQ(machine.pendingOutput()[0], open[5]);
  machine.sent(10000); // more than is pending: all of it has gone
  EXPECT_EQ(machine.pendingLength(), 0);
}

TEST(ConnectionMachineTest, NextRequestKeepsThePaceAndThePaintGate) {
  constexpr std::uint32_t kInterval = CConnectionMachine::kLeastRequestIntervalMs;
  constexpr std::uint32_t kPaintLimit = CConnectionMachine::kPaintWaitLimitMs;
  struct Case {
    std::uint32_t start; // the open request's tick (near the wrap of the tick count, too)
    bool gate;
    std::uint32_t paintsAfter; // the paint count the window side reports
    std::uint32_t at;          // ms after the hand-over (which comes 5 ms after the open)
    bool due;
  };
  const Case cases[] = {
      {1000, false, 0, kInterval - 6, false},
      {1000, false, 0, kInterval - 5, true},
      {0xFFFFFFF0u, false, 0, kInterval - 6, false},
      {0xFFFFFFF0u, false, 0, kInterval, true},
      {1000, true, 0, kInterval, false},
      {1000, true, 1, kInterval - 5, true},
      {1000, true, 1, kInterval - 6, false},
      {1000, true, 0, kPaintLimit - 1, false},
      {1000, true, 0, kPaintLimit, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " gate " << c.gate << " paints " << c.paintsAfter << " at " << c.at);
    CConnectionMachine machine;
    ASSERT_TRUE(machine.defineMessages());
    ASSERT_TRUE(machine.open(1, c.start));
    machine.sent(machine.pendingLength());
    EXPECT_EQ(machine.queueDueRequest(c.start + 5, 0), 0); // nothing handed over: nothing to ask
    const std::uint32_t handOver = c.start + 5;
    machine.handedOver(handOver, c.gate, 0);
    const std::uint32_t now = handOver + c.at;
    EXPECT_EQ(machine.requestWaitMs(now, c.paintsAfter) == 0, c.due);
    EXPECT_EQ(machine.queueDueRequest(now, c.paintsAfter), c.due ? 1 : 0);
    EXPECT_EQ(machine.pendingLength() > 0, c.due);
    EXPECT_EQ(machine.requestWaiting(), !c.due);
  }
}

TEST(ConnectionMachineTest, WatchdogGivesUpASilentRecorderOnly) {
  constexpr std::uint32_t kLimit = ReceiveWatchdog::kSilenceLimitMs;
  CConnectionMachine machine;
  ASSERT_TRUE(machine.defineMessages());
  ASSERT_TRUE(machine.open(1, 0));
  EXPECT_FALSE(machine.watchdogExpired(kLimit - 1));
  EXPECT_EQ(machine.watchdogRemainingMs(kLimit - 1), 1u);
  EXPECT_TRUE(machine.watchdogExpired(kLimit));
  EXPECT_EQ(machine.watchdogRemainingMs(kLimit + 5), 0u);
  const std::uint8_t byte = 0;
  ASSERT_EQ(machine.feed(&byte, 1, kLimit - 1), 1); // a byte arrives: silence starts again
  EXPECT_FALSE(machine.watchdogExpired(2 * kLimit - 2));
  EXPECT_TRUE(machine.watchdogExpired(2 * kLimit - 1));
  machine.answered(); // a picture or an error code: nothing more is awaited
  EXPECT_FALSE(machine.watchdogExpired(10 * kLimit));
  EXPECT_EQ(machine.watchdogRemainingMs(10 * kLimit), CConnectionMachine::kNoCall);
  machine.handedOver(10 * kLimit, false, 0);
  ASSERT_EQ(machine.queueDueRequest(10 * kLimit + kLimit, 0), 1); // the next request arms it again
  EXPECT_TRUE(machine.watchdogExpired(12 * kLimit));
  machine.reset();
  EXPECT_FALSE(machine.watchdogExpired(20 * kLimit));
  EXPECT_EQ(machine.pendingLength(), 0);
  EXPECT_EQ(machine.capacity(), 0);
}
