// The viewer's own connection (CConnection with its Receiver thread) against the recorder
// server: what a page author sees when pointing a viewer at the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <sstream>

#include "RecorderTestSupport.h"
#include "engine/Connection.h"
#include "engine/LanguageTable.h"
#include "engine/StatusIndex.h"
#include "platform/Window.h"
#include "recorder/server/PictureHeader.h"
#include "recorder/server/RecorderServer.h"
#include "recorder/sources/ImageListSource.h"
#include "tests/support/WaitUntil.h"

using namespace recorder;
using Clock = std::chrono::steady_clock;

namespace {

// Stands in for the viewer's window thread: pumps the connection's messages, takes every
// picture out of the window slot and notes the statuses.
class WindowSide {
public:
  WindowSide(int port, std::int32_t connectionId) {
    connection_.configure("127.0.0.1", port, connectionId, &language_);
    connection_.setNotifyWindow(window_.handle());
  }
  ~WindowSide() { connection_.stop(); }

  bool start() { return connection_.start(); }

  // Pumps until `done` holds or the time is up.
  template <typename Done>
  bool pumpUntil(Done done, int timeoutMs = 10000) {
    return testsupport::waitUntil(done, std::chrono::milliseconds(timeoutMs), [this] {
      window_.pump([this](const platform::WindowMessage& message) { handle(message); }, 20);
    });
  }

  CConnection connection_;
  CLanguageTable language_;
  std::vector<std::vector<std::uint8_t>> bodies;
  std::vector<std::string> cameras;
  std::vector<std::int32_t> sequences;
  std::vector<int> statusIndices;       // kMsgStatus and kMsgStatusIndex by index
  std::vector<std::string> statusTexts; // kMsgStatus with a text

private:
  void handle(const platform::WindowMessage& message) {
    switch (message.message) {
    case platform::kMsgPictureWaiting: {
      PictureRecord& slot = connection_.windowSlot[0];
      if (!slot.valid.load(std::memory_order_acquire)) return;
      bodies.emplace_back(slot.data, slot.data + slot.length);
      cameras.emplace_back(slot.camera());
      sequences.push_back(slot.sequence);
      slot.valid.store(false, std::memory_order_release);
      break;
    }
    case platform::kMsgStatus:
      if (message.lParam != 0) // a recorder error's code: its text is the window side's
        statusTexts.emplace_back(language_.errorText(static_cast<std::int32_t>(message.lParam)));
      else
        statusIndices.push_back(static_cast<int>(message.wParam));
      break;
    case platform::kMsgStatusIndex:
      statusIndices.push_back(static_cast<int>(message.wParam));
      break;
    default:
      break;
    }
  }

  platform::MessageWindow window_;
};

ServerOptions serverOptions(const char* faults = "") {
  ServerOptions options;
  options.port = 0;
  options.picturesPerSecond = 0;
  options.quiet = true;
  std::string error;
  EXPECT_TRUE(options.faults.parse(faults, error)) << error;
  return options;
}

bool has(const std::vector<int>& values, int value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

TEST(RecorderWithViewerConnection, PicturesFlowAndDecode) {
  ServerOptions options = serverOptions();
  const RgbFrame image = test::gradientImage(576);
  options.stills = std::make_shared<ImageListSource>(std::vector<ImageListSource::Still>{{"g", image}}, 720, 576);
  options.diagnostics = true;
  options.language = builtInLanguageTable(true);
  std::ostringstream log;
  RecorderServer server(options, log);
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;

  WindowSide viewer(server.port(), 7);
  ASSERT_TRUE(viewer.start());
  ASSERT_TRUE(viewer.pumpUntil([&] { return viewer.bodies.size() >= 5; }));
  EXPECT_TRUE(has(viewer.statusIndices, kStatusEstablished));
  EXPECT_EQ(viewer.connection_.recorderFlags() & 1, 1);
  EXPECT_STREQ(viewer.language_.lookup("waitconnect"), "Verbindungsaufbau...");
  EXPECT_EQ(viewer.cameras[0], "Camera 7");
  for (std::size_t i = 0; i < viewer.sequences.size(); ++i)
    EXPECT_EQ(viewer.sequences[i], static_cast<std::int32_t>(i)); // none lost, none twice
  const auto decoded = test::decodePayload(viewer.bodies.back(), true, 0);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_GT(test::psnr(image, *decoded), 30.0);
  viewer.connection_.stop();
  server.stop();
}

TEST(RecorderWithViewerConnection, ViewerShowsRecorderErrorsAndReconnectsAfterTheEnd) {
  RecorderServer server(serverOptions("at 1 error 2013; at 2 end"), std::cerr);
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;
  WindowSide viewer(server.port(), 3);
  ASSERT_TRUE(viewer.start());
  // Code 12 shows the recorder's error text; code 4 shows "communications closed" and the
  // viewer connects again by itself.
  ASSERT_TRUE(viewer.pumpUntil([&] { return server.connectionsAccepted() >= 2 && viewer.bodies.size() >= 3; }));
  ASSERT_FALSE(viewer.statusTexts.empty());
  EXPECT_EQ(viewer.statusTexts[0], viewer.language_.errorText(2013));
  EXPECT_TRUE(has(viewer.statusIndices, kStatusCommClosed));
  viewer.connection_.stop();
  server.stop();
}

TEST(RecorderWithViewerConnection, ViewerGetsPastGarbageHalfPicturesAndCorruptData) {
  RecorderServer server(serverOptions("at 1 garbage 64; at 2 badtag; at 3 baditem; at 4 corrupt; at 5 half"),
                        std::cerr);
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;
  WindowSide viewer(server.port(), 1);
  ASSERT_TRUE(viewer.start());
  // After the half picture the viewer reports the broken connection, reconnects and the
  // exchange starts again from the first picture.
  ASSERT_TRUE(viewer.pumpUntil([&] { return server.connectionsAccepted() >= 2 && viewer.bodies.size() >= 7; }));
  EXPECT_TRUE(has(viewer.statusIndices, kStatusSocket));
  ASSERT_GE(viewer.bodies.size(), 7u);
  EXPECT_TRUE(test::decodePayload(viewer.bodies[3], true, 0).has_value());
  EXPECT_FALSE(test::decodePayload(viewer.bodies[4], true, 0).has_value()); // the corrupt one
  EXPECT_EQ(viewer.sequences[5], 0);                                        // first picture of the new connection
  viewer.connection_.stop();
  server.stop();
}
