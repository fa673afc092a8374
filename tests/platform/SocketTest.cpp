#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/Time.h"

namespace {

using namespace platform;

// Starts the socket library around every test, as a host does.
class Socket : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(networkStartup()); }
  void TearDown() override {
    for (SocketHandle socket : opened_) socketClose(socket);
    networkCleanup();
  }

  SocketHandle keep(SocketHandle socket) {
    if (socket != kNoSocket) opened_.push_back(socket);
    return socket;
  }

  // A loopback listener on a free port.
  SocketHandle listen() { return keep(socketListen("127.0.0.1", 0)); }

  // The server side of the connection a client just made (connect completes through the
  // listen backlog, so no second thread is needed).
  SocketHandle acceptFrom(SocketHandle listener) {
    if (socketWaitReadable(listener, 10000) != 1) return kNoSocket;
    return keep(socketAccept(listener));
  }

  // Receives exactly `length` bytes on a non-blocking socket, waiting as needed.
  std::string receiveAll(SocketHandle socket, int length) {
    std::string result;
    char buffer[256];
    for (int tries = 0; static_cast<int>(result.size()) < length && tries < 100; ++tries) {
      if (socketWaitReadable(socket, 10000) != 1) break;
      int got = socketReceive(socket, buffer, std::min<int>(sizeof buffer, length - static_cast<int>(result.size())));
      if (got < 0) break;
      result.append(buffer, got);
    }
    return result;
  }

  // Client connected to `listener` through `host`, switched to non-blocking mode.
  SocketHandle connectTo(SocketHandle listener, const char* host) {
    SocketHandle client = keep(socketCreate());
    if (client == kNoSocket || !socketConnect(client, host, socketLocalPort(listener)) || !socketSetNonBlocking(client))
      return kNoSocket;
    return client;
  }

private:
  std::vector<SocketHandle> opened_;
};

TEST_F(Socket, RoundTripByDottedAddressAndByName) {
  SocketHandle listener = listen();
  ASSERT_NE(listener, kNoSocket);
  ASSERT_GT(socketLocalPort(listener), 0);

  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    SocketHandle client = connectTo(listener, host);
    ASSERT_NE(client, kNoSocket);
    SocketHandle server = acceptFrom(listener);
    ASSERT_NE(server, kNoSocket);
    ASSERT_TRUE(socketSetNoDelay(server));
    ASSERT_TRUE(socketSetNonBlocking(server));

    const std::string request = std::string("PLPR") + host;
    ASSERT_EQ(socketSend(client, request.data(), static_cast<int>(request.size())), static_cast<int>(request.size()));
    EXPECT_EQ(receiveAll(server, static_cast<int>(request.size())), request);

    const std::string reply(1000, 'r');
    ASSERT_EQ(socketWaitWritable(server, 10000), 1);
    ASSERT_EQ(socketSend(server, reply.data(), static_cast<int>(reply.size())), 1000);
    EXPECT_EQ(receiveAll(client, 1000), reply);
  }
}

TEST_F(Socket, IdleReceiveWouldBlockAndGivesZero) {
  SocketHandle listener = listen();
  SocketHandle client = connectTo(listener, "127.0.0.1");
  ASSERT_NE(client, kNoSocket);
  ASSERT_NE(acceptFrom(listener), kNoSocket);

  char buffer[16];
  EXPECT_EQ(socketReceive(client, buffer, sizeof buffer), 0);
  EXPECT_EQ(socketWaitReadable(client, 20), 0);   // times out
  EXPECT_EQ(socketReceive(client, buffer, 0), 0); // asking for nothing is not a close
  EXPECT_EQ(socketWaitWritable(client, 1000), 1);
}

