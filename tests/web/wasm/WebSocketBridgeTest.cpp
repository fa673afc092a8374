// The page's sockets (hosts/web/platform/WebSocketBridge.cpp) under node, with a WebSocket
// the suite drives by hand (FakeWebSocket.js): the calls run on the main thread, where the
// bridge's WebSocket half runs at once, so every step is seen as it happens.
#include "platform/Socket.h"
#include "platform/SocketWaiter.h"

#include <emscripten.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

extern "C" int camview_socket_received(int id, const std::uint8_t* data, int length);

namespace platform {
namespace {

// clang-format off
int fakeCount() { return EM_ASM_INT({ return fakeSockets.length; }); }
bool fakeUrlIs(int i, const char* url) { return EM_ASM_INT({ return fakeSockets[$0].url === UTF8ToString($1); }, i, url); }
bool fakeSentIs(int i, const char* json) {
  return EM_ASM_INT({ return JSON.stringify(fakeSockets[$0].sent) === UTF8ToString($1); }, i, json);
}
bool fakeClosed(int i) { return EM_ASM_INT({ return fakeSockets[$0].closed; }, i); }
void fakeOpen(int i) { EM_ASM({ var ws = fakeSockets[$0]; ws.readyState = 1; if (ws.onopen) ws.onopen(); }, i); }
void fakeEndByPeer(int i) { EM_ASM({ var ws = fakeSockets[$0]; ws.readyState = 3; if (ws.onclose) ws.onclose(); }, i); }
// A message of `length` bytes first, first + 1, ... (mod 256).
void fakeDeliver(int i, int length, int first) {
  EM_ASM({
    var ws = fakeSockets[$0];
    var bytes = new Uint8Array($1);
    for (var k = 0; k < $1; k++) bytes[k] = ($2 + k) & 255;
    if (ws.onmessage) ws.onmessage({ data: bytes.buffer });
  }, i, length, first);
}
// clang-format on

// A socket connecting to `name`; `fake` is the index of its WebSocket.
SocketHandle startConnect(const char* name, int& fake) {
  Address address = 0;
  const SocketHandle socket = socketCreate();
  fake = fakeCount();
  if (socket == kNoSocket || !parseDottedAddress(name, address) || socketConnectStart(socket, address, 0) != 0)
    return kNoSocket;
  return socket;
}

TEST(PageSockets, RecorderNamesAreThePagesAddresses) {
  Address gate = 0, again = 0, yard = 0, resolved = 0;
  ASSERT_TRUE(parseDottedAddress("gate", gate));
  ASSERT_TRUE(parseDottedAddress("gate", again));
  ASSERT_TRUE(parseDottedAddress("yard", yard));
  ASSERT_TRUE(resolveName("gate", resolved));
  EXPECT_EQ(again, gate);
  EXPECT_EQ(resolved, gate);
  EXPECT_NE(yard, gate);
  Address unused = 0;
  EXPECT_FALSE(parseDottedAddress("", unused));
  EXPECT_FALSE(parseDottedAddress(nullptr, unused));
  EXPECT_TRUE(parseDottedAddress(std::string(255, 'n').c_str(), unused));
  EXPECT_FALSE(parseDottedAddress(std::string(256, 'n').c_str(), unused));
}

TEST(PageSockets, ConnectSendReceiveAndEnd) {
  int fake = -1;
  const SocketHandle socket = startConnect("front door", fake);
  ASSERT_NE(socket, kNoSocket);
  ASSERT_EQ(fakeCount(), fake + 1);
  EXPECT_TRUE(fakeUrlIs(fake, "ws://gateway.test/camera/front%20door"));
  EXPECT_EQ(socketConnectWait(socket, 0), 0); // under way
  EXPECT_EQ(socketSend(socket, "x", 1), -1);  // not open yet
  fakeOpen(fake);
  EXPECT_EQ(socketConnectWait(socket, 0), 1);

  EXPECT_EQ(socketSend(socket, "abc", 3), 3);
  EXPECT_TRUE(fakeSentIs(fake, "[[97,98,99]]"));

  std::uint8_t bytes[16] = {};
  EXPECT_EQ(socketReceive(socket, bytes, 16), 0); // open, nothing yet
  fakeDeliver(fake, 5, 1);
  fakeDeliver(fake, 3, 6);
  ASSERT_EQ(socketReceive(socket, bytes, 4), 4);
  ASSERT_EQ(socketReceive(socket, bytes + 4, 16), 4);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[i], i + 1);

  // A queue read in part and filled again keeps the stream in order (byte k is k mod 256).
  constexpr int kPart = 40000;
  std::vector<std::uint8_t> stream(2 * kPart);
  fakeDeliver(fake, kPart, 0);
  ASSERT_EQ(socketReceive(socket, stream.data(), 30000), 30000);
  fakeDeliver(fake, kPart, kPart & 255);
  for (int read = 30000, count = 0; read < 2 * kPart; read += count)
    ASSERT_GT(count = socketReceive(socket, stream.data() + read, 2 * kPart - read), 0);
  for (int k = 0; k < 2 * kPart; ++k) ASSERT_EQ(stream[k], k & 255) << "byte " << k;

