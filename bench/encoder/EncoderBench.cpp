// Encoding speed: a recorder must serve 25 pictures per second, so one picture of 720 x 576
// in two fields has 40 ms at most (on one core, beside everything else).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "recorder/encoder/ForwardTransform.h"
#include "recorder/encoder/PictureEncoder.h"

namespace {

// A picture with gradients, edges, fine texture and noise: representative work for the coder.
std::vector<uint8_t> benchPicture(int height) {
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 3.0);
  std::vector<uint8_t> rgb(720 * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 720; ++x) {
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * 720 + x) * 3;
      const double texture = 20 * std::sin(x * 0.2) * std::cos(y * 0.15);
      const bool block = ((x / 48) + (y / 36)) % 3 == 0;
      p[0] = static_cast<uint8_t>(std::clamp(60 + x / 5 + texture + noise(random), 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp((block ? 200.0 : 90.0) + noise(random), 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(40 + y / 3 - texture + noise(random), 0.0, 255.0));
    }
  return rgb;
}

void BM_EncodePicture(benchmark::State& state) {
  const int quality = static_cast<int>(state.range(0));
  const bool ntsc = state.range(1) != 0;
  const int fields = static_cast<int>(state.range(2));
  const int height = ntsc ? 486 : 576;
  const auto rgb = benchPicture(height);
  wavelet::EncoderSettings settings;
  settings.quality = quality;
  settings.standard = ntsc ? wavelet::VideoStandard::Lines486 : wavelet::VideoStandard::Lines576;
  settings.fields = fields;
  wavelet::PictureEncoder encoder;
  std::vector<uint8_t> payload;
  for (auto _ : state) {
    encoder.encode(rgb.data(), 720, height, 720 * 3, settings, payload);
    benchmark::DoNotOptimize(payload.data());
  }
  state.counters["bytes"] = static_cast<double>(payload.size());
  state.counters["pictures/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodePicture)
    ->ArgNames({"quality", "486", "fields"})
    ->Args({75, 0, 2})
    ->Args({95, 0, 2})
    ->Args({40, 0, 2})
    ->Args({75, 1, 2})
    ->Args({75, 0, 1})
    ->Unit(benchmark::kMillisecond);

// The forward transform of one luminance field plane alone (720 x 288).
void BM_ForwardTransformLumaField(benchmark::State& state) {
  std::vector<float> plane(720 * 288);
  std::mt19937 random(2);
  std::uniform_real_distribution<float> sample(-3584.0f, 3424.0f);
  std::vector<float> source(plane.size());
  for (auto& s : source) s = sample(random);
  wavelet::ForwardTransform transform;
  for (auto _ : state) {
    plane = source;
    transform.analysePlane(plane.data(), 720, 720, 288);
    benchmark::DoNotOptimize(plane.data());
  }
}
BENCHMARK(BM_ForwardTransformLumaField)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
