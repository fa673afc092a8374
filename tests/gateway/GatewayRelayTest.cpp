// The gateway between browsers and recorders, over real sockets on 127.0.0.1: pictures and
// replies pass unchanged, one recorder connection serves every browser of a camera, a
// stalled browser costs at most one picture, hostile input is refused with a clear error.
#include "hosts/gateway/Gateway.h"
#include "hosts/gateway/ViewerRequests.h"
#include "tests/gateway/GatewayTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace {

using namespace gatewaytest;
namespace websocket = boost::beast::websocket;

struct RunningGateway {
  explicit RunningGateway(int recorderPort, gateway::GatewayOptions options = {})
      : gateway(configure(options, recorderPort), log) {
    std::string error;
    started = gateway.start(error);
    EXPECT_TRUE(started) << error;
  }
  static gateway::GatewayOptions configure(gateway::GatewayOptions options, int recorderPort) {
    options.listenPort = 0;
    options.quiet = true;
    options.recorders = {{"gate", "127.0.0.1", recorderPort}};
    return options;
  }
  std::ostringstream log;
  gateway::Gateway gateway;
  bool started = false;
};

// A picture of connection `id`, numbered `after` + 1 or later: the recorder link takes
// pictures as fast as they come, and a browser may skip those that came while it was busy,
// never get an older one. Returns the picture's number.
int expectPictureAfter(const Message& picture, std::int32_t id, int after, int bodySize) {
  const Bytes* header = picture.find("HEAD");
  const Bytes* body = picture.find("BODY");
  if (header == nullptr || body == nullptr) {
    ADD_FAILURE() << "not a picture";
    return after;
  }
  const int got = PictureStream::pictureNumber(*header);
  EXPECT_GT(got, after);
  EXPECT_EQ(*header, PictureStream::header(id, got));
  EXPECT_EQ(*body, PictureStream::body(got, bodySize));
  return got;
}

TEST(GatewayRelay, OneRecorderConnectionPerCameraAndBytesUnchanged) {
  FakeRecorder recorder(PictureStream{5000});
  RunningGateway running(recorder.port());
  ViewerClient first(running.gateway.port(), "gate"), second(running.gateway.port(), "gate"),
      other(running.gateway.port(), "gate");
  ASSERT_TRUE(first.connected() && second.connected() && other.connected());
  first.sendOpen(7);
  other.sendOpen(8);

  // The recorder's first reply reaches the browser as it was sent: code 5 and its table.
  Message message;
  ASSERT_TRUE(first.read(message));
  EXPECT_EQ(message.code(), 5);
  EXPECT_EQ(*message.find("PDAT"), pdat(5, 0, 0, 1));
  EXPECT_EQ(*message.find("LANG"), languageItem());
  ASSERT_TRUE(first.readPicture(message));
  int last = expectPictureAfter(message, 7, -1, 5000);
  for (int n = 1; n <= 3; ++n) {
    first.sendNext();
    ASSERT_TRUE(first.readPicture(message));
    last = expectPictureAfter(message, 7, last, 5000);
  }

  // A browser joining later gets the recorder's reply and table first, then pictures.
  second.sendOpen(7);
  ASSERT_TRUE(second.read(message));
  EXPECT_EQ(message.code(), 5);
  ASSERT_NE(message.find("LANG"), nullptr);
  EXPECT_EQ(*message.find("LANG"), languageItem());
  ASSERT_TRUE(second.readPicture(message));
  ASSERT_TRUE(other.readPicture(message));
  expectPictureAfter(message, 8, -1, 5000);

  EXPECT_EQ(recorder.connectionCount(), 2); // ids 7 and 8, whatever the number of browsers
  EXPECT_EQ(running.gateway.linksStarted(), 2u);
  EXPECT_EQ(running.gateway.cameraCount(), 2);
}

TEST(GatewayRelay, StalledBrowserHoldsAtMostOnePicture) {
  constexpr int kBody = 1 << 20;
  FakeRecorder recorder(PictureStream{kBody});
  RunningGateway running(recorder.port());
  ViewerClient stalled(running.gateway.port(), "gate"), reader(running.gateway.port(), "gate");
  stalled.shrinkReceiveBuffer();
  stalled.sendOpen(1); // and never reads again
  reader.sendOpen(1);
  Message message;
  int pictures = 0;
  while (pictures < 40 && reader.readPicture(message)) {
    ++pictures;
    reader.sendNext();
  }
  EXPECT_EQ(pictures, 40); // the stalled browser holds nobody up
  // One picture being written and one waiting, whatever the number of pictures passed by.
  const std::int64_t pictureBytes = 208 + kBody + 8 + 16;
  EXPECT_LE(running.gateway.counters().maxSessionQueued.load(), 2 * pictureBytes + 4096);
  EXPECT_LE(running.gateway.counters().queuedBytes.load(), 3 * pictureBytes + 4096);
}

