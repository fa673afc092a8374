// The gateway's settings file, and reading it again while browsers watch (SIGHUP).
#include "hosts/gateway/Gateway.h"
#include "tests/gateway/GatewayTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

using namespace gatewaytest;
namespace websocket = boost::beast::websocket;

TEST(GatewayConfigFile, SettingsAndWhatIsRefused) {
  struct Case {
    std::vector<std::string> arguments;
    std::string text;
    std::string error; // empty: accepted
  };
  const std::string recorders = "recorder = [\"gate=10.0.0.5:7070\", \"yard=10.0.0.6:7070\"]\n";
  const Case cases[] = {
      {{}, recorders + "# a comment\nmax-cameras = 4\nquiet = true\npublic-name = \"cams.example\"\n", ""},
      {{}, "recorder = \"gate=10.0.0.5:7070\"\nlinger = 10\nrecorder = \"yard=10.0.0.6:7070\"\n", ""},
      {{"--max-cameras", "8"}, recorders + "max-cameras = 4\n", ""},
      {{}, recorders + "maximum-cameras = 4\n", "unknown setting 'maximum-cameras'"},
      {{}, recorders + "config = other.conf\n", "unknown setting 'config'"},
      {{}, recorders + "[gateway]\nmax-cameras = 4\n", "sections"},
      {{}, recorders + "quiet = maybe\n", "true or false"},
      {{}, recorders + "frame-ancestors = 'self' https://portal.example\n", "takes one value"},
      {{}, recorders + "max-cameras = 0\n", "config file test.conf: --max-cameras"},
      {{},
       "recorder = \"gate=10.0.0.5:0\"\n",
       "--recorder gate: HOST:PORT[:IDS] with a port of 1..65535 expected (on the command line or in config file "
       "test.conf)"},
      {{}, recorders + std::string(70 * 1024, '#'), "larger than 64 KiB"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--config", "test.conf"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    gateway::GatewayOptions options;
    std::string error;
    const bool accepted = gateway::parseGatewayArguments(arguments, c.text, options, error);
    EXPECT_EQ(accepted, c.error.empty()) << c.text << error;
    if (!accepted) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(options.recorders.size(), 2u) << c.text;
    EXPECT_EQ(options.recorders[1].host, "10.0.0.6");
    const bool fileSetsCameras = c.text.find("max-cameras") != std::string::npos;
    EXPECT_EQ(options.maxCameras, !c.arguments.empty() ? 8 : fileSetsCameras ? 4 : 32);
  }
  // Read from disk: the same settings, the command line overriding the file's recorders.
  const std::string path = ::testing::TempDir() + "camview-gateway-settings.conf";
  std::ofstream(path) << recorders << "quiet = true\n";
  gateway::GatewayOptions options;
  std::string error;
  ASSERT_TRUE(gateway::parseGatewayArguments({"--config", path, "--recorder", "dock=10.0.0.7:7070"}, options, error))
      << error;
  ASSERT_EQ(options.recorders.size(), 1u);
  EXPECT_EQ(options.recorders[0].name, "dock");
  EXPECT_TRUE(options.quiet);
  EXPECT_FALSE(gateway::parseGatewayArguments({"--config", path + ".missing"}, options, error));
}

// Three recorders; the gateway's settings file names some of them.
class ReloadingGateway : public ::testing::Test {
protected:
  void writeSettings(const std::string& text) { std::ofstream(path, std::ios::trunc) << text; }
  std::string recorderLine(const std::string& name, const FakeRecorder& recorder) const {
    return "recorder = \"" + name + "=127.0.0.1:" + std::to_string(recorder.port()) + "\"\n";
  }
  void start() {
    const std::vector<std::string> arguments = {"--config", path, "--listen", "127.0.0.1:0", "--linger", "0"};
    gateway::GatewayOptions options;
    std::string error;
    ASSERT_TRUE(gateway::parseGatewayArguments(arguments, options, error)) << error;
    gateway = std::make_unique<gateway::Gateway>(options, log);
    gateway->reloadOnHangup([arguments](gateway::GatewayOptions& fresh, std::string& error) {
      return gateway::parseGatewayArguments(arguments, fresh, error);
    });
    ASSERT_TRUE(gateway->start(error)) << error;
  }
  // Sends SIGHUP and waits until the gateway has taken the settings, or refused them.
  bool hangUp() {
    const std::uint64_t before = gateway->reloadsApplied() + gateway->reloadsRejected();
    std::raise(SIGHUP);
    return waitUntil([&] { return gateway->reloadsApplied() + gateway->reloadsRejected() > before; });
  }
  static int pictureNumber(const Message& picture) { return PictureStream::pictureNumber(*picture.find("HEAD")); }

  const std::string path = ::testing::TempDir() + "camview-gateway-reload.conf";
  FakeRecorder kept{PictureStream{}}, removed{PictureStream{}}, added{PictureStream{}};
  std::ostringstream log;
  std::unique_ptr<gateway::Gateway> gateway;
};

TEST_F(ReloadingGateway, UnchangedRecordersKeepTheirViewers) {
  writeSettings(recorderLine("gate", kept) + recorderLine("yard", removed) + "quiet = true\n");
  start();
  ViewerClient stays(gateway->port(), "gate"), goes(gateway->port(), "yard");
  stays.sendOpen(1);
  goes.sendOpen(1);
  Message picture;
  ASSERT_TRUE(stays.readPicture(picture));
  ASSERT_TRUE(goes.readPicture(picture));

  // Settings that cannot be read change nothing.
  writeSettings(recorderLine("gate", kept) + "recorder = [\"yard=127.0.0.1:1\"\nmax-cameras = none\n");
  ASSERT_TRUE(hangUp());
  EXPECT_EQ(gateway->reloadsRejected(), 1u);
  EXPECT_NE(log.str().find("reload refused"), std::string::npos) << log.str();
  goes.sendNext();
  ASSERT_TRUE(goes.readPicture(picture));

  writeSettings(recorderLine("gate", kept) + recorderLine("dock", added) + "quiet = true\nweb-root = /srv/elsewhere\n");
  ASSERT_TRUE(hangUp());
  EXPECT_EQ(gateway->reloadsApplied(), 1u);
  EXPECT_NE(log.str().find("needs a restart: web-root"), std::string::npos) << log.str();
  // The removed recorder's viewer is told it is going away, and its camera goes.
  while (goes.read(picture)) {}
  EXPECT_EQ(goes.closeCode(), int(websocket::close_code::going_away));
  EXPECT_FALSE(ViewerClient(gateway->port(), "yard").connected());
  // The unchanged one's viewer goes on, on the same connection and recorder connection.
  int last = 0;
  for (int i = 0; i < 3; ++i) {
    stays.sendNext();
    ASSERT_TRUE(stays.readPicture(picture));
    EXPECT_GT(pictureNumber(picture), last);
    last = pictureNumber(picture);
  }
  EXPECT_EQ(kept.connectionCount(), 1);
  // The new recorder can be watched at once.
  ViewerClient fresh(gateway->port(), "dock");
  fresh.sendOpen(2);
  ASSERT_TRUE(fresh.readPicture(picture));
  EXPECT_EQ(added.connectionCount(), 1);
  EXPECT_TRUE(waitUntil([&] { return gateway->cameraCount() == 2; }));
}

} // namespace
