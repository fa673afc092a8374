// Cameras as JPEG snapshots and MJPEG streams: the pictures themselves (sizes, fidelity to
// the viewer's own decode, the on-screen display), and the gateway serving them to real
// clients (ffprobe and ffmpeg, a slow reader, many watchers of one camera).
#include "engine/MessageWriter.h"
#include "hosts/gateway/Gateway.h"
#include "hosts/gateway/RecorderLink.h"
#include "hosts/gateway/media/PictureRenderer.h"
#include "presentation/FrameLayout.h"
#include "presentation/PictureDecode.h"
#include "presentation/SizeTable.h"
#include "decoder/WaveletEngine.h"
#include "recorder/server/RecorderServer.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/presentation/ReferencePicture.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <thread>

namespace {

using gatewaytest::waitUntil;

using gateway::media::JpegBytes;
using gateway::media::PictureRenderer;
using gateway::media::RenderSpec;
using tcp = boost::asio::ip::tcp;

// A decoded JPEG as bottom-up BGR rows, packed.
struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;
};

bool decodeJpeg(const std::uint8_t* data, std::size_t size, Pixels& out) {
  tjhandle handle = tjInitDecompress();
  int subsampling = 0, colourspace = 0;
  bool ok =
      tjDecompressHeader3(handle, data, (unsigned long)size, &out.width, &out.height, &subsampling, &colourspace) == 0;
  if (ok) {
    out.bgr.resize(std::size_t(out.width) * out.height * 3);
    ok = tjDecompress2(handle, data, (unsigned long)size, out.bgr.data(), out.width, 0, out.height, TJPF_BGR,
                       TJFLAG_BOTTOMUP) == 0;
  }
  tjDestroy(handle);
  return ok;
}

// PSNR of the rectangle (x0, y0 from the top) .. (x1, y1) between two bottom-up pictures.
double psnr(const std::uint8_t* a, int aStride, const std::uint8_t* b, int bStride, int height, int x0, int y0, int x1,
            int y1) {
  double sum = 0;
  long count = 0;
  for (int y = y0; y < y1; ++y) {
    const int row = height - 1 - y;
    for (int x = x0 * 3; x < x1 * 3; ++x) {
      const double d = double(a[row * aStride + x]) - b[row * bStride + x];
      sum += d * d;
      ++count;
    }
  }
  return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * count / sum);
}

class MediaRendering : public ::testing::Test {
protected:
  void SetUp() override {
    const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(3);
    record.reserve(std::int32_t(payload.size()));
    std::memcpy(record.data, payload.data(), payload.size());
    record.length = std::int32_t(payload.size());
    testsupport::fillHeader(record, 4711);
    message = protocol::pictureMessage(record.header, record.data, std::size_t(record.length));
  }
  JpegBytes renderOne(const RenderSpec& spec) {
    std::vector<JpegBytes> jpegs;
    std::string reason;
    EXPECT_TRUE(renderer.render(message.data(), message.size(), {spec}, jpegs, reason)) << reason;
    return jpegs.empty() ? nullptr : jpegs[0];
  }
  PictureRecord record;
  gateway::Bytes message;
  CLanguageTable language;
  PictureRenderer renderer{language};
};

// The size of a picture decoded at a resolution level, as this machine's engine gives it.
struct Size {
  int width = 0, height = 0;
};
Size levelSize(const PictureRecord& record, int level) {
  std::vector<std::uint8_t> frame(presentation::kFrameBytes);
  auto engine = wavelet::createWaveletEngine();
  presentation::SizeTable sizes;
  presentation::DecodeRequest request;
  request.columnLimit = sizes.columnLimit[level];
  request.skipLevels = level;
  const presentation::DecodeOutcome outcome =
      presentation::decodePicture(record, request, *engine, frame.data(), frame.size());
  return {outcome.width, outcome.height};
}

