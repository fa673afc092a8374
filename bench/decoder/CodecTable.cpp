// One table, measured in one process: the wavelet engines (portable, four-lane with each kernel
// set) against libjpeg-turbo decoding the same picture at the same compressed size, as 4:2:2
// (the wavelet pictures' own sampling) and as 4:2:0. CPU time per full 720 x 576 picture,
// the ratio to libjpeg-turbo 4:2:2 of the same size, and the PSNR of each decoded picture
// against the source. A second table shows the wavelet engines at the reduced sizes
// (levels 1-4) and for a single field.
//
//   decoder_table_bench [--rounds N]           both tables (Markdown)
//   decoder_table_bench --only NAME --size small|large [--levels L] [--one-field] --seconds S
//                                              decodes one contestant in a loop (for a profiler)
//
// Contestants take turns round by round, so a load change on a shared machine hits all of
// them alike; each figure is the median of the rounds.
#include "BenchPicture.h"

#include "decoder/MmxKernels.h"
#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

// The Windows builds have no libjpeg-turbo: there the table shows the wavelet engines only.
#if __has_include(<turbojpeg.h>)
#include <turbojpeg.h>
#define CAMVIEW_WITH_TURBOJPEG 1
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wavelet;
using namespace wavelet::bench;

#if defined(_WIN32)
// clock() measures wall time on Windows: there each figure is the fastest round instead of
// the median, the round least disturbed by other work.
constexpr bool kCpuTime = false;
double cpuSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
#else
constexpr bool kCpuTime = true;
double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }
#endif

// PSNR over all three channels of two top-down RGB pictures.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double squares = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    squares += d * d;
  }
  const double mse = squares / double(a.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// A decoder under test: decodes its picture once per call into its own frame.
struct Contestant {
  std::string name;
  size_t compressedBytes = 0;
  std::function<bool()> decode;
  std::function<std::vector<uint8_t>()> toRgb;   // the last decoded picture, top-down RGB
  std::vector<double> perPicture;                // CPU seconds per picture, one per round
  double entropy = 0, transform = 0, colour = 0; // wavelet stages of the current round, seconds (wall)
  double stages[3] = {1e9, 1e9, 1e9};            // their smallest per-picture figures over the rounds
};

struct WaveletSetup {
  EngineKind engine;
  SimdLevel simd;
  const char* name;
};
const WaveletSetup kEngines[] = {{EngineKind::Portable, SimdLevel::Automatic, "portable"},
                                 {EngineKind::Mmx, SimdLevel::Scalar, "mmx, scalar model"},
                                 {EngineKind::Mmx, SimdLevel::Sse2, "mmx, SSE2 kernels"},
                                 {EngineKind::Mmx, SimdLevel::Avx2, "mmx, AVX2 kernels"}};

std::unique_ptr<Contestant> waveletContestant(const WaveletSetup& setup, const std::vector<uint8_t>& payload,
                                              int levels, bool oneField) {
  auto c = std::make_unique<Contestant>();
  c->name = setup.name;
  if (mmx::resolveSimdLevel(setup.simd) != setup.simd && setup.engine == EngineKind::Mmx) return nullptr;
  c->compressedBytes = payload.size();
  auto fields = std::make_shared<FieldStreams>();
  if (!splitPicturePayload(payload.data(), uint32_t(payload.size()), *fields)) return nullptr;
  auto engine = std::shared_ptr<CWaveletEngine>(createWaveletEngine(setup.engine, setup.simd));
  auto frame = std::make_shared<std::vector<uint8_t>>(size_t(kBenchWidth) * kBenchHeight * 3);
  auto size = std::make_shared<std::pair<int, int>>(0, 0);
  Contestant* self = c.get();
  DecodeSettings settings;
  settings.levels = levels;
  settings.setFields(*fields);
  if (oneField) {
    settings.secondFieldData = nullptr;
    settings.secondFieldLength = 0;
  }
  settings.output = frame->data();
  settings.outputSize = frame->size();
  c->decode = [=] {
    CWaveletDecoder decoder(kBenchWidth, kBenchHeight, *engine);
    const DecodeReport report = decoder.Decode(settings);
    *size = {report.outWidth, report.outHeight};
    self->entropy += report.timeEntropy;
    self->transform += report.timeTransform;
    self->colour += report.timeColour;
    return report.ok();
  };
  c->toRgb = [=] {
    std::vector<uint8_t> rgb(frame->size());
    const auto [w, h] = *size;
    if (w != kBenchWidth || h != kBenchHeight) return std::vector<uint8_t>{};
    for (int row = 0; row < h; ++row)
      for (int x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k)
          rgb[(size_t(row) * w + x) * 3 + k] = (*frame)[(size_t(h - 1 - row) * w + x) * 3 + 2 - k];
    return rgb;
  };
  return c;
}

#if defined(CAMVIEW_WITH_TURBOJPEG)
// The libjpeg-turbo quality whose file is closest in size to `target` bytes.
std::vector<unsigned char> jpegNear(const std::vector<uint8_t>& rgb, size_t target, int sampling) {
  tjhandle compressor = tjInitCompress();
  std::vector<unsigned char> best;
  size_t bestDistance = SIZE_MAX;
  for (int quality = 5; quality <= 100; ++quality) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (tjCompress2(compressor, rgb.data(), kBenchWidth, 0, kBenchHeight, TJPF_RGB, &data, &size, sampling, quality,
                    TJFLAG_ACCURATEDCT) == 0) {
      const size_t distance = size > target ? size - target : target - size;
      if (distance < bestDistance) {
        bestDistance = distance;
        best.assign(data, data + size);
      }
    }
    tjFree(data);
  }
  tjDestroy(compressor);
  return best;
}

