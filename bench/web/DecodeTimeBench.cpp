// Decode time per picture as the viewer's Decoder thread decodes: the same program built
// natively and to WebAssembly (run under node), so the two figures compare the same work on
// the same machine. Full-size two-field pictures of a natural-looking scene near 40 KB and
// 120 KB; the engine is reused across pictures, as the pipeline reuses it. Each figure is
// the median and the fastest of eight timed batches: on a machine shared with other work the
// fastest batch is the least disturbed one.
//   web_decode_bench [pictures per batch]
#include "bench/decoder/BenchPicture.h"
#include "decoder/WaveletEngine.h"
#include "engine/PictureRecord.h"
#include "presentation/PictureDecode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Engine {
  const char* name;
  wavelet::EngineKind kind;
  wavelet::SimdLevel simd;
};

struct Timing {
  double median = 0, fastest = 0; // ms per picture
};

Timing msPerPicture(const PictureRecord& record, wavelet::CWaveletEngine& engine, int perBatch) {
  std::vector<std::uint8_t> frame(768 * 576 * 3);
  presentation::DecodeRequest request;
  std::vector<double> batches;
  for (int batch = 0; batch < 9; ++batch) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < perBatch; ++i) {
      if (!presentation::decodePicture(record, request, engine, frame.data(), frame.size()).ok) {
        std::fprintf(stderr, "web_decode_bench: the picture did not decode\n");
        std::exit(1);
      }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (batch > 0) batches.push_back(took.count() / perBatch); // the first batch warms up
  }
  std::sort(batches.begin(), batches.end());
  return {batches[batches.size() / 2], batches.front()};
}

} // namespace

int main(int argc, char** argv) {
  const int perBatch = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
#ifdef __EMSCRIPTEN__
  const char* build = "WebAssembly";
#else
  const char* build = "native";
#endif
  const std::vector<std::uint8_t> rgb = wavelet::bench::makeBenchPicture();
  const Engine engines[] = {
      {"auto", wavelet::EngineKind::Automatic, wavelet::SimdLevel::Automatic},
      {"four-lane, SSE2 kernels", wavelet::EngineKind::Mmx, wavelet::SimdLevel::Sse2},
      {"portable", wavelet::EngineKind::Portable, wavelet::SimdLevel::Automatic},
  };
  for (std::size_t size : {40000u, 120000u}) {
    PictureRecord record;
    std::vector<std::uint8_t> payload;
    wavelet::bench::encodeNearSize(rgb, size, payload);
    record.reserve(std::int32_t(payload.size()));
    std::copy(payload.begin(), payload.end(), record.data);
    record.length = std::int32_t(payload.size());
    record.setVideoStandard576(true);
    for (const Engine& choice : engines) {
      auto engine = wavelet::createWaveletEngine(choice.kind, choice.simd);
      const Timing timing = msPerPicture(record, *engine, perBatch);
      std::printf("%s: %3zu KB picture, engine %-24s %7.2f ms per picture (fastest batch %.2f)\n", build,
                  payload.size() / 1000, choice.name, timing.median, timing.fastest);
    }
  }
  return 0;
}