TEST_F(MediaRendering, SizesComeFromTheDecoderLevelsThenScaling) {
  const Size full = levelSize(record, 0), half = levelSize(record, 1), quarter = levelSize(record, 2);
  ASSERT_GT(quarter.width, 100);
  struct Case {
    int width;
    Size expect;
  } cases[] = {{0, full},
               {2000, full}, // never enlarged
               {half.width, half},
               {300, {300, (half.height * 300 + half.width / 2) / half.width}},
               {100, {100, (quarter.height * 100 + quarter.width / 2) / quarter.width}}};
  for (const Case& c : cases) {
    JpegBytes jpeg = renderOne({c.width, 80, false});
    Pixels pixels;
    ASSERT_TRUE(jpeg && decodeJpeg(jpeg->data(), jpeg->size(), pixels)) << c.width;
    EXPECT_EQ(pixels.width, c.expect.width) << c.width;
    EXPECT_EQ(pixels.height, c.expect.height) << c.width;
  }
  EXPECT_EQ(PictureRenderer::levelFor(100, 0), 2);
  EXPECT_EQ(PictureRenderer::levelFor(348, 1), 1);
  EXPECT_EQ(PictureRenderer::levelFor(400, 1), 1); // never below the picture's own level

  // Specs that come out the same share their encode; each decode level is done once.
  const std::uint64_t encodes = renderer.encodes(), decodes = renderer.decodes();
  std::vector<JpegBytes> jpegs;
  std::string reason;
  ASSERT_TRUE(renderer.render(message.data(), message.size(),
                              {{0, 80, false}, {2000, 80, false}, {348, 80, false}, {300, 80, false}, {0, 50, false}},
                              jpegs, reason));
  EXPECT_EQ(jpegs[0], jpegs[1]);
  EXPECT_EQ(renderer.encodes() - encodes, 4u);
  EXPECT_EQ(renderer.decodes() - decodes, 2u);

  gateway::Bytes broken = message;
  broken.resize(broken.size() / 2);
  EXPECT_FALSE(renderer.render(broken.data(), broken.size(), {{0, 80, false}}, jpegs, reason));
}

TEST_F(MediaRendering, MatchesTheViewersDecodeAndOverlay) {
  // The viewer's own decode, full size, no overlay.
  std::vector<std::uint8_t> native(presentation::kFrameBytes);
  auto engine = wavelet::createWaveletEngine();
  presentation::DecodeRequest request;
  const presentation::DecodeOutcome outcome =
      presentation::decodePicture(record, request, *engine, native.data(), native.size());
  ASSERT_TRUE(outcome.ok);
  Pixels plain, marked;
  JpegBytes jpeg = renderOne({0, 90, false});
  ASSERT_TRUE(jpeg && decodeJpeg(jpeg->data(), jpeg->size(), plain));
  ASSERT_EQ(plain.width, outcome.width);
  const int w = outcome.width, h = outcome.height;
  EXPECT_GE(psnr(plain.bgr.data(), w * 3, native.data(), w * 3, h, 0, 0, w, h), 38.0);

  // The overlay's region against the viewer's rendering of the same picture for a window of
  // the picture's size, drawn apart from the gateway's code.
  testsupport::ReferenceFrame reference;
  ASSERT_TRUE(testsupport::referenceFrame(record, language, w, h, reference));
  ASSERT_EQ(reference.width, w);
  jpeg = renderOne({0, 90, true});
  ASSERT_TRUE(jpeg && decodeJpeg(jpeg->data(), jpeg->size(), marked));
  const int stride = presentation::frameStride(w);
  const double withOverlay = psnr(marked.bgr.data(), w * 3, reference.bits.data(), stride, h, 44, 1, 640, 40);
  const double withoutOverlay = psnr(plain.bgr.data(), w * 3, reference.bits.data(), stride, h, 44, 1, 640, 40);
  EXPECT_GE(withOverlay, 30.0);
  EXPECT_LT(withoutOverlay, withOverlay - 8.0);
  // Below the display the pictures agree.
  EXPECT_GE(psnr(marked.bgr.data(), w * 3, plain.bgr.data(), w * 3, h, 0, 60, w, h), 45.0);
}

// --- the gateway serving real clients ---

