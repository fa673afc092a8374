// What the gateway does with clients that are not the friendly browser it was written for,
// over real sockets on 127.0.0.1: pages of other names (DNS rebinding), missing, forged,
// expired and borrowed signed links, clients that take every slot, never send or never read,
// and a process out of descriptors.
#include "engine/PictureLimits.h"
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/Gateway.h"
#include "hosts/gateway/ViewerRequests.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/support/ProcessMemory.h"

#include <gtest/gtest.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <sstream>
#include <thread>

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
    options.recorders = {{"gate", "127.0.0.1", recorder->port()}};
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

  // Replaced by tests that need another recorder before start().
  std::unique_ptr<FakeRecorder> recorder = std::make_unique<FakeRecorder>(PictureStream{});
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
      {"/camera/gate/2?token=" + token({1}), upgrade, 403}, // the camera in the URL
      {"/camera/gate/two?token=" + token({1}), upgrade, 404},
      // Snapshots and MJPEG streams take the same links, for the one camera they name.
      {"/camera/gate/1.jpg", "", 401},
      {"/camera/gate/2.mjpg?token=" + token({1}), "", 403},
      {"/?recorder=gate&id=1,2&token=" + token({2, 1}), "", 200},
      // The wall (camera 0 of gate here) for a link of other cameras only, and of its camera.
      {"/?token=" + token({1}), "", 403},
      {"/?token=" + token({0, 1}), "", 200},
  };
  for (const Case& c : cases) EXPECT_EQ(httpGet(port, c.target, c.headers).status, c.status) << c.target;
  EXPECT_EQ(counters().refusedHost.load(), 3u);
  EXPECT_EQ(counters().tokenMissing.load(), 4u);
  EXPECT_EQ(counters().tokenForged.load(), 1u);
  EXPECT_EQ(counters().tokenExpired.load(), 1u);
  EXPECT_EQ(counters().tokenMalformed.load(), 1u);
  EXPECT_EQ(counters().tokenOtherCamera.load(), 5u);

  // The page's token is passed on to the WebSocket, which checks the camera it opens.
  ViewerClient other(port, "gate", "", "?token=" + token({1}));
  ASSERT_TRUE(other.connected());
  other.sendOpen(2);
  Message message;
  EXPECT_FALSE(other.read(message));
  EXPECT_EQ(other.closeCode(), int(websocket::close_code::policy_error));
  EXPECT_EQ(counters().tokenOtherCamera.load(), 6u);
  // A URL that names its camera opens that camera only, whatever the open request names.
  for (const auto& ids : {std::vector<std::int32_t>{1}, std::vector<std::int32_t>{1, 2}}) {
    ViewerClient named(port, "gate/1", "", "?token=" + token(ids));
    ASSERT_TRUE(named.connected());
    named.sendOpen(2);
    EXPECT_FALSE(named.read(message));
    EXPECT_EQ(named.closeCode(), int(websocket::close_code::policy_error));
  }
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
  EXPECT_EQ(recorder->connectionCount(), 1); // only the allowed camera reached the recorder
}

