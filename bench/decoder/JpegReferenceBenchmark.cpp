// libjpeg-turbo decoding the same picture at (about) the same compressed size, in the same
// process as the wavelet benchmarks, so that one run gives comparable CPU times.
#include "BenchPicture.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <vector>

namespace {

using namespace wavelet::bench;

struct Jpeg {
  std::vector<unsigned char> bytes;
  int quality = 0;
};

// 4:2:0 JPEG whose size is closest to the wavelet payload of the same target.
Jpeg CompressNear(size_t target) {
  const std::vector<uint8_t> rgb = MakeBenchPicture();
  std::vector<uint8_t> payload;
  EncodeNearSize(rgb, target, payload);
  tjhandle compressor = tjInitCompress();
  Jpeg best;
  size_t bestDistance = SIZE_MAX;
  for (int quality = 5; quality <= 100; ++quality) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (tjCompress2(compressor, rgb.data(), kBenchWidth, 0, kBenchHeight, TJPF_RGB, &data, &size, TJSAMP_420, quality,
                    TJFLAG_ACCURATEDCT) == 0) {
      const size_t distance = size > payload.size() ? size - payload.size() : payload.size() - size;
      if (distance < bestDistance) {
        bestDistance = distance;
        best.bytes.assign(data, data + size);
        best.quality = quality;
      }
    }
    tjFree(data);
  }
  tjDestroy(compressor);
  return best;
}

void BM_LibjpegTurbo(benchmark::State& state) {
  static const Jpeg small = CompressNear(40 * 1024);
  static const Jpeg large = CompressNear(120 * 1024);
  const Jpeg& jpeg = state.range(0) != 0 ? large : small;
  std::vector<unsigned char> frame(size_t(kBenchWidth) * kBenchHeight * 3);
  tjhandle decompressor = tjInitDecompress();
  for (auto _ : state) {
    // Bottom-up BGR, the wavelet decoder's output layout.
    const int failed = tjDecompress2(decompressor, jpeg.bytes.data(), jpeg.bytes.size(), frame.data(), kBenchWidth, 0,
                                     kBenchHeight, TJPF_BGR, TJFLAG_BOTTOMUP);
    if (failed != 0) {
      state.SkipWithError("decompression failed");
      break;
    }
    benchmark::DoNotOptimize(frame.data());
  }
  tjDestroy(decompressor);
  state.SetLabel("libjpeg-turbo " + std::to_string(jpeg.bytes.size()) + "B q" + std::to_string(jpeg.quality));
  state.counters["Mpx/s"] =
      benchmark::Counter(double(kBenchWidth) * kBenchHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LibjpegTurbo)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