struct MediaGateway : ::testing::Test {
  void SetUp() override {
    recorder::ServerOptions recorderOptions;
    recorderOptions.host = "127.0.0.1";
    recorderOptions.port = 0;
    recorderOptions.quiet = true;
    recorderOptions.loopPictures = 4; // encoded once: the recorder keeps its 25 pictures a second
    recorderServer = std::make_unique<recorder::RecorderServer>(recorderOptions, recorderLog);
    std::string error;
    ASSERT_TRUE(recorderServer->start(error)) << error;
    gateway::GatewayOptions options;
    options.listenPort = 0;
    options.quiet = true;
    options.recorders = {{"gate", "127.0.0.1", recorderServer->port()}, {"mute", "127.0.0.1", silent.port()}};
    gatewayServer = std::make_unique<gateway::Gateway>(options, gatewayLog);
    ASSERT_TRUE(gatewayServer->start(error)) << error;
  }
  void TearDown() override {
    if (gatewayServer) gatewayServer->stop();
    if (recorderServer) recorderServer->stop();
  }
  std::string url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(gatewayServer->port()) + target;
  }
  const gateway::GatewayCounters& counters() const { return gatewayServer->counters(); }

  // A recorder that accepts and never answers.
  struct Silent {
    boost::asio::io_context io;
    tcp::acceptor acceptor{io, tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0)};
    tcp::socket held{io};
    std::thread thread{[this] {
      boost::system::error_code error;
      acceptor.accept(held, error);
    }};
    int port() const { return acceptor.local_endpoint().port(); }
    ~Silent() {
      // A blocked accept ends with a connection, not with closing its acceptor.
      boost::system::error_code ignored;
      tcp::socket poke(io);
      poke.connect(acceptor.local_endpoint(), ignored);
      thread.join();
    }
  } silent;
  std::ostringstream recorderLog, gatewayLog;
  std::unique_ptr<recorder::RecorderServer> recorderServer;
  std::unique_ptr<gateway::Gateway> gatewayServer;
};

// Output of a command, with its exit status.
std::string run(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

// An MJPEG client reading parts with plain sockets.
class MjpegReader {
  boost::asio::dynamic_string_buffer<char, std::char_traits<char>, std::allocator<char>> dynamic() {
    return boost::asio::dynamic_buffer(buffer_);
  }

public:
  MjpegReader(int port, const std::string& target, int receiveBuffer = 0) {
    if (receiveBuffer > 0) {
      socket_.open(tcp::v4());
      socket_.set_option(boost::asio::socket_base::receive_buffer_size(receiveBuffer));
    }
    socket_.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port)));
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    boost::asio::write(socket_, boost::asio::buffer(request));
    const std::size_t end = boost::asio::read_until(socket_, dynamic(), "\r\n\r\n");
    head_ = buffer_.substr(0, end);
    buffer_.erase(0, end);
  }
  const std::string& head() const { return head_; }
  // The next part's JPEG and the picture sequence it carries; false when the stream ended.
  bool next(std::string& jpeg, std::uint64_t& sequence) {
    boost::system::error_code error;
    const std::size_t end = boost::asio::read_until(socket_, dynamic(), "\r\n\r\n", error);
    if (error) return false;
    const std::string headers = buffer_.substr(0, end);
    buffer_.erase(0, end);
    const std::size_t length = std::stoul(field(headers, "Content-Length: "));
    sequence = std::stoull(field(headers, "X-Picture-Sequence: "));
    if (buffer_.size() < length + 2)
      boost::asio::read(socket_, dynamic(), boost::asio::transfer_exactly(length + 2 - buffer_.size()), error);
    if (error) return false;
    jpeg = buffer_.substr(0, length);
    buffer_.erase(0, length + 2);
    return true;
  }

private:
  static std::string field(const std::string& headers, const std::string& name) {
    const std::size_t at = headers.find(name);
    return at == std::string::npos ? "0"
                                   : headers.substr(at + name.size(), headers.find("\r\n", at) - at - name.size());
  }
  boost::asio::io_context io_;
  tcp::socket socket_{io_};
  std::string buffer_, head_;
};

TEST_F(MediaGateway, FfprobeAndFfmpegReadSnapshotsAndStreams) {
  int status = 0;
  const std::string probe = "timeout 60 ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 ";
  EXPECT_EQ(run(probe + "'" + url("/camera/gate/1.jpg") + "'", status), "mjpeg,696,576\n");
  EXPECT_EQ(status, 0);
  PictureRecord record;
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(1);
  record.reserve(std::int32_t(payload.size()));
  std::memcpy(record.data, payload.data(), payload.size());
  record.length = std::int32_t(payload.size());
  const Size half = levelSize(record, 1);
  EXPECT_EQ(run(probe + "'" + url("/camera/gate/1.mjpg?width=348&quality=60") + "'", status),
            "mjpeg," + std::to_string(half.width) + "," + std::to_string(half.height) + "\n");
  EXPECT_EQ(status, 0);
  // 50 pictures of the stream, each a frame ffmpeg decodes.
  const std::string frames = run("timeout 120 ffmpeg -v error -i '" + url("/camera/gate/2.mjpg?overlay=1") +
                                     "' -frames:v 50 -f framecrc - 2>&1",
                                 status);
  EXPECT_EQ(status, 0) << frames;
  int count = 0;
  std::istringstream lines(frames);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] != '#') ++count;
  EXPECT_EQ(count, 50) << frames;
  EXPECT_TRUE(waitUntil([&] { return counters().mediaClients.load() == 0; }));
}

