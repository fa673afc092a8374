// Recorder simulator throughput: pictures per second it can render, encode and serve to one
// viewer at full size, and the CPU one served stream costs at 25 pictures per second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/Socket.h"
#include "recorder/server/PayloadEncoder.h"
#include "recorder/server/RecorderServer.h"
#include "base/LittleEndian.h"
#include "engine/MessageWriter.h"
#include "recorder/sources/TestPattern.h"

using namespace recorder;

namespace {

// A minimal viewer: blocking reads of whole messages, one request per picture.
class BenchViewer {
public:
  bool open(int port, std::int32_t id) {
    socket_ = platform::socketCreate();
    return socket_ != platform::kNoSocket && platform::socketConnect(socket_, "127.0.0.1", port) &&
           send(protocol::kRequestOpen, id) && readMessage() && readMessage(); // established, first picture
  }
  ~BenchViewer() { platform::socketClose(socket_); }
  bool send(std::int32_t code, std::int32_t word2 = 0) {
    const std::vector<std::uint8_t> request = protocol::requestMessage(code, word2);
    return platform::socketSend(socket_, request.data(), static_cast<int>(request.size())) == 32;
  }
  bool nextPicture() { return send(protocol::kRequestNext) && readMessage(); }

private:
  bool read(std::size_t length) {
    buffer_.resize(length);
    std::size_t have = 0;
    while (have < length) {
      if (platform::socketWaitReadable(socket_, 5000) != 1) return false;
      const int count = platform::socketReceive(socket_, buffer_.data() + have, static_cast<int>(length - have));
      if (count < 0) return false;
      have += static_cast<std::size_t>(count);
    }
    return true;
  }
  bool readMessage() { return read(8) && read(le::readU32(buffer_.data() + 4) - 8); }

  platform::SocketHandle socket_ = platform::kNoSocket;
  std::vector<std::uint8_t> buffer_;
};

ServerOptions benchOptions(double picturesPerSecond, int level, int fields) {
  ServerOptions options;
  options.port = 0;
  options.quiet = true;
  options.picturesPerSecond = picturesPerSecond;
  options.encoding.level = level;
  options.encoding.fields = fields;
  return options;
}

// Pictures per second served to one viewer that asks as fast as it can (test pattern,
// rendered and encoded for every picture). Arguments: level, fields.
void BM_ServeOneViewer(benchmark::State& state) {
  std::ostringstream log;
  RecorderServer server(benchOptions(0, static_cast<int>(state.range(0)), static_cast<int>(state.range(1))), log);
  std::string error;
  if (!server.start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  BenchViewer viewer;
  if (!viewer.open(server.port(), 1)) {
    state.SkipWithError("cannot open");
    return;
  }
  for (auto _ : state)
    if (!viewer.nextPicture()) {
      state.SkipWithError("picture lost");
      break;
    }
  state.SetItemsProcessed(state.iterations());
  server.stop();
}
BENCHMARK(BM_ServeOneViewer)->Args({0, 2})->Args({0, 1})->Args({2, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

// Time from the open request to the first picture of a camera no viewer has watched yet,
// at the simulator's default rate: what a browser's first picture waits for at the recorder.
// Each iteration opens the next connection id (1..16), after the server has run a moment.
// Argument: the cameras kept ready (0: each first picture is encoded when asked; 16: the
// program's default, the first picture is the camera's latest one).
void BM_FirstPictureOfNewCamera(benchmark::State& state) {
  std::ostringstream log;
  ServerOptions options = benchOptions(25, 0, 2);
  options.readyCameras = static_cast<int>(state.range(0));
  RecorderServer server(options, log);
  std::string error;
  if (!server.start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  // Time for the ready cameras' first round of encodes, even on a loaded machine.
  std::this_thread::sleep_for(std::chrono::milliseconds(options.readyCameras > 0 ? 3000 : 200));
  std::int32_t id = 1;
  for (auto _ : state) {
    BenchViewer viewer;
    if (!viewer.open(server.port(), id++)) {
      state.SkipWithError("cannot open");
      break;
    }
  }
  server.stop();
}
BENCHMARK(BM_FirstPictureOfNewCamera)
    ->Arg(0)
    ->Arg(kProgramReadyCameras)
    ->Iterations(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The two halves of that work, per picture.
void BM_RenderTestPattern(benchmark::State& state) {
  TestPattern pattern;
  PictureContext context;
  context.cameraName = "Camera 1";
  RgbFrame frame;
  frame.resize(720, 576);
  for (auto _ : state) {
    context.elapsedMs += 40;
    pattern.render(context, frame);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderTestPattern)->Unit(benchmark::kMillisecond);

void BM_EncodeFullSize(benchmark::State& state) {
  TestPattern pattern;
  PictureContext context;
  RgbFrame frame;
  frame.resize(720, 576);
  pattern.render(context, frame);
  const auto encoder = makeWaveletEncoder();
  std::vector<std::uint8_t> payload;
  std::string error;
  for (auto _ : state) encoder->encode(frame, {}, payload, error);
  state.SetItemsProcessed(state.iterations());
  state.counters["payload_bytes"] = static_cast<double>(payload.size());
}
BENCHMARK(BM_EncodeFullSize)->Unit(benchmark::kMillisecond);

// CPU of the whole process (server and these viewers) per stream, with N viewers each
// served at 25 pictures per second for three seconds; in percent of one core. Second
// argument 1: all viewers watch the same connection id (one camera, shared pictures).
void BM_CpuPerStreamAt25(benchmark::State& state) {
  const int viewers = static_cast<int>(state.range(0));
  const bool sameCamera = state.range(1) != 0;
  for (auto _ : state) {
    std::ostringstream log;
    RecorderServer server(benchOptions(25, 0, 2), log);
    std::string error;
    if (!server.start(error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    std::vector<std::unique_ptr<BenchViewer>> clients;
    for (int i = 0; i < viewers; ++i) {
      clients.push_back(std::make_unique<BenchViewer>());
      if (!clients.back()->open(server.port(), sameCamera ? 1 : i + 1)) {
        state.SkipWithError("cannot open");
        return;
      }
    }
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    std::atomic<long> pictures{0};
    for (auto& client : clients)
      threads.emplace_back([&client, &pictures, wallStart] {
        while (std::chrono::steady_clock::now() - wallStart < std::chrono::seconds(3))
          if (client->nextPicture()) pictures.fetch_add(1);
      });
    for (auto& thread : threads) thread.join();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    state.counters["cpu_percent_per_stream"] = 100.0 * cpu / wall / viewers;
    state.counters["pictures_per_second_per_stream"] = static_cast<double>(pictures.load()) / wall / viewers;
    server.stop();
  }
}
BENCHMARK(BM_CpuPerStreamAt25)
    ->Args({1, 0})
    ->Args({4, 0})
    ->Args({4, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