TEST(GatewayRelay, LostRecorderClosesTheBrowsersConnection) {
  FakeRecorder recorder(PictureStream{});
  RunningGateway running(recorder.port());
  ViewerClient viewer(running.gateway.port(), "gate");
  viewer.sendOpen(3);
  Message message;
  ASSERT_TRUE(viewer.readPicture(message));
  recorder.stop();
  while (viewer.read(message)) {}
  EXPECT_EQ(viewer.closeCode(), int(websocket::close_code::internal_error));
}

TEST(GatewayRelay, LimitsOnCamerasAndConnections) {
  FakeRecorder recorder(PictureStream{});
  gateway::GatewayOptions options;
  options.maxCameras = 1;
  options.maxConnections = 3;
  RunningGateway running(recorder.port(), options);
  ViewerClient one(running.gateway.port(), "gate"), two(running.gateway.port(), "gate");
  one.sendOpen(1);
  Message message;
  ASSERT_TRUE(one.readPicture(message));
  two.sendOpen(2); // a second camera is one too many
  EXPECT_FALSE(two.read(message));
  EXPECT_EQ(two.closeCode(), int(websocket::close_code::try_again_later));
  ASSERT_TRUE(waitUntil([&] { return running.gateway.counters().connections.load() == 1; }));
  ViewerClient three(running.gateway.port(), "gate"), four(running.gateway.port(), "gate");
  EXPECT_TRUE(three.connected() && four.connected());
  EXPECT_EQ(httpGet(running.gateway.port(), "/").status, 503);
  EXPECT_EQ(recorder.connectionCount(), 1);
}

TEST(GatewayRelay, HostileRequestsGetClearErrorsAndChangeNothing) {
  FakeRecorder recorder(PictureStream{});
  RunningGateway running(recorder.port());
  const int port = running.gateway.port();

  // Over HTTP: unknown names, bad parameters, over-long requests, other methods.
  const HttpAnswer unknown = httpGet(port, "/?recorder=elsewhere&id=1");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_NE(unknown.body.find("unknown recorder 'elsewhere'"), std::string::npos);
  EXPECT_EQ(httpGet(port, "/?recorder=gate&size=1x1").status, 400);
  EXPECT_EQ(httpGet(port, "/?recorder=gate&id=" + std::string(3000, '1')).status, 400);
  EXPECT_EQ(httpGet(port, "/", "X-Filler: " + std::string(20000, 'x') + "\r\n").status, 431);
  EXPECT_EQ(httpGet(port, "/", "", "POST").status, 405);
  EXPECT_EQ(httpGet(port, "/../../etc/passwd").status, 404);

  // Upgrades: an unknown recorder, a page of another origin.
  EXPECT_FALSE(ViewerClient(port, "elsewhere").connected());
  EXPECT_FALSE(ViewerClient(port, "gate", "http://attacker.example").connected());
  const std::string upgrade = "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
  EXPECT_EQ(httpGet(port, "/camera/elsewhere", upgrade).status, 404);
  EXPECT_EQ(httpGet(port, "/camera/gate", upgrade + "Origin: http://attacker.example\r\n").status, 403);

  // Over WebSocket: each session ends with a close code that names the fault.
  struct Case {
    Bytes bytes;
    bool binary;
    websocket::close_code expected;
  };
  Bytes wrongTag = gateway::encodeViewerRequest({gateway::ViewerRequest::Open, 1});
  wrongTag[0] = 'X';
  Bytes unknownCode = buildMessage({{protocol::kItemPdat, pdat(9, 0, 0, 0)}});
  const Case cases[] = {
      {Bytes{'h', 'i'}, false, websocket::close_code::bad_payload},
      {Bytes(8000, 0), true, websocket::close_code::too_big},
      {wrongTag, true, websocket::close_code::protocol_error},
      {unknownCode, true, websocket::close_code::protocol_error},
      {gateway::encodeViewerRequest({gateway::ViewerRequest::Next, 0}), true, websocket::close_code::policy_error},
  };
  for (const Case& c : cases) {
    ViewerClient client(port, "gate");
    ASSERT_TRUE(client.connected());
    client.sendRaw(c.bytes, c.binary);
    Message message;
    EXPECT_FALSE(client.read(message));
    EXPECT_EQ(client.closeCode(), int(c.expected));
  }
  ViewerClient twice(port, "gate");
  twice.sendOpen(1);
  twice.sendOpen(1);
  Message message;
  while (twice.read(message)) {}
  EXPECT_EQ(twice.closeCode(), int(websocket::close_code::policy_error));

  // Nothing of that reached a recorder, and the gateway serves on.
  ViewerClient fine(port, "gate");
  fine.sendOpen(5);
  ASSERT_TRUE(fine.readPicture(message));
  expectPictureAfter(message, 5, -1, 1000);
  EXPECT_GE(running.gateway.counters().protocolErrors.load(), 6u);
}

} // namespace