TEST_F(MediaGateway, RequestsThatCannotBeServedSayWhy) {
  struct Case {
    const char* target;
    int status;
    const char* text;
  } cases[] = {
      {"/camera/gate/1.jpg?width=5", 400, "width"},
      {"/camera/gate/x.mjpg", 400, "whole number"},
      {"/camera/gate/1.jpg?quality=80&quality=90", 400, "twice"},
      {"/camera/nowhere/1.jpg", 404, "unknown recorder"},
      {"/camera/mute/1.jpg", 504, "no picture from camera mute/1 within 10 s"},
  };
  for (const Case& c : cases) {
    const gatewaytest::HttpAnswer answer = gatewaytest::httpGet(gatewayServer->port(), c.target);
    EXPECT_EQ(answer.status, c.status) << c.target;
    EXPECT_NE(answer.body.find(c.text), std::string::npos) << c.target << ": " << answer.body;
  }
  EXPECT_EQ(gatewaytest::httpGet(gatewayServer->port(), "/camera/gate/1.jpg", "", "POST").status, 405);
}

TEST_F(MediaGateway, WatchersOfOneCameraShareOneEncodePerPicture) {
  // A browser's viewer alone costs no JPEG work.
  gatewaytest::ViewerClient viewer(gatewayServer->port(), "gate");
  ASSERT_TRUE(viewer.connected());
  viewer.sendOpen(5);
  gatewaytest::Message picture;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(viewer.readPicture(picture));
    viewer.sendNext();
  }
  EXPECT_EQ(counters().mediaEncodes.load(), 0u);

  const std::uint64_t sentBefore = recorderServer->picturesSent();
  std::vector<std::unique_ptr<MjpegReader>> readers;
  for (int i = 0; i < 8; ++i)
    readers.push_back(std::make_unique<MjpegReader>(gatewayServer->port(), "/camera/gate/5.mjpg?width=348"));
  std::string jpeg;
  std::uint64_t sequence = 0;
  for (int round = 0; round < 20; ++round)
    for (auto& reader : readers) ASSERT_TRUE(reader->next(jpeg, sequence));
  const std::uint64_t snapshotEncodes = counters().mediaEncodes.load();
  EXPECT_GE(snapshotEncodes, 20u);
  // Every picture the recorder sent since is encoded once at most, whatever the watchers.
  EXPECT_LE(snapshotEncodes, recorderServer->picturesSent() - sentBefore + 1);
  readers.clear();
  EXPECT_TRUE(waitUntil([&] { return counters().mediaClients.load() == 0; }));
}

TEST_F(MediaGateway, ASlowReaderGetsTheNewestPictureNotABacklog) {
  MjpegReader slow(gatewayServer->port(), "/camera/gate/3.mjpg?quality=95", 8192);
  MjpegReader capped(gatewayServer->port(), "/camera/gate/3.mjpg?fps=5");
  std::string jpeg;
  std::uint64_t first = 0, sequence = 0;
  ASSERT_TRUE(slow.next(jpeg, first));
  const std::size_t jpegSize = jpeg.size();

  // The capped client reads while the slow one does not, for 40 pictures of the camera.
  const auto start = std::chrono::steady_clock::now();
  int cappedParts = 0;
  do {
    ASSERT_TRUE(capped.next(jpeg, sequence));
    ++cappedParts;
  } while (sequence < first + 40);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LE(cappedParts, 5 * seconds + 2);

  // What the slow reader finds is what the buffers hold (a few pictures), then the newest.
  int parts = 0;
  do {
    ASSERT_TRUE(slow.next(jpeg, sequence));
    ++parts;
  } while (sequence < first + 40);
  EXPECT_LE(parts, 12);
  // At most the part being written and the newest one wait in the gateway.
  EXPECT_LE(counters().maxSessionQueued.load(), std::int64_t(3 * jpegSize));
}

} // namespace
