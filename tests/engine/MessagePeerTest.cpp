// The socket stream and the receive state machine of the message exchange, over a real
// loopback connection whose server end the test drives itself (no extra thread).
#include "engine/MessagePeer.h"
#include "engine/Protocol.h"
#include "platform/Socket.h"
#include "platform/Time.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/ProtocolMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

// Records every handled reply: its bytes and item ids.
class RecordingPeer : public CMessagePeer {
public:
  RecordingPeer() {
    protocol::defineMessage(reply());
    protocol::defineMessage(request());
  }
  void handleReply(const std::uint8_t* message, ReplyStatus& status) override {
    replies.emplace_back(message, message + reply().length());
    std::vector<std::int32_t> ids;
    for (std::int32_t i = 0; i < reply().itemCount(); ++i) ids.push_back(reply().item(i).id);
    itemIds.push_back(ids);
    ++status.words[1];
  }
  std::vector<Bytes> replies;
  std::vector<std::vector<std::int32_t>> itemIds;
};

class MessagePeerTest : public ::testing::Test {
protected:
  void SetUp() override {
    listener = platform::socketListen("127.0.0.1", 0);
    ASSERT_NE(listener, platform::kNoSocket);
    const int port = platform::socketLocalPort(listener);
    ASSERT_TRUE(peer.stream().open());
    ASSERT_TRUE(peer.stream().connect("127.0.0.1", port)); // the backlog takes it
    server = platform::socketAccept(listener);
    ASSERT_NE(server, platform::kNoSocket);
  }
  void TearDown() override {
    platform::socketClose(server);
    platform::socketClose(listener);
  }

  void serverSend(const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const int count = platform::socketSend(server, bytes.data() + sent, int(bytes.size() - sent));
      ASSERT_GE(count, 0);
      sent += std::size_t(count);
    }
  }

  // Runs receive passes until `replies` replies were handled (or up to `passes` passes).
  bool pumpUntil(std::size_t replies, int passes = 400) {
    for (int i = 0; i < passes; ++i) {
      ReplyStatus status;
      if (!peer.pumpReceive(status)) return false;
      if (peer.replies.size() >= replies) return true;
      platform::sleepMs(2);
    }
    return peer.replies.size() >= replies;
  }

  Bytes serverReceive(std::size_t count) {
    Bytes bytes;
    std::uint8_t chunk[256];
    for (int i = 0; i < 500 && bytes.size() < count; ++i) {
      if (platform::socketWaitReadable(server, 10) != 1) continue;
      const int received = platform::socketReceive(server, chunk, sizeof chunk);
      if (received < 0) break;
      bytes.insert(bytes.end(), chunk, chunk + received);
    }
    return bytes;
  }

  NetworkSession network;
  platform::SocketHandle listener = platform::kNoSocket;
  platform::SocketHandle server = platform::kNoSocket;
  RecordingPeer peer;
};

} // namespace

TEST_F(MessagePeerTest, AMessageTakesAHeaderPassThenABodyPass) {
  const Bytes message = established(1);
  serverSend(message);
  platform::sleepMs(20); // everything is waiting in the socket
  ReplyStatus status;
  ASSERT_TRUE(peer.pumpReceive(status));
  EXPECT_TRUE(peer.replies.empty());
  EXPECT_EQ(peer.expected(), std::int32_t(message.size()));
  ASSERT_TRUE(pumpUntil(1));
  EXPECT_EQ(peer.replies[0], message);
  EXPECT_EQ(peer.expected(), 8);
  EXPECT_EQ(peer.machine().buffered(), 0);
  // The receive buffer grew to exactly the message.
  EXPECT_EQ(peer.machine().capacity(), std::int32_t(message.size()));
}

TEST_F(MessagePeerTest, SeveralMessagesInOneBurst) {
  Bytes burst;
  for (int i = 0; i < 3; ++i) {
    const Bytes one = picture({}, body(1000 * (i + 1), std::uint8_t(i)));
    burst.insert(burst.end(), one.begin(), one.end());
  }
  serverSend(burst);
  ASSERT_TRUE(pumpUntil(3));
  ASSERT_EQ(peer.replies.size(), 3u);
  EXPECT_EQ(peer.itemIds[2], (std::vector<std::int32_t>{protocol::kItemHead, protocol::kItemBody}));
  EXPECT_EQ(peer.replies[2].size(), 8u + 216u + 8u + 3000u);
}