TEST_F(Socket, FullSendBufferWouldBlockAndGivesZero) {
  SocketHandle listener = listen();
  SocketHandle client = connectTo(listener, "127.0.0.1");
  ASSERT_NE(client, kNoSocket);
  ASSERT_NE(acceptFrom(listener), kNoSocket); // never reads

  std::vector<char> block(64 * 1024, 'x');
  int result = 1;
  long long total = 0;
  for (int i = 0; i < 4096 && result > 0; ++i) { // at most 256 MB
    result = socketSend(client, block.data(), static_cast<int>(block.size()));
    if (result > 0) total += result;
  }
  EXPECT_EQ(result, 0) << "after " << total << " bytes";
  EXPECT_GT(total, 0);
}

TEST_F(Socket, PeerCloseGivesMinusOneForReceiveAndSend) {
  SocketHandle listener = listen();
  SocketHandle client = connectTo(listener, "127.0.0.1");
  ASSERT_NE(client, kNoSocket);
  SocketHandle server = socketAccept(listener);
  ASSERT_NE(server, kNoSocket);
  const char data[] = "last words";
  ASSERT_EQ(socketSend(server, data, 10), 10);
  socketClose(server);

  // Data sent before the close still arrives, then the close reads as -1.
  EXPECT_EQ(receiveAll(client, 10), "last words");
  ASSERT_EQ(socketWaitReadable(client, 10000), 1);
  char buffer[16];
  EXPECT_EQ(socketReceive(client, buffer, sizeof buffer), -1);

  // Sending into the closed connection fails (and raises no signal).
  int result = 0;
  for (int i = 0; i < 200 && result >= 0; ++i) {
    result = socketSend(client, data, 10);
    if (result >= 0) sleepMs(5);
  }
  EXPECT_EQ(result, -1);
}

TEST_F(Socket, PortsOutsideTheRangeFail) {
  SocketHandle client = keep(socketCreate());
  ASSERT_NE(client, kNoSocket);
  EXPECT_FALSE(socketConnect(client, "127.0.0.1", -1));
  EXPECT_FALSE(socketConnect(client, "127.0.0.1", 65536));
  EXPECT_FALSE(socketConnect(client, "127.0.0.1", 70000));
  EXPECT_EQ(socketListen("127.0.0.1", 70000), kNoSocket);
  EXPECT_EQ(socketListen("127.0.0.1", -1), kNoSocket);
}

TEST_F(Socket, UnresolvableOrMissingHostsFail) {
  SocketHandle client = keep(socketCreate());
  ASSERT_NE(client, kNoSocket);
  EXPECT_FALSE(socketConnect(client, "no-such-host.invalid", 80));
  EXPECT_FALSE(socketConnect(client, "", 80));
  EXPECT_FALSE(socketConnect(client, nullptr, 80));
  EXPECT_EQ(socketListen("not-an-address", 0), kNoSocket);
}

// A refused connect fails; the viewer then closes the socket and connects with a fresh one.
// A rejected port leaves the socket untouched for the next attempt.
TEST_F(Socket, RefusedConnectFailsAndAFreshSocketConnects) {
  SocketHandle listener = listen();
  int port = socketLocalPort(listener);
  SocketHandle probe = socketListen("127.0.0.1", 0); // a port that was free a moment ago
  ASSERT_NE(probe, kNoSocket);
  int closedPort = socketLocalPort(probe);
  socketClose(probe);

  SocketHandle refused = socketCreate();
  ASSERT_NE(refused, kNoSocket);
  EXPECT_FALSE(socketConnect(refused, "127.0.0.1", closedPort));
  socketClose(refused);

  SocketHandle client = keep(socketCreate());
  ASSERT_NE(client, kNoSocket);
  EXPECT_FALSE(socketConnect(client, "127.0.0.1", 70000));
  EXPECT_FALSE(socketConnect(client, "no-such-host.invalid", port));
  ASSERT_TRUE(socketConnect(client, "127.0.0.1", port));
  SocketHandle server = acceptFrom(listener);
  ASSERT_NE(server, kNoSocket);
  ASSERT_EQ(socketSend(client, "ok", 2), 2);
  ASSERT_TRUE(socketSetNonBlocking(server));
  EXPECT_EQ(receiveAll(server, 2), "ok");
}

