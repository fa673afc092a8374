// Full-size two-field decodes of a natural-looking picture at about 40 KB and 120 KB, per
// engine (and SIMD level) and per skipped-level count, set up as the Decoder thread does.
// Reports ms per picture (the time column), output megapixels per second, and heap
// allocations per picture with a reused engine.
#include "BenchPicture.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "tests/support/CountedAllocation.h"

#include <benchmark/benchmark.h>

namespace {

using namespace wavelet;

struct Payloads {
  std::vector<uint8_t> small, large;
  int smallQuality = 0, largeQuality = 0;
};

const Payloads& benchPayloads() {
  static const Payloads payloads = [] {
    Payloads p;
    const std::vector<uint8_t> rgb = bench::makeBenchPicture();
    p.smallQuality = bench::encodeNearSize(rgb, 40 * 1024, p.small);
    p.largeQuality = bench::encodeNearSize(rgb, 120 * 1024, p.large);
    return p;
  }();
  return payloads;
}

struct Variant {
  EngineKind engine;
  SimdLevel simd;
  const char* name;
};
const Variant kVariants[] = {{EngineKind::Portable, SimdLevel::Automatic, "portable"},
                             {EngineKind::Mmx, SimdLevel::Scalar, "mmx-scalar"},
                             {EngineKind::Mmx, SimdLevel::Sse2, "mmx-sse2"},
                             {EngineKind::Mmx, SimdLevel::Avx2, "mmx-avx2"}};

void BM_Decode(benchmark::State& state) {
  const Variant& variant = kVariants[state.range(0)];
  const bool large = state.range(1) != 0;
  const int levels = int(state.range(2));
  const Payloads& payloads = benchPayloads();
  const std::vector<uint8_t>& payload = large ? payloads.large : payloads.small;
  FieldStreams fields;
  if (!splitPicturePayload(payload.data(), uint32_t(payload.size()), fields)) {
    state.SkipWithError("bad payload");
    return;
  }
  std::vector<uint8_t> frame(1327104);
  std::unique_ptr<CWaveletEngine> engine = createWaveletEngine(variant.engine, variant.simd);
  DecodeSettings settings;
  settings.region.colEnd = wavelet::kColumnLimits[levels];
  settings.levels = levels;
  settings.setFields(fields);
  settings.output = frame.data();
  settings.outputSize = frame.size();
  auto decodeOnce = [&] {
    CWaveletDecoder decoder(720, 576, *engine);
    const DecodeReport report = decoder.Decode(settings);
    benchmark::DoNotOptimize(frame.data());
    return report.ok() ? long(report.outWidth) * report.outHeight : -1L;
  };
  const long pixels = decodeOnce(); // grows the working buffer
  if (pixels < 0) {
    state.SkipWithError("decode failed");
    return;
  }
  const long allocationsBefore = testsupport::allocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(decodeOnce());
  const double allocations = double(testsupport::allocationCount() - allocationsBefore) / double(state.iterations());
  state.SetLabel(std::string(variant.name) + (large ? " 120KB " : " 40KB ") + std::to_string(payload.size()) + "B");
  state.counters["Mpx/s"] = benchmark::Counter(double(pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["allocs/pic"] = allocations;
}

BENCHMARK(BM_Decode)
    ->ArgNames({"engine", "large", "levels"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);

// The decoder as the Decoder thread uses it today: a new decoder and engine per picture.
void BM_DecodeFreshEngine(benchmark::State& state) {
  const std::vector<uint8_t>& payload = benchPayloads().large;
  FieldStreams fields;
  splitPicturePayload(payload.data(), uint32_t(payload.size()), fields);
  std::vector<uint8_t> frame(1327104);
  DecodeSettings settings;
  settings.region.colEnd = 696;
  settings.setFields(fields);
  settings.output = frame.data();
  settings.outputSize = frame.size();
  const long allocationsBefore = testsupport::allocationCount();
  for (auto _ : state) {
    CWaveletDecoder decoder(720, 576);
    benchmark::DoNotOptimize(decoder.Decode(settings));
  }
  state.counters["allocs/pic"] =
      double(testsupport::allocationCount() - allocationsBefore) / double(state.iterations());
}
BENCHMARK(BM_DecodeFreshEngine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