TEST_F(MessagePeerTest, WrongTagsAreSkippedEightBytesAtATime) {
  Bytes stream = rawMessage("XXXX", 8, {});
  const Bytes more = rawMessage("PLPX", 40, {1, 2, 3, 4, 5, 6, 7, 8});
  stream.insert(stream.end(), more.begin(), more.end());
  const Bytes good = established(3);
  stream.insert(stream.end(), good.begin(), good.end());
  serverSend(stream);
  ASSERT_TRUE(pumpUntil(1));
  EXPECT_EQ(peer.replies[0], good);
}

TEST_F(MessagePeerTest, MisalignedHeaderIsNotFound) {
  // The search moves in steps of 8: a header starting at an odd offset is never seen.
  Bytes stream = {1, 2, 3};
  const Bytes good = established(3);
  stream.insert(stream.end(), good.begin(), good.end());
  stream.resize(stream.size() + 5, 0); // fill to a multiple of 8
  serverSend(stream);
  EXPECT_FALSE(pumpUntil(1, 30));
  EXPECT_EQ(peer.machine().buffered(), 0);
}

TEST_F(MessagePeerTest, LengthsShorterThanAHeaderAreSkipped) {
  for (std::int32_t total : {-1, 0, 7, std::int32_t(0x80000000)}) {
    serverSend(rawMessage("PLPR", total, {}));
  }
  const Bytes good = established(3);
  serverSend(good);
  ASSERT_TRUE(pumpUntil(1));
  EXPECT_EQ(peer.replies.size(), 1u);
  EXPECT_EQ(peer.replies[0], good);
  // No buffer was ever sized after a claimed length.
  EXPECT_LE(peer.machine().capacity(), std::int32_t(good.size()));
}

TEST_F(MessagePeerTest, BufferGivesBackWhatAFarLargerMessageTook) {
  const Bytes large = picture({}, body(600000, 1));
  const Bytes small = picture({}, body(50000, 2));
  // The sender has a thread of its own: the large message does not fit the socket buffers.
  std::thread sender([&] {
    serverSend(large);
    serverSend(small);
  });
  ASSERT_TRUE(pumpUntil(1, 20000));
  EXPECT_EQ(peer.machine().capacity(), std::int32_t(large.size()));
  ASSERT_TRUE(pumpUntil(2, 20000));
  sender.join();
  EXPECT_EQ(peer.machine().capacity(), std::int32_t(small.size()));
}

TEST_F(MessagePeerTest, LengthBeyondAnyMessageFailsTheConnection) {
  for (std::int32_t total : {CMessagePeer::kMaxMessageLength + 1, 16 * 1024 * 1024, 0x7FFFFFFF}) {
    RecordingPeer fresh;
    ASSERT_TRUE(fresh.stream().open());
    ASSERT_TRUE(fresh.stream().connect("127.0.0.1", platform::socketLocalPort(listener)));
    const platform::SocketHandle other = platform::socketAccept(listener);
    ASSERT_NE(other, platform::kNoSocket);
    const Bytes header = rawMessage("PLPR", total, {});
    ASSERT_EQ(platform::socketSend(other, header.data(), int(header.size())), int(header.size()));
    bool failed = false;
    for (int pass = 0; pass < 2000 && !failed; ++pass) {
      ReplyStatus status;
      failed = !fresh.pumpReceive(status);
      if (!failed) platform::sleepMs(2);
    }
    EXPECT_TRUE(failed) << total;
    EXPECT_LE(fresh.machine().capacity(), 8); // nothing sized after the claim
    platform::socketClose(other);
  }
}

TEST_F(MessagePeerTest, EightByteMessageHasNoItems) {
  serverSend(rawMessage("PLPR", 8, {}));
  ASSERT_TRUE(pumpUntil(1));
  EXPECT_TRUE(peer.itemIds[0].empty());
}

