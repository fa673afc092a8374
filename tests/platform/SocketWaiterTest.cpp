// SocketWaiter: a wait ends for a wake-up or a readable socket, wake-ups are kept until a
// wait takes them, and (Linux) a message window wakes the waiter it was given. Waits that
// must end early may last a minute: one that slept through its event fails the bound.
#include <gtest/gtest.h>

#include <string>

#include "platform/Socket.h"
#include "platform/SocketWaiter.h"
#include "platform/Thread.h"
#include "platform/Time.h"
#include "platform/Window.h"

namespace {

using namespace platform;
using Result = SocketWaiter::Result;

constexpr int kMinute = 60000;

TEST(SocketWaiter, WakeUpsAreKeptUntilAWaitTakesThemAsOne) {
  SocketWaiter waiter;
  ASSERT_TRUE(waiter.valid());
  EXPECT_EQ(waiter.wait(kNoSocket, 0), Result::TimedOut);
  waiter.wake();
  waiter.wake();
  waiter.wake();
  const std::uint32_t start = tickCount();
  EXPECT_EQ(waiter.wait(kNoSocket, kMinute), Result::Woken);
  EXPECT_LT(tickCount() - start, 50000u);
  EXPECT_EQ(waiter.wait(kNoSocket, 0), Result::TimedOut);
}

struct DelayedWake {
  SocketWaiter* waiter;
};

unsigned wakeAfterAPause(void* argument) {
  sleepMs(50);
  static_cast<DelayedWake*>(argument)->waiter->wake();
  return 0;
}

TEST(SocketWaiter, AWakeFromAnotherThreadEndsAWaitOnASocket) {
  ASSERT_TRUE(networkStartup());
  SocketHandle listener = socketListen("127.0.0.1", 0);
  SocketHandle client = socketCreate();
  ASSERT_TRUE(socketConnect(client, "127.0.0.1", socketLocalPort(listener)));
  ASSERT_TRUE(socketSetNonBlocking(client));
  SocketWaiter waiter;
  DelayedWake delayed{&waiter};
  ThreadHandle thread = threadStart(wakeAfterAPause, &delayed);
  ASSERT_TRUE(thread.running());
  const std::uint32_t start = tickCount();
  EXPECT_EQ(waiter.wait(client, kMinute), Result::Woken); // nothing to read: only the wake
  EXPECT_LT(tickCount() - start, 50000u) << "the wait slept through the wake";
  threadRelease(thread);
  socketClose(client);
  socketClose(listener);
  networkCleanup();
}

TEST(SocketWaiter, DataLeftToReadAndAClosedPeerMakeTheSocketReadable) {
  ASSERT_TRUE(networkStartup());
  SocketHandle listener = socketListen("127.0.0.1", 0);
  SocketHandle client = socketCreate();
  ASSERT_TRUE(socketConnect(client, "127.0.0.1", socketLocalPort(listener)));
  ASSERT_TRUE(socketSetNonBlocking(client));
  ASSERT_EQ(socketWaitReadable(listener, 10000), 1);
  SocketHandle server = socketAccept(listener);
  ASSERT_NE(server, kNoSocket);
  SocketWaiter waiter;

  EXPECT_EQ(waiter.wait(client, 0), Result::TimedOut);
  const std::string bytes(100, 'p');
  ASSERT_EQ(socketSend(server, bytes.data(), int(bytes.size())), 100);
  // Sent before the wait began; then part of it read, and the rest still announces itself.
  EXPECT_EQ(waiter.wait(client, kMinute), Result::Readable);
  char buffer[100];
  int received = socketReceive(client, buffer, 10);
  ASSERT_EQ(received, 10);
  EXPECT_EQ(waiter.wait(client, kMinute), Result::Readable);
  while (received < 100) {
    ASSERT_EQ(waiter.wait(client, kMinute), Result::Readable);
    const int got = socketReceive(client, buffer, int(sizeof buffer));
    ASSERT_GE(got, 0);
    received += got;
  }
  EXPECT_EQ(waiter.wait(client, 0), Result::TimedOut); // all read

  socketClose(server);
  EXPECT_EQ(waiter.wait(client, kMinute), Result::Readable);
  EXPECT_EQ(socketReceive(client, buffer, int(sizeof buffer)), -1);
  socketClose(client);
  socketClose(listener);
  networkCleanup();
}

#ifndef _WIN32
TEST(SocketWaiter, AMessageWindowWakesItsWaiterForPostsAndRepaints) {
  SocketWaiter waiter;
  MessageWindow first;
  MessageWindow second;
  first.setWaker(&waiter);
  second.setWaker(&waiter);
  ASSERT_TRUE(postMessage(second.handle(), kMsgFrameDecoded, 1, 0));
  EXPECT_EQ(waiter.wait(kNoSocket, kMinute), Result::Woken);
  invalidate(first.handle(), false);
  EXPECT_EQ(waiter.wait(kNoSocket, kMinute), Result::Woken);
  EXPECT_EQ(waiter.wait(kNoSocket, 0), Result::TimedOut);

  first.setWaker(nullptr);
  ASSERT_TRUE(postMessage(first.handle(), kMsgFrameDecoded, 1, 0));
  EXPECT_EQ(waiter.wait(kNoSocket, 0), Result::TimedOut);
  EXPECT_EQ(first.pump(nullptr, 0) + second.pump(nullptr, 0), 2);
}
#endif

} // namespace
