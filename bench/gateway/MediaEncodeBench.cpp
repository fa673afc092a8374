// A camera's picture as a JPEG: decode (fastest engine) and TurboJPEG encode of one 720 x 576
// recorder picture, at the full size and at the sizes the resolution levels give; and the
// fidelity of the JPEG to the viewer's own decode (PSNR) with its size, per quality.
#include "decoder/WaveletEngine.h"
#include "engine/MessageWriter.h"
#include "engine/PictureRecord.h"
#include "hosts/gateway/RecorderLink.h"
#include "hosts/gateway/media/PictureRenderer.h"
#include "presentation/FrameLayout.h"
#include "presentation/PictureDecode.h"
#include "bench/decoder/BenchPicture.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstring>

namespace {

using gateway::media::JpegBytes;
using gateway::media::PictureRenderer;
using gateway::media::RenderSpec;

// The bench picture as a recorder sends it (about 100 KB), as record and as picture message.
struct BenchInput {
  PictureRecord record;
  gateway::Bytes message;
  BenchInput() {
    std::vector<std::uint8_t> payload;
    wavelet::bench::encodeNearSize(wavelet::bench::makeBenchPicture(), 100 * 1024, payload);
    record.reserve(std::int32_t(payload.size()));
    std::memcpy(record.data, payload.data(), payload.size());
    record.length = std::int32_t(payload.size());
    record.setVideoStandard576(true);
    record.setText(PictureRecord::kCameraOffset, PictureRecord::kCameraSize, "Bench");
    message = protocol::pictureMessage(record.header, record.data, std::size_t(record.length));
  }
};
const BenchInput& input() {
  static const BenchInput bench;
  return bench;
}

void DecodeAndEncode(benchmark::State& state) {
  const gateway::Bytes& message = input().message;
  CLanguageTable language(CLanguageTable::kEnglish);
  PictureRenderer renderer(language);
  const std::vector<RenderSpec> specs = {{int(state.range(0)), 80, state.range(1) != 0}};
  std::vector<JpegBytes> jpegs;
  std::string reason;
  for (auto _ : state) {
    if (!renderer.render(message.data(), message.size(), specs, jpegs, reason)) state.SkipWithError(reason.c_str());
    benchmark::DoNotOptimize(jpegs);
  }
  state.counters["jpeg_bytes"] = jpegs.empty() || !jpegs[0] ? 0 : double(jpegs[0]->size());
}
BENCHMARK(DecodeAndEncode)
    ->ArgNames({"width", "overlay"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({348, 0})
    ->Args({160, 0})
    ->Unit(benchmark::kMillisecond);

// PSNR of the JPEG against the viewer's decode, and its size, per quality (time: the encode).
void Quality(benchmark::State& state) {
  const PictureRecord& record = input().record;
  const gateway::Bytes& message = input().message;
  std::vector<std::uint8_t> native(presentation::kFrameBytes);
  auto engine = wavelet::createWaveletEngine();
  presentation::DecodeRequest request;
  const presentation::DecodeOutcome outcome =
      presentation::decodePicture(record, request, *engine, native.data(), native.size());
  CLanguageTable language(CLanguageTable::kEnglish);
  PictureRenderer renderer(language);
  std::vector<JpegBytes> jpegs;
  std::string reason;
  for (auto _ : state)
    renderer.render(message.data(), message.size(), {{0, int(state.range(0)), false}}, jpegs, reason);
  if (!outcome.ok || jpegs.empty() || !jpegs[0]) return state.SkipWithError("no picture");
  std::vector<std::uint8_t> decoded(native.size());
  tjhandle handle = tjInitDecompress();
  tjDecompress2(handle, jpegs[0]->data(), jpegs[0]->size(), decoded.data(), outcome.width, 0, outcome.height, TJPF_BGR,
                TJFLAG_BOTTOMUP);
  tjDestroy(handle);
  double sum = 0;
  const std::size_t n = std::size_t(outcome.width) * outcome.height * 3;
  for (std::size_t i = 0; i < n; ++i) sum += (double(decoded[i]) - native[i]) * (double(decoded[i]) - native[i]);
  state.counters["psnr_db"] = sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(n) / sum);
  state.counters["jpeg_bytes"] = double(jpegs[0]->size());
}
BENCHMARK(Quality)->ArgName("quality")->Arg(50)->Arg(80)->Arg(90)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
