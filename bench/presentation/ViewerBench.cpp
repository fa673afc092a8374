// Viewer pipeline figures: CPU per picture at full size, heap allocations per picture in
// steady state, resident memory per viewer. Many viewers against a recorder in another
// process: viewer_cpu_bench.
#include "tests/support/CountedAllocation.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/FrameLayout.h"
#include "presentation/FramePipeline.h"
#include "presentation/Scaler.h"
#include "presentation/Viewer.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// One viewer on its own queue, fed full-size pictures through the window slot: every
// iteration is one picture taken, offered, decoded, scaled, marked and painted.
void BM_ViewerPicture(benchmark::State& state) {
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(1);
  testsupport::ViewerHarness h(CLanguageTable::kEnglish, 720, 576);
  paint::SoftwareCanvas canvas(720, 576);
  std::uint32_t tick = 1000;
  auto onePicture = [&] {
    ++tick;
    h.park(payload, tick, int(tick));
    h.waitForFrames(1);
    h.viewer().paint(canvas, {0, 0, 720, 576});
  };
  for (int i = 0; i < 3; ++i) onePicture(); // warm up: buffers reach their size
  if (std::getenv("BENCH_TRACE_ALLOCS")) {
    long long a0 = testsupport::allocationCount();
    ++tick;
    h.park(payload, tick, int(tick));
    long long a1 = testsupport::allocationCount();
    h.waitForFrames(1);
    long long a2 = testsupport::allocationCount();
    h.viewer().paint(canvas, {0, 0, 720, 576});
    long long a3 = testsupport::allocationCount();
    std::fprintf(stderr, "park %lld wait %lld paint %lld\n", a1 - a0, a2 - a1, a3 - a2);
  }
  const long long allocationsBefore = testsupport::allocationCount();
  const std::clock_t cpuBefore = std::clock(); // process CPU time: every thread
  long long pictures = 0;
  for (auto _ : state) {
    onePicture();
    ++pictures;
  }
  const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  pictures = pictures ? pictures : 1;
  state.counters["allocs_per_picture"] = double(testsupport::allocationCount() - allocationsBefore) / double(pictures);
  // Share of one core at 25 pictures per second, in percent.
  state.counters["cpu_percent_at_25fps"] = cpuSeconds / double(pictures) * 25.0 * 100.0;
}
BENCHMARK(BM_ViewerPicture)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(100);

// The Decoder thread's work on one picture alone (decode, scale, overlay), on this thread.
void BM_DecodeScaleOverlay(benchmark::State& state) {
  CLanguageTable language(CLanguageTable::kEnglish);
  CFramePipeline pipeline;
  pipeline.reset(&language);
  pipeline.allocateFrames();
  pipeline.overlay().initOverlay(&language);
  // Without a thread: processPicture needs the engine, made by startDecoderThread.
  pipeline.startDecoderThread();
  pipeline.stopDecoderThread();
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(2);
  PictureRecord record;
  record.reserve(std::int32_t(payload.size()));
  std::copy(payload.begin(), payload.end(), record.data);
  record.length = std::int32_t(payload.size());
  testsupport::fillHeader(record, 1);
  record.clientWidth = int(state.range(0));
  record.clientHeight = int(state.range(1));
  bool ok = pipeline.processPicture(record); // warm up
  const long long allocationsBefore = testsupport::allocationCount();
  long long pictures = 0;
  for (auto _ : state) {
    ok = pipeline.processPicture(record) && ok;
    ++pictures;
  }
  state.counters["allocs_per_picture"] =
      double(testsupport::allocationCount() - allocationsBefore) / double(pictures ? pictures : 1);
  if (!ok) state.SkipWithError("decode failed");
}
BENCHMARK(BM_DecodeScaleOverlay)->Args({720, 576})->Args({360, 288})->Args({1024, 768})->Unit(benchmark::kMillisecond);

// Scaling and the on-screen display alone (the Decoder thread's work without the decoder).
void BM_ScaleAndOverlay(benchmark::State& state) {
  CLanguageTable language(CLanguageTable::kEnglish);
  Overlay overlay;
  overlay.initOverlay(&language);
  std::vector<std::uint8_t> work(presentation::kFrameBytes, 0x40), frame(presentation::kFrameBytes);
  PictureRecord record;
  testsupport::fillHeader(record, 123);
  const int width = int(state.range(0)), height = int(state.range(1));
  for (auto _ : state) {
    presentation::scaleNearest(work.data(), 720, 576, frame.data(), width, height);
    overlay.setDestination(width, height, frame.data());
    overlay.setRecord(&record);
    overlay.drawOverlay(true);
    benchmark::DoNotOptimize(frame.data());
  }
}
BENCHMARK(BM_ScaleAndOverlay)->Args({720, 576})->Args({696, 576})->Args({360, 288})->Unit(benchmark::kMicrosecond);

// Painting a ready frame and the status screen into a window-sized canvas.
void BM_Paint(benchmark::State& state) {
  testsupport::ViewerHarness h(CLanguageTable::kEnglish, 720, 576);
  const bool statusScreen = state.range(0) != 0;
  if (!statusScreen) {
    h.park(testsupport::encodedTestPicture(0), 1000, 1);
    h.waitForFrames(1);
  }
  paint::SoftwareCanvas canvas(720, 576);
  for (auto _ : state) h.viewer().paint(canvas, {0, 0, 720, 576});
  state.SetLabel(statusScreen ? "status screen" : "picture");
}
BENCHMARK(BM_Paint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Resident memory of viewers alone (no recorder, no host canvases): each one started and
// fed one full-size picture, so every buffer has been touched.
void BM_ResidentPerViewer(benchmark::State& state) {
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(1);
  for (auto _ : state) {
    const long before = residentKiB();
    std::vector<std::unique_ptr<testsupport::ViewerHarness>> viewers;
    for (int i = 0; i < state.range(0); ++i) {
      viewers.push_back(std::make_unique<testsupport::ViewerHarness>(CLanguageTable::kEnglish, 720, 576));
      viewers.back()->park(payload, 1000, 1);
      viewers.back()->waitForFrames(1);
      viewers.back()->park(payload, 1001, 2);
      viewers.back()->waitForFrames(1);
    }
    state.counters["resident_MiB_per_viewer"] = double(residentKiB() - before) / 1024.0 / double(state.range(0));
  }
}
BENCHMARK(BM_ResidentPerViewer)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
