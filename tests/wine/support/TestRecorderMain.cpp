// The recorder for the Windows hosts' tests, in a process of its own (RecorderProcess starts
// it): the test's process then holds no socket library reference of the recorder's, so a
// host that started or cleaned up the sockets wrongly would show. The arguments name the
// servers to start, each on a free loopback port:
//   simulator [OPTION ...]  the recorder simulator with camview-recorder's options (--fps,
//                           --fault, ...; no image files), up to the next server's name
//   fixed:S   sends picture S (FixedPicture.h) once on each connection, then stays silent
//   still:F   the simulator with one still picture (encoded once), at most F pictures a second
//   full      a listener whose queue is full: a connect to it hangs
// It prints "port N" for each server in that order, then "ready" (or "error TEXT" and ends).
// Then commands come on standard input: "counts" prints "counts A B ..." (connections each
// server has accepted so far). The end of the input ends the process.
#include "platform/Socket.h"
#include "recorder/app/RecorderCommandLine.h"
#include "recorder/server/RecorderServer.h"
#include "engine/MessageWriter.h"
#include "tests/support/FakeRecorder.h"
#include "tests/wine/support/FixedPicture.h"
#include "tests/wine/support/FullListener.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class Server {
public:
  virtual ~Server() = default;
  virtual int port() const = 0;
  virtual long connections() const = 0;
  virtual void stop() {}
};

// Answers the open request (a connection's first) with "connection established" and one
// picture; afterwards it records (and ignores) requests until the viewer goes.
class FixedPictureServer final : public Server {
public:
  explicit FixedPictureServer(int seed) {
    PictureRecord record;
    if (!winetest::fixedPicture(seed, record)) throw std::runtime_error("cannot encode the picture");
    testsupport::Bytes reply = testsupport::established();
    const testsupport::Bytes picture =
        protocol::pictureMessage(record.header, record.data, static_cast<std::size_t>(record.length));
    reply.insert(reply.end(), picture.begin(), picture.end());
    recorder_ = std::make_unique<testsupport::FakeRecorder>([reply](const testsupport::RecordedRequest& request) {
      const bool open = request.index == 0 && request.words.words[0] == protocol::kRequestOpen;
      return open ? reply : testsupport::Bytes{};
    });
    if (!recorder_->listening()) throw std::runtime_error("cannot listen");
  }
  int port() const override { return recorder_->port(); }
  long connections() const override { return recorder_->connectionCount(); }

private:
  std::unique_ptr<testsupport::FakeRecorder> recorder_;
};

// Colour gradients: a still that costs the recorder one encoding for all its viewers.
class GradientStill final : public recorder::PictureSource {
public:
  bool render(const recorder::PictureContext&, recorder::RgbFrame& frame) override {
    for (int y = 0; y < frame.height; ++y)
      for (int x = 0; x < frame.width; ++x) {
        std::uint8_t* pixel = &frame.pixels[(std::size_t(y) * frame.width + x) * 3];
        pixel[0] = std::uint8_t(x * 255 / frame.width);
        pixel[1] = std::uint8_t(y * 255 / frame.height);
        pixel[2] = std::uint8_t((x + y) & 0xFF);
      }
    return true;
  }
  std::optional<std::size_t> stillIndex(const recorder::PictureContext&) const override { return 0; }
  std::string describe(const recorder::PictureContext&) const override { return "gradients"; }
};

// The recorder simulator, stopped cleanly at the end (a crash while it stops shows in the
// program's exit code).
class SimulatorServer final : public Server {
public:
  explicit SimulatorServer(recorder::ServerOptions options) {
    options.port = 0;
    options.quiet = true;
    server_ = std::make_unique<recorder::RecorderServer>(options, log_);
    std::string error;
    if (!server_->start(error)) throw std::runtime_error(error);
  }
  int port() const override { return server_->port(); }
  long connections() const override { return static_cast<long>(server_->connectionsAccepted()); }
  void stop() override { server_->stop(); }

private:
  std::ostringstream log_;
  std::unique_ptr<recorder::RecorderServer> server_;
};

class FullServer final : public Server {
public:
  FullServer() {
    if (listener_.port() == 0) throw std::runtime_error("cannot listen");
  }
  int port() const override { return listener_.port(); }
  long connections() const override { return 0; }

private:
  winetest::FullListener listener_;
};

bool isServerName(const std::string& word) {
  return word == "simulator" || word == "full" || word.rfind("fixed:", 0) == 0 || word.rfind("still:", 0) == 0;
}

// Starts the server named by arguments[next] and moves `next` past its options.
std::unique_ptr<Server> startServer(const std::vector<std::string>& arguments, std::size_t& next) {
  const std::string kind = arguments[next++];
  if (kind.rfind("fixed:", 0) == 0) return std::make_unique<FixedPictureServer>(std::atoi(kind.c_str() + 6));
  if (kind == "full") return std::make_unique<FullServer>();
  if (kind.rfind("still:", 0) == 0) {
    recorder::ServerOptions options;
    options.picturesPerSecond = std::atof(kind.c_str() + 6);
    options.stills = std::make_shared<GradientStill>();
    return std::make_unique<SimulatorServer>(options);
  }
  if (kind != "simulator") throw std::runtime_error("unknown server " + kind);
  std::vector<std::string> options;
  while (next < arguments.size() && !isServerName(arguments[next])) options.push_back(arguments[next++]);
  recorder::RecorderCommandLine commandLine;
  std::string error;
  if (!recorder::parseCommandLine(options, commandLine, error)) throw std::runtime_error(error);
  if (!commandLine.images.empty()) throw std::runtime_error("no image files here");
  return std::make_unique<SimulatorServer>(commandLine.server);
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::unique_ptr<Server>> servers;
  try {
    if (!platform::networkStartup()) throw std::runtime_error("no Windows Sockets");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (std::size_t next = 0; next < arguments.size();) {
      servers.push_back(startServer(arguments, next));
      std::printf("port %d\n", servers.back()->port());
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string command;
    while (std::getline(std::cin, command)) {
      if (command != "counts") continue;
      std::printf("counts");
      for (const auto& server : servers) std::printf(" %ld", server->connections());
      std::printf("\n");
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    std::printf("error %s\n", error.what());
    std::fflush(stdout);
    std::_Exit(1);
  }
  for (const auto& server : servers) server->stop();
  // Sessions of the other servers may be blocked in the network: the process ends without
  // waiting for them.
  std::fflush(stdout);
  std::_Exit(0);
}
