// Time of the four-lane engine's kernels, every set this build has side by side in one run:
// the scalar model, SSE2 (carried over to WebAssembly SIMD by the compiler in the WebAssembly
// build), AVX2 natively, and the WebAssembly SIMD set. Lines and columns of a full-size
// field's luminance and one line of colour conversion, each the fastest of fifteen rounds
// (the least disturbed on a shared machine), the sets taking turns within each round.
//   web_kernel_bench
#include "decoder/MmxKernels.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using namespace wavelet::mmx;

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Candidate {
  const char* name;
  const Kernels* kernels;
  double line = 1e30, columns = 1e30, convert = 1e30; // ms per round
};

template <typename Work>
void timeInto(double& fastest, Work&& work) {
  const double start = nowMs();
  work();
  fastest = std::min(fastest, nowMs() - start);
}

} // namespace

int main() {
  constexpr int kWidth = 720, kHeight = 288, kLanes = 32, kGroups = kWidth / 8;
  std::mt19937 rng(1);
  auto sample = [&rng] { return int16_t(std::uniform_int_distribution<int>(-3000, 3000)(rng)); };
  // Extended inputs with room on both sides, as the engine passes them.
  std::vector<int16_t> low(kWidth + 64), high(kWidth + 64), line(kWidth);
  std::vector<int16_t> plane((kHeight + 64) * kLanes), columns(kHeight * kLanes);
  std::vector<int16_t> luma(8 * kGroups), cu(4 * kGroups), cv(4 * kGroups);
  std::vector<uint8_t> bgr(24 * kGroups);
  for (auto* v : {&low, &high, &plane, &luma, &cu, &cv})
    for (int16_t& s : *v) s = sample();

  std::vector<Candidate> candidates{{"scalar", &scalarKernels()}};
  if (sse2Kernels()) candidates.push_back({"SSE2", sse2Kernels()});
  if (avx2Kernels() && resolveSimdLevel(wavelet::SimdLevel::Avx2) == wavelet::SimdLevel::Avx2)
    candidates.push_back({"AVX2", avx2Kernels()});
  if (wasmKernels()) candidates.push_back({"WebAssembly SIMD", wasmKernels()});

  const int16_t* lowMid = plane.data() + 8 * kLanes;
  const int16_t* highMid = lowMid + (kHeight / 2 + 16) * kLanes;
  for (int round = 0; round < 15; ++round)
    for (Candidate& c : candidates) {
      timeInto(c.line, [&] {
        for (int row = 0; row < kHeight; ++row) c.kernels->line(low.data() + 16, high.data() + 16, kWidth, line.data());
      });
      timeInto(c.columns, [&] {
        for (int group = 0; group < kWidth / kLanes; ++group)
          c.kernels->columns(lowMid, highMid, kHeight, kLanes, kLanes, columns.data(), kLanes);
      });
      timeInto(c.convert, [&] {
        for (int row = 0; row < kHeight; ++row)
          c.kernels->convert(luma.data(), cu.data(), cv.data(), kGroups, 3, -4, 5, bgr.data());
      });
    }
#ifdef __EMSCRIPTEN__
  const char* build = "WebAssembly";
#else
  const char* build = "native";
#endif
  std::printf("%s: one %dx%d field's luminance, ms (fastest of 15 rounds)\n", build, kWidth, kHeight);
  for (const Candidate& c : candidates)
    std::printf("  %-17s lines %6.3f  columns %6.3f  colour %6.3f\n", c.name, c.line, c.columns, c.convert);
  return 0;
}
