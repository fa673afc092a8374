// Writes the benchmark picture as a PPM file and its wavelet payloads near the given sizes,
// for the codec comparison script and as fuzzing seeds.
//   decoder_bench_picture OUT_DIR [SIZE ...]
// writes OUT_DIR/picture.ppm and OUT_DIR/payload-SIZE.wlt, and prints "SIZE BYTES QUALITY".
#include "BenchPicture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace wavelet::bench;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [SIZE ...]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<uint8_t> rgb = MakeBenchPicture();
    if (FILE* f = std::fopen((dir + "/picture.ppm").c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", kBenchWidth, kBenchHeight);
        std::fwrite(rgb.data(), 1, rgb.size(), f);
        std::fclose(f);
    } else {
        std::perror("picture.ppm");
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const size_t target = size_t(std::strtoul(argv[i], nullptr, 10));
        std::vector<uint8_t> payload;
        const int quality = EncodeNearSize(rgb, target, payload);
        const std::string name = dir + "/payload-" + argv[i] + ".wlt";
        FILE* f = std::fopen(name.c_str(), "wb");
        if (f == nullptr) return 1;
        std::fwrite(payload.data(), 1, payload.size(), f);
        std::fclose(f);
        std::printf("%zu %zu %d\n", target, payload.size(), quality);
    }
    return 0;
}