std::unique_ptr<Contestant> jpegContestant(const std::vector<uint8_t>& rgb, size_t target, int sampling) {
  auto c = std::make_unique<Contestant>();
  c->name = sampling == TJSAMP_422 ? "libjpeg-turbo 4:2:2" : "libjpeg-turbo 4:2:0";
  auto jpeg = std::make_shared<std::vector<unsigned char>>(jpegNear(rgb, target, sampling));
  c->compressedBytes = jpeg->size();
  auto frame = std::make_shared<std::vector<uint8_t>>(size_t(kBenchWidth) * kBenchHeight * 3);
  auto handle = std::shared_ptr<void>(tjInitDecompress(), [](void* h) { tjDestroy(h); });
  c->decode = [=] {
    // Bottom-up BGR, the wavelet decoder's output layout; the default (accurate) IDCT.
    return tjDecompress2(handle.get(), jpeg->data(), jpeg->size(), frame->data(), kBenchWidth, 0, kBenchHeight,
                         TJPF_BGR, TJFLAG_BOTTOMUP) == 0;
  };
  c->toRgb = [=] {
    std::vector<uint8_t> out(frame->size());
    for (int row = 0; row < kBenchHeight; ++row)
      for (int x = 0; x < kBenchWidth; ++x)
        for (int k = 0; k < 3; ++k)
          out[(size_t(row) * kBenchWidth + x) * 3 + k] =
              (*frame)[(size_t(kBenchHeight - 1 - row) * kBenchWidth + x) * 3 + 2 - k];
    return out;
  };
  return c;
}

#endif

// One round: every contestant decodes for at least `budget` CPU seconds (3 pictures at least).
// With wall time, short rounds (3 pictures) and three times as many of them make a round
// without interruption likely.
void measureRounds(std::vector<Contestant*>& contestants, int rounds, double budget) {
  if (!kCpuTime) {
    budget = 0;
    rounds *= 3;
  }
  for (Contestant* c : contestants) c->decode(); // warm caches and grow working buffers
  for (int round = 0; round < rounds; ++round)
    for (Contestant* c : contestants) {
      c->entropy = c->transform = c->colour = 0;
      long pictures = 0;
      const double start = cpuSeconds();
      double used = 0;
      while (pictures < 3 || used < budget) {
        if (!c->decode()) {
          std::fprintf(stderr, "%s: decode failed\n", c->name.c_str());
          std::exit(1);
        }
        ++pictures;
        used = cpuSeconds() - start;
      }
      c->perPicture.push_back(used / double(pictures));
      // Stage times are wall clock: the quietest round tells them best.
      c->stages[0] = std::min(c->stages[0], c->entropy / double(pictures));
      c->stages[1] = std::min(c->stages[1], c->transform / double(pictures));
      c->stages[2] = std::min(c->stages[2], c->colour / double(pictures));
    }
}

// The median of the rounds (CPU time), or the fastest round (wall time).
double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[kCpuTime ? values.size() / 2 : 0];
}

struct Options {
  int rounds = 9;
  std::string only;
  bool large = true;
  int levels = 0;
  bool oneField = false;
  double seconds = 0;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--rounds" && hasValue)
      o.rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--only" && hasValue)
      o.only = argv[++i];
    else if (a == "--size" && hasValue)
      o.large = std::string(argv[++i]) == "large";
    else if (a == "--levels" && hasValue)
      o.levels = std::clamp(std::atoi(argv[++i]), 0, 5);
    else if (a == "--one-field")
      o.oneField = true;
    else if (a == "--seconds" && hasValue)
      o.seconds = std::atof(argv[++i]);
    else
      return false;
  }
  return true;
}

const char* kUsage = "usage: decoder_table_bench [--rounds N]\n"
                     "       decoder_table_bench --only NAME --size small|large [--levels L] [--one-field] "
                     "--seconds S\n"
                     "NAME: portable, mmx-scalar, mmx-sse2, mmx-avx2, jpeg422, jpeg420\n";