  // What arrived before the gateway closed is still read, then the end shows.
  fakeDeliver(fake, 2, 20);
  fakeEndByPeer(fake);
  EXPECT_EQ(socketReceive(socket, bytes, 16), 2);
  EXPECT_EQ(socketReceive(socket, bytes, 16), -1);
  socketClose(socket);
}

TEST(PageSockets, FailuresAndLateCallbacksOfClosedSockets) {
  Address gate = 0;
  ASSERT_TRUE(parseDottedAddress("gate", gate));
  const SocketHandle unused = socketCreate();
  EXPECT_EQ(socketConnectStart(unused, gate, 65536), -1);
  EXPECT_EQ(socketConnectStart(unused, gate + 1000, 0), -1); // no name has that address
  socketClose(unused);

  int refusedFake = -1;
  const SocketHandle refused = startConnect("gate", refusedFake);
  ASSERT_NE(refused, kNoSocket);
  fakeEndByPeer(refusedFake); // the gateway refused the WebSocket
  EXPECT_EQ(socketConnectWait(refused, 0), -1);
  socketClose(refused);

  int closedFake = -1;
  const SocketHandle closed = startConnect("gate", closedFake);
  ASSERT_NE(closed, kNoSocket);
  fakeOpen(closedFake);
  socketClose(closed);
  EXPECT_TRUE(fakeClosed(closedFake));
  // A message that was on its way when the viewer closed its socket reaches no other socket.
  int nextFake = -1;
  const SocketHandle next = startConnect("gate", nextFake);
  ASSERT_NE(next, kNoSocket);
  EXPECT_NE(next, closed);
  fakeOpen(nextFake);
  const std::uint8_t late[4] = {9, 9, 9, 9};
  EXPECT_EQ(camview_socket_received(int(closed), late, 4), 0);
  std::uint8_t bytes[4] = {};
  EXPECT_EQ(socketReceive(closed, bytes, 4), -1);
  EXPECT_EQ(socketReceive(next, bytes, 4), 0);
  socketClose(next);
}

TEST(PageSockets, BytesNobodyReadsEndTheConnectionInsteadOfGrowingWithoutBound) {
  int fake = -1;
  const SocketHandle socket = startConnect("gate", fake);
  ASSERT_NE(socket, kNoSocket);
  fakeOpen(fake);
  constexpr int kChunk = 1 << 20;
  constexpr int kChunks = 64; // far more than a gateway has in flight
  for (int i = 0; i < kChunks && !fakeClosed(fake); ++i) fakeDeliver(fake, kChunk, i);
  EXPECT_TRUE(fakeClosed(fake));
  // What was kept before the bound is read in order, then the connection has ended.
  std::vector<std::uint8_t> chunk(kChunk);
  int chunks = 0, received = 0;
  while ((received = socketReceive(socket, chunk.data(), kChunk)) > 0) {
    ASSERT_EQ(received, kChunk);
    EXPECT_EQ(chunk[0], chunks & 255);
    ++chunks;
  }
  EXPECT_EQ(received, -1);
  EXPECT_GT(chunks, 0);
  EXPECT_LT(chunks, kChunks);
  socketClose(socket);
}

// The Receiver thread's sleep: a worker waits on its socket; bytes, a wake and the socket's
// end each end the wait (a missed signal would leave it waiting until its bound).
TEST(PageSockets, AWaiterSleepsUntilBytesAWakeOrTheEnd) {
  int fake = -1;
  const SocketHandle socket = startConnect("gate", fake);
  ASSERT_NE(socket, kNoSocket);
  fakeOpen(fake);
  SocketWaiter waiter;
  ASSERT_TRUE(waiter.valid());
  EXPECT_EQ(waiter.wait(socket, 0), SocketWaiter::Result::TimedOut);

  constexpr int kBoundMs = 20000;
  std::atomic<int> step{0};
  SocketWaiter::Result results[3] = {};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) {
      step.store(i + 1);
      results[i] = waiter.wait(socket, kBoundMs);
      std::uint8_t bytes[8];
      if (results[i] == SocketWaiter::Result::Readable) socketReceive(socket, bytes, 8);
    }
  });
  while (step.load() < 1) {}
  waiter.wake();
  while (step.load() < 2) {}
  fakeDeliver(fake, 4, 0);
  while (step.load() < 3) {}
  fakeEndByPeer(fake);
  worker.join();
  EXPECT_EQ(results[0], SocketWaiter::Result::Woken);
  EXPECT_EQ(results[1], SocketWaiter::Result::Readable);
  EXPECT_EQ(results[2], SocketWaiter::Result::Readable);
  EXPECT_EQ(waiter.wait(socket, 0), SocketWaiter::Result::Readable); // the end stays readable
  socketClose(socket);
}

} // namespace
} // namespace platform
