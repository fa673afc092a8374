// A recorder for the control's tests, in a process of its own: the container's process
// then has not started Windows Sockets, as a browser's need not have. The arguments name
// the servers to start; a line "port N" is printed for each, in that order:
//   fixed:S  sends picture S (FixedPicture.h) once on each connection, then stays silent
//   stream   the recorder simulator's live pictures, as fast as the viewer asks
//   still:F  one still picture (encoded once), at most F pictures a second
//   full     a listener whose queue is full: a connect to it hangs
// Then commands come on standard input: "counts" prints "counts A B ..." (connections each
// server has accepted so far). The end of the input ends the process.
#include "platform/Socket.h"
#include "recorder/server/RecorderServer.h"
#include "recorder/server/Wire.h"
#include "recorder/server/RequestReader.h"
#include "tests/wine/activex/FixedPicture.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

class Server {
public:
  virtual ~Server() = default;
  virtual int port() const = 0;
  virtual long connections() const = 0;
};

bool sendAll(platform::SocketHandle socket, const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (platform::socketWaitWritable(socket, 10000) != 1) return false;
    int done = platform::socketSend(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (done < 0) return false;
    sent += static_cast<std::size_t>(done);
  }
  return true;
}

// Answers the open request with "connection established" and one picture; afterwards it
// reads (and ignores) requests until the viewer goes.
class FixedPictureServer final : public Server {
public:
  explicit FixedPictureServer(int seed) {
    PictureRecord record;
    if (!activextest::fixedPicture(seed, record)) throw std::runtime_error("cannot encode the picture");
    recorder::MessageWriter established;
    established.addPdat({recorder::kReplyEstablished, 0, 0, 0});
    opening_ = established.take();
    recorder::MessageWriter picture;
    picture.addItem(recorder::kTagHead, record.header, sizeof record.header);
    picture.addItem(recorder::kTagBody, record.data, static_cast<std::size_t>(record.length));
    picture_ = picture.take();
    listener_ = platform::socketListen("127.0.0.1", 0);
    if (listener_ == platform::kNoSocket) throw std::runtime_error("cannot listen");
    std::thread([this] { acceptLoop(); }).detach();
  }
  int port() const override { return platform::socketLocalPort(listener_); }
  long connections() const override { return accepted_.load(); }

private:
  void acceptLoop() {
    for (;;) {
      platform::SocketHandle viewer = platform::socketAccept(listener_);
      if (viewer == platform::kNoSocket) return;
      accepted_.fetch_add(1);
      std::thread([this, viewer] { serve(viewer); }).detach();
    }
  }

  void serve(platform::SocketHandle viewer) {
    recorder::RequestReader reader;
    bool answered = false;
    std::uint8_t buffer[512];
    while (platform::socketWaitReadable(viewer, -1) == 1) {
      int received = platform::socketReceive(viewer, buffer, sizeof buffer);
      if (received < 0) break;
      reader.append(buffer, static_cast<std::size_t>(received));
      recorder::PdatWords words{};
      recorder::RequestReader::Result result;
      while ((result = reader.next(words)) != recorder::RequestReader::Result::NeedMore) {
        if (result != recorder::RequestReader::Result::Request || words[0] != recorder::kRequestOpen || answered)
          continue;
        answered = true;
        if (!sendAll(viewer, opening_) || !sendAll(viewer, picture_)) break;
      }
    }
    platform::socketClose(viewer);
  }

  std::vector<std::uint8_t> opening_;
  std::vector<std::uint8_t> picture_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  std::atomic<long> accepted_{0};
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

class StreamServer final : public Server {
public:
  StreamServer(double picturesPerSecond, bool still) {
    recorder::ServerOptions options;
    options.port = 0;
    options.quiet = true;
    options.picturesPerSecond = picturesPerSecond;
    if (still) options.stills = std::make_shared<GradientStill>();
    server_ = std::make_unique<recorder::RecorderServer>(options, log_);
    std::string error;
    if (!server_->start(error)) throw std::runtime_error(error);
  }
  int port() const override { return server_->port(); }
  long connections() const override { return static_cast<long>(server_->connectionsAccepted()); }

private:
  std::ostringstream log_;
  std::unique_ptr<recorder::RecorderServer> server_;
};

// Nothing accepts; the listener's queue (one connection) is filled by a connection of our
// own, so that the system drops every further connection request and the connect waits.
class FullServer final : public Server {
public:
  FullServer() {
    listener_ = platform::socketListen("127.0.0.1", 0, 0);
    if (listener_ == platform::kNoSocket) throw std::runtime_error("cannot listen");
    for (int i = 0; i < 2; ++i) { // the second hangs like the viewer's will
      std::thread([port = port()] {
        platform::SocketHandle filler = platform::socketCreate();
        platform::socketConnect(filler, "127.0.0.1", port);
      }).detach();
    }
  }
  int port() const override { return platform::socketLocalPort(listener_); }
  long connections() const override { return 0; }

private:
  platform::SocketHandle listener_ = platform::kNoSocket;
};

std::unique_ptr<Server> makeServer(const std::string& kind) {
  if (kind.rfind("fixed:", 0) == 0) return std::make_unique<FixedPictureServer>(std::atoi(kind.c_str() + 6));
  if (kind == "stream") return std::make_unique<StreamServer>(0.0, false);
  if (kind.rfind("still:", 0) == 0) return std::make_unique<StreamServer>(std::atof(kind.c_str() + 6), true);
  if (kind == "full") return std::make_unique<FullServer>();
  throw std::runtime_error("unknown server " + kind);
}

} // namespace

int main(int argc, char** argv) {
  try {
    if (!platform::networkStartup()) throw std::runtime_error("no Windows Sockets");
    std::vector<std::unique_ptr<Server>> servers;
    for (int i = 1; i < argc; ++i) {
      servers.push_back(makeServer(argv[i]));
      std::printf("port %d\n", servers.back()->port());
    }
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
  // Sessions may be blocked in the network: the process ends without waiting for them.
  std::_Exit(0);
}
