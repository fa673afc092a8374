// Writes the benchmark picture as a PPM file and its wavelet payloads near the given sizes,
// for the codec comparison script and as fuzzing seeds.
//   decoder_bench_picture OUT_DIR [SIZE ...]
// writes OUT_DIR/picture.ppm, OUT_DIR/payload-SIZE.wlt and OUT_DIR/decoded-SIZE.ppm (the
// payload decoded again by the default engine), and prints "SIZE BYTES QUALITY".
#include "BenchPicture.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace wavelet::bench;

namespace {

bool writePpm(const std::string& name, const uint8_t* rgbTopDown, int width, int height) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  std::fwrite(rgbTopDown, 1, size_t(width) * height * 3, f);
  return std::fclose(f) == 0;
}

// Decodes a payload and turns the bottom-up BGR frame into top-down RGB.
bool decodeToRgb(const std::vector<uint8_t>& payload, std::vector<uint8_t>& rgb) {
  wavelet::FieldStreams fields;
  if (!wavelet::splitPicturePayload(payload.data(), uint32_t(payload.size()), fields)) return false;
  std::vector<uint8_t> frame(size_t(kBenchWidth) * kBenchHeight * 3);
  wavelet::CWaveletDecoder decoder(kBenchWidth, kBenchHeight);
  wavelet::DecodeSettings settings;
  settings.setFields(fields);
  settings.output = frame.data();
  settings.outputSize = frame.size();
  const wavelet::DecodeReport report = decoder.Decode(settings);
  if (!report.ok() || report.outWidth != kBenchWidth) return false;
  rgb.resize(frame.size());
  for (int row = 0; row < kBenchHeight; ++row)
    for (int x = 0; x < kBenchWidth; ++x)
      for (int c = 0; c < 3; ++c)
        rgb[(size_t(row) * kBenchWidth + x) * 3 + c] =
            frame[(size_t(kBenchHeight - 1 - row) * kBenchWidth + x) * 3 + 2 - c];
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR [SIZE ...]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<uint8_t> rgb = makeBenchPicture();
  if (!writePpm(dir + "/picture.ppm", rgb.data(), kBenchWidth, kBenchHeight)) {
    std::perror("picture.ppm");
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    const size_t target = size_t(std::strtoul(argv[i], nullptr, 10));
    std::vector<uint8_t> payload;
    const int quality = encodeNearSize(rgb, target, payload);
    const std::string name = dir + "/payload-" + argv[i] + ".wlt";
    FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return 1;
    std::fwrite(payload.data(), 1, payload.size(), f);
    std::fclose(f);
    std::vector<uint8_t> decoded;
    if (!decodeToRgb(payload, decoded) ||
        !writePpm(dir + "/decoded-" + argv[i] + ".ppm", decoded.data(), kBenchWidth, kBenchHeight)) {
      std::fprintf(stderr, "decoding %s failed\n", name.c_str());
      return 1;
    }
    std::printf("%zu %zu %d\n", target, payload.size(), quality);
  }
  return 0;
}
