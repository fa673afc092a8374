// What the gateway does with clients that are not the friendly browser it was written for,
// over real sockets on 127.0.0.1: pages of other names (DNS rebinding), missing, forged,
// expired and borrowed signed links, clients that take every slot, never send or never read.
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/Gateway.h"
#include "tests/gateway/GatewayTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <sstream>

namespace {

using namespace gatewaytest;
namespace websocket = boost::beast::websocket;

constexpr char kSecret[] = "hostile-fixture-secret-0123456789";

class HostileGateway : public ::testing::Test {
protected:
  // Starts the gateway in front of the fake recorder, with signed links unless `signedLinks`
  // is false.
  void start(gateway::GatewayOptions options = {}, bool signedLinks = true) {
    options.listenPort = 0;
    options.quiet = true;
    options.recorders = {{"gate", "127.0.0.1", recorder.port()}};
    if (signedLinks) options.secrets = {kSecret};
    gateway = std::make_unique<gateway::Gateway>(options, log);
    std::string error;
    ASSERT_TRUE(gateway->start(error)) << error;
    port = gateway->port();
  }
  static std::string token(const std::vector<std::int32_t>& ids, std::int64_t ttl = 600,
                           const std::string& recorderName = "gate", const std::string& secret = kSecret) {
    return gateway::signToken({recorderName, ids, std::int64_t(std::time(nullptr)) + ttl}, secret);
  }
  const gateway::GatewayCounters& counters() const { return gateway->counters(); }

  FakeRecorder recorder;
  std::ostringstream log;
  std::unique_ptr<gateway::Gateway> gateway;
  int port = 0;
};

TEST_F(HostileGateway, RebindingAndLinksAreRefusedBeforeAnythingIsServed) {
  start();
  const std::string rebound = "Host: rebind.example:" + std::to_string(port) + "\r\n";
  const std::string upgrade = "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
  struct Case {
    std::string target, headers;
    int status;
  };
  const Case cases[] = {
      // A page that rebinds its own name to 127.0.0.1: no page, file or camera for it.
      {"/?recorder=gate&id=1&token=" + token({1}), rebound, 421},
      {"/camview-viewer.js", rebound, 421},
      {"/camera/gate?token=" + token({1}), rebound + upgrade + "Origin: http://rebind.example\r\n", 421},
      // Signed links: none, forged, expired, for other cameras or another recorder.
      {"/", "", 401},
      {"/?recorder=gate&id=1", "", 401},
      {"/?recorder=gate&id=1&token=" + token({1}, 600, "gate", "a-secret-that-is-not-ours"), "", 401},
      {"/?recorder=gate&id=1&token=" + token({1}, -1), "", 401},
      {"/?recorder=gate&id=1&token=gate.1.x", "", 401},
      {"/?recorder=gate&id=1,2&token=" + token({1}), "", 403},
      {"/camera/gate", upgrade, 401},
      {"/camera/gate?token=" + token({1}, 600, "yard"), upgrade, 403},
      {"/?recorder=gate&id=1,2&token=" + token({2, 1}), "", 200},
  };
  for (const Case& c : cases) EXPECT_EQ(httpGet(port, c.target, c.headers).status, c.status) << c.target;
  EXPECT_EQ(counters().refusedHost.load(), 3u);
  EXPECT_EQ(counters().tokenMissing.load(), 3u);
  EXPECT_EQ(counters().tokenForged.load(), 1u);
  EXPECT_EQ(counters().tokenExpired.load(), 1u);
  EXPECT_EQ(counters().tokenMalformed.load(), 1u);
  EXPECT_EQ(counters().tokenOtherCamera.load(), 2u);

  // The page's token is passed on to the WebSocket, which checks the camera it opens.
  ViewerClient other(port, "gate", "", "?token=" + token({1}));
  ASSERT_TRUE(other.connected());
  other.sendOpen(2);
  Message message;
  EXPECT_FALSE(other.read(message));
  EXPECT_EQ(other.closeCode(), int(websocket::close_code::policy_error));
  EXPECT_EQ(counters().tokenOtherCamera.load(), 3u);
  EXPECT_FALSE(
      ViewerClient(port, "gate", "", "?token=" + token({1}), "rebind.example:" + std::to_string(port)).connected());
  EXPECT_FALSE(
      ViewerClient(port, "gate", "http://rebind.example:" + std::to_string(port), "?token=" + token({1})).connected());
  EXPECT_EQ(counters().refusedOrigin.load(), 1u);

  ViewerClient allowed(port, "gate", "http://localhost:" + std::to_string(port), "?token=" + token({1}),
                       "localhost:" + std::to_string(port));
  ASSERT_TRUE(allowed.connected());
  allowed.sendOpen(1);
  EXPECT_TRUE(allowed.readPicture(message));
  EXPECT_EQ(recorder.connectionsAccepted(), 1); // only the allowed camera reached the recorder
}

TEST_F(HostileGateway, OffLoopbackOnlyWithAccessControl) {
  gateway::GatewayOptions options;
  options.listenHost = "0.0.0.0"; // refused before anything is bound
  options.recorders = {{"gate", "127.0.0.1", recorder.port()}};
  options.quiet = true;
  gateway::Gateway open(options, log);
  std::string error;
  EXPECT_FALSE(open.start(error));
  EXPECT_NE(error.find("--secret-file"), std::string::npos);
  // A secret file that cannot be read stops the start as well, and is never quoted.
  options.secretFile = ::testing::TempDir() + "camview-no-such-secret";
  gateway::Gateway unreadable(options, log);
  EXPECT_FALSE(unreadable.start(error));
  EXPECT_EQ(unreadable.port(), 0);
}

} // namespace