TEST_F(HostileGateway, OffLoopbackOnlyWithAccessControl) {
  gateway::GatewayOptions options;
  options.listenHost = "0.0.0.0"; // refused before anything is bound
  options.recorders = {{"gate", "127.0.0.1", recorder->port()}};
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

TEST_F(HostileGateway, OneAddressCannotTakeEverySlot) {
  start();
  // Connections from one address that never send a request: as many as one client may hold
  // are kept (until their request time-out), the others are told why and closed at once.
  const int perClient = gateway::GatewayOptions{}.maxPerClient;
  std::list<SilentClient> idle;
  for (int i = 0; i < perClient + 24; ++i) ASSERT_TRUE(idle.emplace_back(port, "127.0.0.1").connected());
  ASSERT_TRUE(waitUntil([&] { return counters().refusedClient.load() == 24u; }));
  EXPECT_EQ(counters().connections.load(), perClient);
  SilentClient more(port, "127.0.0.1");
  ASSERT_TRUE(more.closedByGateway());
  EXPECT_NE(more.received().find("429"), std::string::npos);

  // Another address is served meanwhile.
  ViewerClient other(port, "gate", "", "?token=" + token({1}), "", "127.0.0.2");
  ASSERT_TRUE(other.connected());
  other.sendOpen(1);
  Message message;
  EXPECT_TRUE(other.readPicture(message));
}

TEST_F(HostileGateway, SilentNeverReadingAndIdleClientsAreDropped) {
  recorder = std::make_unique<FakeRecorder>(PictureStream{1 << 20});
  gateway::GatewayOptions options;
  options.requestTimeoutMs = 300;
  options.writeTimeoutMs = 300;
  options.idleTimeoutMs = 2000; // longer than a first picture takes to arrive
  options.lingerMs = 0;
  start(options, false);

  SilentClient halfRequest(port, "127.0.0.1", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  EXPECT_TRUE(halfRequest.closedByGateway());
  ViewerClient silent(port, "gate"); // a WebSocket that never sends its open request
  ASSERT_TRUE(silent.connected());
  Message message;
  EXPECT_FALSE(silent.read(message));
  EXPECT_EQ(silent.closeCode(), int(websocket::close_code::policy_error));
  EXPECT_EQ(counters().requestTimeouts.load(), 2u);

  ViewerClient idle(port, "gate"); // takes its picture, then asks for nothing more
  idle.sendOpen(1);
  ASSERT_TRUE(idle.readPicture(message));
  while (idle.read(message)) {}
  EXPECT_EQ(idle.closeCode(), int(websocket::close_code::going_away));
  EXPECT_EQ(counters().idleClosed.load(), 1u);

  {
    ViewerClient neverReads(port, "gate"); // asks for every picture, never reads one
    neverReads.shrinkReceiveBuffer();
    neverReads.sendOpen(1);
    std::uint64_t sent = counters().picturesSent.load();
    ASSERT_TRUE(waitUntil([&] {
      if (counters().picturesSent.load() != sent) {
        sent = counters().picturesSent.load();
        neverReads.sendNext();
      }
      return counters().writeTimeouts.load() == 1u;
    }));
  }
  EXPECT_TRUE(waitUntil([&] { return counters().viewers.load() == 0 && counters().connections.load() == 0; }));
}

TEST_F(HostileGateway, ABrowserThatKeepsAskingOutlivesItsTimeOuts) {
  // Each request and each write moves its deadline later, and the timers set for the first
  // ones expire meanwhile: they must find the moved deadlines, not close the browser.
  gateway::GatewayOptions options;
  options.idleTimeoutMs = 1000;
  options.writeTimeoutMs = 1000;
  start(options, false);
  ViewerClient viewer(port, "gate");
  viewer.sendOpen(1);
  Message message;
  const auto begin = std::chrono::steady_clock::now();
  int pictures = 0;
  while (std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(3 * options.idleTimeoutMs)) {
    ASSERT_TRUE(viewer.readPicture(message)) << "closed with " << viewer.closeCode() << " after " << pictures;
    ++pictures;
    viewer.sendNext();
  }
  EXPECT_EQ(counters().idleClosed.load(), 0u);
  EXPECT_EQ(counters().writeTimeouts.load(), 0u);
}

TEST_F(HostileGateway, LanguageFloodIsCutAndBoundedPerBrowser) {
  constexpr int kFlood = 3 << 20;
  recorder = std::make_unique<FakeRecorder>(PictureStream{1000, kFlood});
  // The peak resident set of this process (gateway, simulated recorder and browsers) from
  // here on. Tables relayed uncut and queued without a byte budget for the browser that does
  // not read took it past 170 MB within 80 pictures.
  testsupport::resetPeakResident(); // else the peak since the suite began: a weaker bound
  [[maybe_unused]] const long residentAtStart = testsupport::statusKiB("self", "VmHWM");
  start({}, false);
  ViewerClient stalled(port, "gate"), reader(port, "gate");
  stalled.shrinkReceiveBuffer();
  stalled.sendOpen(1); // and never reads
  reader.sendOpen(1);
  Message message;
  int tables = 0;
  while (counters().overBudget.load() == 0 && reader.read(message)) {
    if (const Bytes* table = message.find("LANG")) {
      EXPECT_LE(table->size(), std::size_t(limits::kTextTableRoom));
      tables += table->size() == std::size_t(limits::kTextTableRoom);
    }
    if (message.find("HEAD")) reader.sendNext();
  }
  EXPECT_EQ(counters().overBudget.load(), 1u); // the stalled browser, not the reading one
  EXPECT_GT(tables, 0);
  // Control messages within the budget, one being written, and at most two pictures.
  const std::int64_t controlMessage = limits::kTextTableRoom + 64, picture = 208 + 1000 + 64;
  EXPECT_LE(counters().maxSessionQueued.load(), 256 * 1024 + controlMessage + 2 * picture);
  reader.sendNext();
  EXPECT_TRUE(reader.readPicture(message));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The sanitizers' allocators keep freed blocks (quarantine, shadow memory): no bound there.
  ASSERT_GT(residentAtStart, 0);
  EXPECT_LE(testsupport::statusKiB("self", "VmHWM"), residentAtStart + 64 * 1024);
#endif
}

TEST_F(HostileGateway, LingeringCamerasMakeRoomForOnesAskedFor) {
  gateway::GatewayOptions options;
  options.maxCameras = 1;
  options.lingerMs = 3600000;
  start(options, false);
  Message message;
  {
    ViewerClient gone(port, "gate");
    gone.sendOpen(1);
    ASSERT_TRUE(gone.readPicture(message));
  }
  ASSERT_TRUE(waitUntil([&] { return counters().viewers.load() == 0; }));
  ViewerClient next(port, "gate");
  next.sendOpen(2);
  ASSERT_TRUE(next.readPicture(message));
  EXPECT_EQ(gateway->cameraCount(), 1);
  EXPECT_EQ(recorder->connectionCount(), 2);
}

// Holds this process at the descriptors it has open now: every new one fails with EMFILE
// until the guard goes.
class NoMoreDescriptors {
public:
  NoMoreDescriptors() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    spares_.push_back(open("/dev/null", O_RDONLY)); // copied below: standard input may be closed
    int highest = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
      highest = std::max(highest, std::stoi(entry.path().filename().string()));
    rlimit lowered = saved_;
    lowered.rlim_cur = rlim_t(highest) + 1;
    setrlimit(RLIMIT_NOFILE, &lowered);
    // Descriptors below the highest one that are free are taken too.
    for (int spare = dup(spares_.front()); spare >= 0; spare = dup(spares_.front())) spares_.push_back(spare);
  }
  ~NoMoreDescriptors() {
    for (int spare : spares_) close(spare);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }

private:
  rlimit saved_{};
  std::vector<int> spares_;
};

TEST_F(HostileGateway, OutOfDescriptorsAcceptingPausesThenServesAgain) {
  gateway::GatewayOptions options;
  options.acceptBackoffMs = 100;
  start(options, false);
  // The clients' sockets are made first: once the process is out of descriptors, only the
  // gateway's accepts need new ones.
  boost::asio::io_context io;
  std::list<boost::asio::ip::tcp::socket> clients;
  for (int i = 0; i < 4; ++i) clients.emplace_back(io).open(boost::asio::ip::tcp::v4());
  const auto began = std::chrono::steady_clock::now();
  std::uint64_t pauses = 0;
  {
    NoMoreDescriptors exhausted;
    const boost::asio::ip::tcp::endpoint gatewayAddress(boost::asio::ip::make_address("127.0.0.1"), port);
    for (auto& client : clients) client.connect(gatewayAddress); // into the listen backlog
    ASSERT_TRUE(waitUntil([&] { return counters().acceptPauses.load() >= 3; }));
    pauses = counters().acceptPauses.load();
  }
  // One pause per back-off at most: accepting again at once would count thousands by now.
  const auto elapsed = std::chrono::steady_clock::now() - began;
  EXPECT_LE(pauses, std::uint64_t(elapsed / std::chrono::milliseconds(100)) + 2);
  // With descriptors free again, the waiting clients are served.
  const std::string request =
      "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
  for (auto& client : clients) {
    boost::asio::write(client, boost::asio::buffer(request));
    std::string answer;
    boost::system::error_code end;
    boost::asio::read(client, boost::asio::dynamic_buffer(answer), end);
    EXPECT_NE(answer.find("200 OK"), std::string::npos) << answer;
  }
}

// A client-to-server WebSocket frame (binary, masked) carrying `payload`.
std::string maskedFrame(const Bytes& payload) {
  std::string frame = {char(0x82), char(0x80 | payload.size()), 1, 2, 3, 4};
  for (std::size_t i = 0; i < payload.size(); ++i) frame.push_back(char(payload[i] ^ (1 + i % 4)));
  return frame;
}

TEST_F(HostileGateway, HeadCachingFramingAndWhatFollowsAnUpgrade) {
  const std::string webRoot = ::testing::TempDir() + "camview-gateway-web";
  std::filesystem::create_directories(webRoot);
  std::ofstream(webRoot + "/camview-viewer.js") << "// the viewer\n";
  gateway::GatewayOptions options;
  options.webRoot = webRoot;
  options.frameAncestors = "https://portal.example";
  start(options, false);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";

  SilentClient head(port, "127.0.0.1", "HEAD /camview-viewer.js HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n");
  ASSERT_TRUE(head.closedByGateway());
  EXPECT_NE(head.received().find("Content-Length: 14\r\n"), std::string::npos) << head.received();
  EXPECT_EQ(head.received().find("the viewer"), std::string::npos); // no body after a HEAD
  EXPECT_NE(head.received().find("Content-Security-Policy: frame-ancestors https://portal.example\r\n"),
            std::string::npos);
  const std::size_t tag = head.received().find("ETag: ");
  ASSERT_NE(tag, std::string::npos);
  const std::string etag = head.received().substr(tag + 6, head.received().find('\r', tag) - tag - 6);
  SilentClient again(port, "127.0.0.1",
                     "GET /camview-viewer.js HTTP/1.1\r\n" + host + "If-None-Match: " + etag + "\r\n\r\n");
  EXPECT_TRUE(again.receives("HTTP/1.1 304 Not Modified\r\n"));
  EXPECT_TRUE(again.closedByGateway()); // no idle connections kept: a full page fits the per-client limit

  // A missing file of the page says so without naming the operator's folders.
  const HttpAnswer missing = httpGet(port, "/camview-web.wasm");
  EXPECT_EQ(missing.status, 503);
  EXPECT_EQ(missing.body.find(webRoot), std::string::npos);
  EXPECT_EQ(missing.body.find('/'), std::string::npos);

  // The open request sent in the same packet as the upgrade request is not lost.
  SilentClient eager(port, "127.0.0.1",
                     "GET /camera/gate HTTP/1.1\r\n" + host +
                         "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" +
                         maskedFrame(gateway::encodeViewerRequest({gateway::ViewerRequest::Open, 4})));
  EXPECT_TRUE(eager.receives("HEAD"));

  // Stopping closes each WebSocket with 1001, which the browser answers.
  ViewerClient viewer(port, "gate");
  viewer.sendOpen(1);
  Message message;
  ASSERT_TRUE(viewer.readPicture(message));
  std::thread stopping([&] { gateway->stop(); });
  while (viewer.read(message)) {}
  stopping.join();
  EXPECT_EQ(viewer.closeCode(), int(websocket::close_code::going_away));
  std::filesystem::remove_all(webRoot);
}

TEST_F(HostileGateway, FiguresForTheMonitoringOnly) {
  gateway::GatewayOptions options;
  options.metricsFrom = {"127.0.0.2"};
  start(options);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  EXPECT_EQ(httpGet(port, "/", "Host: rebind.example\r\n").status, 421);
  EXPECT_EQ(httpGet(port, "/?recorder=gate&id=1&token=gate.1.2.3").status, 401);
  EXPECT_EQ(httpGet(port, "/metrics").status, 403); // from 127.0.0.1
  SilentClient health(port, "127.0.0.2", "GET /healthz HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n");
  ASSERT_TRUE(health.closedByGateway());
  EXPECT_NE(health.received().find("200 OK"), std::string::npos);
  SilentClient metrics(port, "127.0.0.2", "GET /metrics HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n");
  ASSERT_TRUE(metrics.closedByGateway());
  for (const char* line : {"camview_gateway_refusals_total{reason=\"host\"} 1\n",
                           "camview_gateway_token_failures_total{reason=\"malformed\"} 1\n",
                           "# TYPE camview_gateway_sessions gauge\n", "camview_gateway_cameras 0\n"})
    EXPECT_NE(metrics.received().find(line), std::string::npos) << line;
}

TEST_F(HostileGateway, ForwardingHeadersOnlyFromTrustedProxiesAndLimitsPerRealClient) {
  gateway::GatewayOptions options;
  options.trustedProxies = {"127.0.0.2"};
  options.metricsFrom = {"192.0.2.50"};
  start(options, false);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  const std::string upgrade = "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
  // Held open: a WebSocket that has not sent its open request keeps its slot.
  std::list<SilentClient> open;
  const auto request = [&](const std::string& from, const std::string& target, const std::string& headers) {
    return &open.emplace_back(port, from, "GET " + target + " HTTP/1.1\r\n" + host + headers + "\r\n");
  };
  const auto forwardedFor = [](const std::string& client) { return "X-Forwarded-For: " + client + "\r\n"; };

  // WebSockets of one client through the proxy fill that client's slots, not the proxy's.
  for (int i = 0; i < options.maxPerClient; ++i)
    ASSERT_TRUE(request("127.0.0.2", "/camera/gate", upgrade + forwardedFor("198.51.100.1"))->receives("101"));
  EXPECT_TRUE(request("127.0.0.2", "/camera/gate", upgrade + forwardedFor("198.51.100.1"))->receives("429"));
  EXPECT_TRUE(request("127.0.0.2", "/camera/gate", upgrade + forwardedFor("198.51.100.2"))->receives("101"));
  EXPECT_EQ(counters().refusedClient.load(), 1u);

  struct Case {
    std::string from, target, headers, status;
  };
  const std::string proto = "X-Forwarded-Proto: https\r\n";
  const std::string httpsPage = "Origin: https://127.0.0.1:" + std::to_string(port) + "\r\n";
  const Case cases[] = {
      // The figures are for the monitoring's address, which only a trusted proxy can name.
      {"127.0.0.2", "/metrics", forwardedFor("192.0.2.50"), "200"},
      {"127.0.0.3", "/metrics", forwardedFor("192.0.2.50"), "403"},
      {"127.0.0.2", "/metrics", forwardedFor("192.0.2.50:80"), "403"}, // garbage: the proxy is the client
      {"127.0.0.2", "/metrics", forwardedFor("192.0.2.50, 127.0.0.2"), "200"},
      // The page's own https origin, when the trusted proxy says the browser came over https.
      {"127.0.0.2", "/camera/gate", upgrade + httpsPage + proto + forwardedFor("198.51.100.3"), "101"},
      {"127.0.0.3", "/camera/gate", upgrade + httpsPage + proto, "403"},
      {"127.0.0.2", "/camera/gate", upgrade + httpsPage + forwardedFor("198.51.100.3"), "403"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(request(c.from, c.target, c.headers)->receives("HTTP/1.1 " + c.status))
        << c.from << " " << c.target << " " << c.headers;
  EXPECT_EQ(counters().forwardedMalformed.load(), 1u);
  EXPECT_EQ(counters().refusedOrigin.load(), 2u);
}

} // namespace