// Decodes one contestant for a while, for a profiler attached to the process.
int profile(const Options& o, const std::vector<uint8_t>& rgb, const std::vector<uint8_t>& payload) {
  const char* names[] = {"portable", "mmx-scalar", "mmx-sse2", "mmx-avx2"};
  std::unique_ptr<Contestant> c;
  for (int i = 0; i < 4; ++i)
    if (o.only == names[i]) c = waveletContestant(kEngines[i], payload, o.levels, o.oneField);
#if defined(CAMVIEW_WITH_TURBOJPEG)
  if (o.only == "jpeg422") c = jpegContestant(rgb, payload.size(), TJSAMP_422);
  if (o.only == "jpeg420") c = jpegContestant(rgb, payload.size(), TJSAMP_420);
#endif
  if (!c) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  long pictures = 0;
  const double start = cpuSeconds();
  while (cpuSeconds() - start < o.seconds || pictures == 0) {
    if (!c->decode()) return 1;
    ++pictures;
  }
  std::printf("%s: %ld pictures, %.3f ms CPU each\n", c->name.c_str(), pictures,
              1e3 * (cpuSeconds() - start) / double(pictures));
  return 0;
}

void printComparison(const std::vector<uint8_t>& rgb, const std::vector<uint8_t> (&payloads)[2], int rounds) {
  std::vector<std::unique_ptr<Contestant>> owned[2];
  for (int s = 0; s < 2; ++s) {
    for (const WaveletSetup& setup : kEngines)
      if (auto c = waveletContestant(setup, payloads[s], 0, false)) owned[s].push_back(std::move(c));
#if defined(CAMVIEW_WITH_TURBOJPEG)
    owned[s].push_back(jpegContestant(rgb, payloads[s].size(), TJSAMP_422));
    owned[s].push_back(jpegContestant(rgb, payloads[s].size(), TJSAMP_420));
#endif
  }
  std::vector<Contestant*> all;
  for (auto& list : owned)
    for (auto& c : list) all.push_back(c.get());
  measureRounds(all, rounds, 0.02);

  std::printf("| decoder | size | ms / picture | x libjpeg-turbo 4:2:2 | PSNR dB | entropy / transform / colour "
              "ms (wall, quietest round) |\n|---|---|---|---|---|---|\n");
  for (auto& list : owned) {
    double reference = 0; // libjpeg-turbo 4:2:2 of the same size
    for (auto& c : list)
      if (c->name == "libjpeg-turbo 4:2:2") reference = median(c->perPicture);
    for (auto& c : list) {
      const double ms = 1e3 * median(c->perPicture);
      const std::vector<uint8_t> decoded = c->toRgb();
      std::printf("| %s | %zu B | %.2f |", c->name.c_str(), c->compressedBytes, ms);
      if (reference > 0)
        std::printf(" %.2f |", median(c->perPicture) / reference);
      else
        std::printf(" - |");
      std::printf(" %.2f |", decoded.empty() ? 0.0 : psnr(decoded, rgb));
      if (c->name.rfind("libjpeg", 0) == 0)
        std::printf(" |\n");
      else
        std::printf(" %.2f / %.2f / %.2f |\n", 1e3 * c->stages[0], 1e3 * c->stages[1], 1e3 * c->stages[2]);
    }
  }
}

void printReducedSizes(const std::vector<uint8_t>& payload, int rounds) {
  struct Row {
    std::string label;
    std::vector<std::unique_ptr<Contestant>> engines;
  };
  std::vector<Row> rows;
  for (int levels = 1; levels <= 4; ++levels) rows.push_back({"level " + std::to_string(levels), {}});
  rows.push_back({"one field (level 0)", {}});
  std::vector<Contestant*> all;
  for (size_t r = 0; r < rows.size(); ++r) {
    const bool oneField = r == 4;
    const int levels = oneField ? 0 : int(r) + 1;
    for (const WaveletSetup& setup : kEngines) {
      rows[r].engines.push_back(waveletContestant(setup, payload, levels, oneField));
      if (rows[r].engines.back()) all.push_back(rows[r].engines.back().get());
    }
  }
  measureRounds(all, rounds, 0.01);
  std::printf("\n| %zu B payload, ms / picture |", payload.size());
  for (const WaveletSetup& setup : kEngines) std::printf(" %s |", setup.name);
  std::printf("\n|---|---|---|---|---|\n");
  for (Row& row : rows) {
    std::printf("| %s |", row.label.c_str());
    for (auto& c : row.engines)
      if (c)
        std::printf(" %.3f |", 1e3 * median(c->perPicture));
      else
        std::printf(" - |");
    std::printf("\n");
  }
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::vector<uint8_t> rgb = makeBenchPicture();
  std::vector<uint8_t> payloads[2];
  encodeNearSize(rgb, 40 * 1024, payloads[0]);
  encodeNearSize(rgb, 120 * 1024, payloads[1]);
  if (!options.only.empty()) return profile(options, rgb, payloads[options.large ? 1 : 0]);

  std::printf("Decoding the %d x %d two-field bench picture, full width; %s of %d rounds.\n\n", kBenchWidth,
              kBenchHeight, kCpuTime ? "CPU time, median" : "wall time, fastest", options.rounds);
  printComparison(rgb, payloads, options.rounds);
  printReducedSizes(payloads[1], options.rounds);
  return 0;
}