TEST_F(MessagePeerTest, OnePassHandlesABoundedNumberOfMessages) {
  // A flood of small messages cannot keep one pass (and so the stop check) waiting.
  Bytes flood;
  for (int i = 0; i < 3000; ++i) {
    const Bytes one = rawMessage("PLPR", 8, {});
    flood.insert(flood.end(), one.begin(), one.end());
  }
  serverSend(flood);
  platform::sleepMs(50);
  ReplyStatus status;
  ASSERT_TRUE(peer.pumpReceive(status));
  EXPECT_EQ(peer.replies.size(), std::size_t(CMessagePeer::kMaxStepsPerPump));
  ASSERT_TRUE(pumpUntil(3000));
  EXPECT_EQ(peer.replies.size(), 3000u);
}

TEST_F(MessagePeerTest, NegativeItemLengthConsumesTheMessageUnhandled) {
  serverSend(rawMessage("PLPR", 24, rawItem("PDAT", -16, pdat(5, 0, 0, 0))));
  const Bytes good = established(1);
  serverSend(good);
  ASSERT_TRUE(pumpUntil(1));
  EXPECT_EQ(peer.replies.size(), 1u);
  EXPECT_EQ(peer.replies[0], good);
}

TEST_F(MessagePeerTest, LargeMessageArrivesInPieces) {
  const Bytes big = picture({}, body(3 * 1024 * 1024, 5));
  // Send it in pieces while pumping, as a slow network would deliver it.
  std::size_t offset = 0;
  int passes = 0;
  while (offset < big.size()) {
    const std::size_t piece = std::min<std::size_t>(100000, big.size() - offset);
    serverSend(Bytes(big.begin() + std::ptrdiff_t(offset), big.begin() + std::ptrdiff_t(offset + piece)));
    offset += piece;
    ReplyStatus status;
    ASSERT_TRUE(peer.pumpReceive(status));
    ++passes;
  }
  ASSERT_TRUE(pumpUntil(1, 2000));
  EXPECT_EQ(peer.replies[0], big);
}

TEST_F(MessagePeerTest, ClosedPeerFailsTheReceive) {
  platform::socketClose(server);
  server = platform::kNoSocket;
  bool failed = false;
  for (int i = 0; i < 200 && !failed; ++i) {
    ReplyStatus status;
    failed = !peer.pumpReceive(status);
    platform::sleepMs(2);
  }
  EXPECT_TRUE(failed);
  peer.closeStream();
  EXPECT_FALSE(peer.stream().hasSocket());
  EXPECT_EQ(peer.expected(), 8);
}

TEST_F(MessagePeerTest, RequestsGoOutWhole) {
  std::uint8_t words[16];
  ReplyStatus open;
  open.words[0] = protocol::kRequestOpen;
  open.words[2] = 42;
  protocol::encodePdat(open, words);
  const CMessagePeer::RequestItem item{words, 16, protocol::kItemPdat};
  ASSERT_TRUE(peer.sendRequest(&item, 1));
  EXPECT_EQ(peer.sendPosition(), 32);
  EXPECT_EQ(serverReceive(32), rawMessage("PLPR", 32, rawItem("PDAT", 16, pdat(2, 0, 42, 0))));
  // An unknown item id fails the request before anything is sent.
  const CMessagePeer::RequestItem bad{words, 16, 17};
  EXPECT_FALSE(peer.sendRequest(&bad, 1));
}

TEST(SocketStreamTest, ConnectRefusesBadPortsHostsAndMissingSockets) {
  NetworkSession network;
  CSocketStream stream;
  EXPECT_FALSE(stream.connect("127.0.0.1", 80)); // no socket yet
  ASSERT_TRUE(stream.open());
  EXPECT_FALSE(stream.connect("127.0.0.1", -1));
  EXPECT_FALSE(stream.connect("127.0.0.1", 70000));
  EXPECT_FALSE(stream.connect("camview-unresolvable..invalid", 80));
  EXPECT_TRUE(stream.hasSocket()); // a failed connect leaves the socket open
  stream.close();
  EXPECT_FALSE(stream.hasSocket());
  EXPECT_EQ(stream.receive(nullptr, 0), -1);
}
