// Full-size two-field decodes of a natural-looking picture at about 40 KB and 120 KB, per
// engine (and SIMD level) and per skipped-level count, set up as the Decoder thread does; and
// of the recorder's test pattern at its default quality (about 157 KB, the pictures of
// viewer_cpu_bench), whose many long codes and escapes the natural picture hardly has.
// Reports ms per picture (the time column), output megapixels per second, and heap
// allocations per picture with a reused engine.
#include "BenchPicture.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/sources/TestPattern.h"
#include "tests/support/CountedAllocation.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wavelet;

struct Payloads {
  std::vector<uint8_t> small, large;
  int smallQuality = 0, largeQuality = 0;
  std::vector<uint8_t> pattern; // the recorder's test pattern, default quality
};

const Payloads& benchPayloads() {
  static const Payloads payloads = [] {
    Payloads p;
    const std::vector<uint8_t> rgb = bench::makeBenchPicture();
    p.smallQuality = bench::encodeNearSize(rgb, 40 * 1024, p.small);
    p.largeQuality = bench::encodeNearSize(rgb, 120 * 1024, p.large);
    recorder::RgbFrame frame;
    frame.resize(720, 576);
    recorder::TestPattern().render(recorder::PictureContext{}, frame);
    encodePicture(frame.pixels.data(), frame.width, frame.height, frame.stride(), EncoderSettings{}, p.pattern);
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

// Decodes `payload` with a reused engine, `levels` finest levels left out.
void decodeRepeatedly(benchmark::State& state, const Variant& variant, const std::vector<uint8_t>& payload, int levels,
                      const std::string& label) {
  FieldStreams fields;
  if (payload.empty() || !splitPicturePayload(payload.data(), uint32_t(payload.size()), fields)) {
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
  state.SetLabel(std::string(variant.name) + " " + label + " " + std::to_string(payload.size()) + "B");
  state.counters["Mpx/s"] = benchmark::Counter(double(pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["allocs/pic"] = allocations;
}

void BM_Decode(benchmark::State& state) {
  const bool large = state.range(1) != 0;
  const Payloads& payloads = benchPayloads();
  decodeRepeatedly(state, kVariants[state.range(0)], large ? payloads.large : payloads.small, int(state.range(2)),
                   large ? "120KB" : "40KB");
}

void BM_DecodeTestPattern(benchmark::State& state) {
  decodeRepeatedly(state, kVariants[state.range(0)], benchPayloads().pattern, 0, "test pattern");
}

BENCHMARK(BM_DecodeTestPattern)->ArgNames({"engine"})->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Decode)
    ->ArgNames({"engine", "large", "levels"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);

// Entropy decoding alone: both fields' bands into the coefficient planes (with the planes'
// clear), no transform and no conversion. Payload 0 is the test pattern, 1 and 2 the natural
// picture at about 40 KB and 120 KB. Reports ms per picture and coded megabits per second.
void BM_EntropyDecode(benchmark::State& state) {
  const Payloads& payloads = benchPayloads();
  const std::vector<uint8_t>* const kPayloads[] = {&payloads.pattern, &payloads.small, &payloads.large};
  const std::vector<uint8_t>& payload = *kPayloads[state.range(0)];
  FieldStreams fields;
  if (payload.empty() || !splitPicturePayload(payload.data(), uint32_t(payload.size()), fields)) {
    state.SkipWithError("bad payload");
    return;
  }
  std::unique_ptr<CWaveletEngine> engine = createWaveletEngine(EngineKind::Mmx, SimdLevel::Automatic);
  DecodeSettings settings;
  settings.setFields(fields);
  if (!engine->Init(720, 576, settings)) {
    state.SkipWithError("init failed");
    return;
  }
  for (auto _ : state) {
    bool ok = engine->DecodeField(fields.firstData, uint32_t(fields.firstLength));
    if (fields.secondData != nullptr) ok = engine->DecodeField(fields.secondData, uint32_t(fields.secondLength)) && ok;
    if (!ok) {
      state.SkipWithError("decode failed");
      return;
    }
  }
  state.SetLabel(std::to_string(payload.size()) + "B");
  state.counters["Mbit/s"] =
      benchmark::Counter(double(payload.size()) * 8e-6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EntropyDecode)->ArgNames({"payload"})->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

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
