// What a viewer costs the process that embeds it (a browser): window messages per picture,
// resident memory after a hostile message, and after many start/stop cycles.
//   build/native/bench/presentation/bench_presentation_embedding
// Counters, not times, are the figures here; each case runs once. Run it with
// MALLOC_MMAP_THRESHOLD_=131072, so that glibc returns every freed large block at once and
// resident memory shows what the viewer holds rather than what malloc keeps in reserve.
#include "platform/Time.h"
#include "presentation/EmbeddedViewer.h"
#include "tests/support/FakeRecorder.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerTestAccess.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

using namespace testsupport;

namespace {

// Resident set of the process in KiB (Linux).
long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

// A recorder that streams decodable pictures; the picture at request `hostileAt` (counted
// over the whole run) is replaced by one with a body of `hostileBytes` bytes of noise.
FakeRecorder::Responder streaming(int hostileAt = -1, std::int32_t hostileBytes = 0) {
  auto payload = std::make_shared<Bytes>(encodedTestPicture(0));
  auto requests = std::make_shared<std::atomic<int>>(0);
  return [=](const RecordedRequest& request) -> Bytes {
    const int n = (*requests)++;
    HeaderTexts texts;
    texts.pictureNumber = std::to_string(n);
    Bytes reply = request.words.words[0] == 2 ? established() : Bytes{};
    const Bytes one = n == hostileAt ? picture(texts, body(hostileBytes, 7)) : picture(texts, *payload);
    reply.insert(reply.end(), one.begin(), one.end());
    return reply;
  };
}

// One viewer made through the hosts' facade, on a message window this thread pumps.
struct HostedViewer {
  explicit HostedViewer(int port) {
    embed::ViewerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.language = CLanguageTable::kEnglish;
    viewer = embed::createViewer(settings);
    embed::attachWindow(viewer, window.handle());
    embed::startViewer(viewer);
  }
  ~HostedViewer() { embed::destroyViewer(viewer); }

  // Pumps until `frames` more kMsgFrameDecoded messages were handled or `timeoutMs` passed; after each
  // kMsgFrameDecoded the window thread is busy for `busyMs` (painting, other page work).
  bool pumpFrames(int frames, std::uint32_t busyMs = 0, std::uint32_t timeoutMs = 60000) {
    const int target = counts[platform::kMsgFrameDecoded] + frames;
    const ViewerHostWindow host{window.handle(), 720, 576, false};
    const std::uint32_t begin = platform::tickCount();
    while (counts[platform::kMsgFrameDecoded] < target) {
      if (platform::tickCount() - begin > timeoutMs) return false;
      window.pump(
          [&](const platform::WindowMessage& message) {
            ++counts[message.message];
            embed::dispatchMessage(viewer, message, host);
            if (message.message == platform::kMsgFrameDecoded && busyMs > 0) platform::sleepMs(busyMs);
          },
          20);
      window.takeInvalidated();
    }
    return true;
  }

  platform::MessageWindow window;
  CViewer* viewer = nullptr;
  std::map<std::uint32_t, int> counts;
};

// Window messages per decoded picture, with an idle window thread and with one that is busy
// for 100 ms after every picture.
void MessagesPerPicture(benchmark::State& state) {
  NetworkSession network;
  FakeRecorder recorder(streaming());
  for (auto _ : state) {
    HostedViewer hosted(recorder.port());
    hosted.pumpFrames(5); // connected and streaming
    hosted.counts.clear();
    const int pictures = 40;
    if (!hosted.pumpFrames(pictures, std::uint32_t(state.range(0)))) state.SkipWithError("pictures stopped");
    int total = 0;
    for (const auto& [message, count] : hosted.counts) total += count;
    state.counters["1025_per_picture"] = double(hosted.counts[platform::kMsgPictureWaiting]) / pictures;
    state.counters["1029_per_picture"] = double(hosted.counts[platform::kMsgOfferPicture]) / pictures;
    state.counters["1028_per_picture"] = double(hosted.counts[platform::kMsgFrameDecoded]) / pictures;
    state.counters["all_per_picture"] = double(total) / pictures;
  }
}
BENCHMARK(MessagesPerPicture)->Arg(0)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Resident memory of one streaming viewer before and after one picture of the given body
// size arrives (16 MiB: the old limit of a message; 3,318,992: the largest picture the format
// allows), and after twenty ordinary pictures more.
void ResidentAfterHostilePicture(benchmark::State& state) {
  NetworkSession network;
  const std::int32_t hostileBytes = std::int32_t(state.range(0));
  FakeRecorder recorder(streaming(10, hostileBytes));
  for (auto _ : state) {
    HostedViewer hosted(recorder.port());
    hosted.pumpFrames(8);
    const long steady = residentKiB();
    // The hostile picture (request 10) fails to decode or fails the connection; either
    // way ordinary pictures follow.
    hosted.pumpFrames(4, 0, 30000);
    const long afterSpike = residentKiB();
    hosted.pumpFrames(20, 0, 30000);
    const long afterwards = residentKiB();
    // The picture buffers the viewer holds on to, read once its threads have stopped.
    hosted.viewer->stop();
    CConnection& connection = ViewerTestAccess::connection(*hosted.viewer);
    const double held = double(connection.machine().capacity()) + connection.receiveSlot.capacity +
                        connection.windowSlot[0].capacity + hosted.viewer->currentPicture().capacity;
    state.counters["steady_MiB"] = steady / 1024.0;
    state.counters["growth_after_hostile_MiB"] = (afterSpike - steady) / 1024.0;
    state.counters["growth_20_pictures_later_MiB"] = (afterwards - steady) / 1024.0;
    state.counters["picture_buffers_held_MiB"] = held / 1048576.0;
  }
}
BENCHMARK(ResidentAfterHostilePicture)
    ->Arg(16 * 1024 * 1024 - 1024)
    ->Arg(3318992)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// Resident memory growth over 1,000 start/stop cycles of one viewer (after a first cycle,
// which makes what every later one reuses).
void ResidentAfterRestarts(benchmark::State& state) {
  NetworkSession network;
  for (auto _ : state) {
    HostedViewer hosted(-1);
    hosted.viewer->stop();
    hosted.viewer->attachWindow(hosted.window.handle());
    hosted.viewer->start();
    const long before = residentKiB();
    for (int i = 0; i < state.range(0); ++i) {
      hosted.viewer->stop();
      hosted.viewer->attachWindow(hosted.window.handle());
      hosted.viewer->start();
    }
    state.counters["growth_KiB"] = double(residentKiB() - before);
  }
}
BENCHMARK(ResidentAfterRestarts)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