TEST_F(Socket, ConnectWithoutBlockingCompletesOrFails) {
  Address loopback = 0;
  ASSERT_TRUE(parseDottedAddress("127.0.0.1", loopback));
  EXPECT_FALSE(parseDottedAddress("localhost", loopback)); // a name: for the resolver
  EXPECT_FALSE(parseDottedAddress("", loopback));

  // A listener: the connect completes (at once or after a wait).
  SocketHandle listener = listen();
  SocketHandle client = keep(socketCreate());
  int result = socketConnectStart(client, loopback, socketLocalPort(listener));
  if (result == 0) result = socketConnectWait(client, 10000);
  EXPECT_EQ(result, 1);
  ASSERT_NE(acceptFrom(listener), kNoSocket);
  EXPECT_EQ(socketSend(client, "x", 1), 1);

  // Nobody listens: refused, at once or when the wait ends.
  SocketHandle probe = socketListen("127.0.0.1", 0);
  const int closedPort = socketLocalPort(probe);
  socketClose(probe);
  SocketHandle refused = keep(socketCreate());
  result = socketConnectStart(refused, loopback, closedPort);
  if (result == 0) result = socketConnectWait(refused, 10000);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(socketConnectStart(keep(socketCreate()), loopback, 70000), -1);
}

TEST(NameLookup, AnswersOnItsOwnThreadAndMayBeLeftBehind) {
  ASSERT_TRUE(networkStartup());
  NameLookup* lookup = NameLookup::start("localhost");
  ASSERT_NE(lookup, nullptr);
  Address address = 0;
  NameLookup::State state = NameLookup::State::Pending;
  for (int i = 0; i < 60 && state == NameLookup::State::Pending; ++i) state = lookup->wait(1000, address);
  EXPECT_EQ(state, NameLookup::State::Found);
  EXPECT_EQ(address & 0xFF, 127u); // 127.x.x.x in network byte order
  lookup->release();

  // Released before it answers: the lookup frees itself when the resolver returns.
  NameLookup::start("camview-unresolvable..invalid")->release();
  for (int i = 0; i < 600 && NameLookup::running() > 0; ++i) sleepMs(100);
  EXPECT_EQ(NameLookup::running(), 0);
  networkCleanup();
}

TEST_F(Socket, NoSocketIsRejectedEverywhere) {
  char buffer[4] = {};
  EXPECT_FALSE(socketConnect(kNoSocket, "127.0.0.1", 80));
  EXPECT_FALSE(socketSetNonBlocking(kNoSocket));
  EXPECT_FALSE(socketSetNoDelay(kNoSocket));
  EXPECT_EQ(socketSend(kNoSocket, buffer, 4), -1);
  EXPECT_EQ(socketReceive(kNoSocket, buffer, 4), -1);
  EXPECT_EQ(socketWaitReadable(kNoSocket, 0), -1);
  EXPECT_EQ(socketWaitWritable(kNoSocket, 0), -1);
  EXPECT_EQ(socketAccept(kNoSocket), kNoSocket);
  EXPECT_EQ(socketLocalPort(kNoSocket), -1);
  EXPECT_EQ(socketConnectStart(kNoSocket, 0, 80), -1);
  EXPECT_EQ(socketConnectWait(kNoSocket, 0), -1);
  socketClose(kNoSocket);
}

#ifdef _WIN32
// WSAStartup and WSACleanup are counted: the library stays up until the last cleanup.
TEST(SocketLibrary, StartupAndCleanupAreCounted) {
  ASSERT_TRUE(networkStartup());
  ASSERT_TRUE(networkStartup());
  networkCleanup();
  SocketHandle stillWorks = socketCreate();
  EXPECT_NE(stillWorks, kNoSocket);
  socketClose(stillWorks);
  networkCleanup();
  networkCleanup();                     // one too many: ignored
  EXPECT_EQ(socketCreate(), kNoSocket); // nobody started the library
}
#endif

} // namespace
