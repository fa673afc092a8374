// Writes the generated seed corpora of the fuzz targets: picture payloads from the wavelet
// encoder, viewer inputs with a real picture header, viewer requests, still images and font
// blocks. Seeds are small and the output is the same on every run, so the committed corpora
// can be regenerated and compared. The text seeds and the pixkit BMP and ANRL seeds are kept
// by hand. Usage: camview-fuzz-seeds <fuzz folder>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/paint/PngFile.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/server/PictureHeader.h"
#include "engine/MessageWriter.h"
#include "tests/pixkit/FontBuilder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

bool writeSeed(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) std::fprintf(stderr, "camview-fuzz-seeds: cannot write %s\n", (folder / name).string().c_str());
  return static_cast<bool>(file);
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A calm picture (gradients and two blocks) at the lowest quality: a few kilobytes.
Bytes encodedPicture(wavelet::VideoStandard standard, int fields) {
  const int width = wavelet::kPictureWidth, height = wavelet::pictureHeight(standard);
  Bytes rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      const bool block = (x / 120 + y / 96) % 5 == 0;
      p[0] = static_cast<std::uint8_t>(block ? 230 : x * 255 / width);
      p[1] = static_cast<std::uint8_t>(block ? 40 : y * 255 / height);
      p[2] = static_cast<std::uint8_t>(128);
    }
  wavelet::EncoderSettings settings;
  settings.quality = 1;
  settings.standard = standard;
  settings.fields = fields;
  Bytes payload;
  if (!wavelet::encodePicture(rgb.data(), width, height, width * 3, settings, payload)) payload.clear();
  return payload;
}

// The decoder target: three setting bytes (see DecoderFuzzer.cpp), then the data. One encoded
// picture is decoded at its full size, the others with their finest levels left out; a field
// of one is also read as a small picture.
constexpr std::uint8_t kFullSize = 0xFF;
constexpr std::uint8_t kCoarseLevels = 0x80;

bool decoderSeeds(const fs::path& folder, const Bytes& twoFields576, const Bytes& oneField486) {
  const std::size_t firstLength = le::readU32(twoFields576.data());
  const Bytes firstField(twoFields576.begin() + 4, twoFields576.begin() + 4 + static_cast<std::ptrdiff_t>(firstLength));
  return writeSeed(folder, "payload_576_two_fields", concat({0x20 | 0x10, 0x00, kFullSize}, twoFields576)) &&
         writeSeed(folder, "payload_576_two_fields_levels4",
                   concat({0x20 | 0x10 | (1 << 1), 0x00, kCoarseLevels}, twoFields576)) &&
         writeSeed(folder, "payload_486_one_field_levels3_mmx_scalar",
                   concat({0x20 | 0x40 | 0x01, 0x80 | 3, kCoarseLevels}, oneField486)) &&
         writeSeed(folder, "field_small_picture", concat({0xC0, 1, 27}, firstField));
}

// The viewer-input target: window width and height (a byte each, below 100, or both kFullSize
// for 720 x 576), status text length / 8, the text, the 208-byte picture header, the payload.
Bytes viewerInput(std::uint8_t width, std::uint8_t height, const std::string& text, const Bytes& header,
                  const Bytes& payload) {
  Bytes out{width, height, static_cast<std::uint8_t>(text.size() / 8)};
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(text.size() / 8 * 8));
  return concat(concat(out, header), payload);
}

Bytes pictureHeader(bool standard576, int level) {
  recorder::PictureHeaderFields fields;
  fields.date = "24.12.09";
  fields.time = "17:45:03";
  fields.shortText = "REC";
  fields.camera = "Camera 3";
  fields.info = "Gate, north side";
  fields.number = "42";
  fields.mark = "*";
  fields.standard576 = standard576;
  fields.level = level;
  const recorder::PictureHeaderBytes header = recorder::buildPictureHeader(fields);
  return Bytes(header.begin(), header.end());
}

bool presentationSeeds(const fs::path& folder, const Bytes& twoFields576, const Bytes& oneField486) {
  return writeSeed(folder, "status_text_only", viewerInput(64, 48, "Connecting to the recorder...", {}, {})) &&
         writeSeed(folder, "picture_576",
                   viewerInput(kFullSize, kFullSize, "", pictureHeader(true, 0), twoFields576)) &&
         writeSeed(folder, "picture_576_level3_small_window",
                   viewerInput(90, 72, "", pictureHeader(true, 3), twoFields576)) &&
         writeSeed(folder, "picture_486_level4_small_window",
                   viewerInput(40, 30, "Status!\n", pictureHeader(false, 4), oneField486));
}

// The request target: one byte chooses the piece size, then the bytes a viewer sends.
bool recorderRequestSeeds(const fs::path& folder) {
  const Bytes open = protocol::requestMessage(protocol::kRequestOpen, 7);
  const Bytes next = protocol::requestMessage(protocol::kRequestNext);
  return writeSeed(folder, "open_next_next", concat(concat(concat({5}, open), next), next)) &&
         writeSeed(
             folder, "noise_unknown_code_then_open",
             concat(concat(concat({0}, {'n', 'o', 'i', 's', 'e', '!', '!', '!'}), protocol::requestMessage(77)), open));
}

bool pngSeeds(const fs::path& folder) {
  Bytes rgb(16 * 8 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes pixel{255, 128, 0};
  return writeSeed(folder, "gradient_16x8.png", paint::encodePng({16, 8, rgb.data(), 16 * 3})) &&
         writeSeed(folder, "one_pixel.png", paint::encodePng({1, 1, pixel.data(), 3}));
}

bool fontSeeds(const fs::path& folder) {
  pixkit_test::FontBlockBuilder digits;
  digits.blank(' ', 3);
  for (unsigned char code = '0'; code <= '9'; ++code) digits.solid(code, 4, 5, 6, 1, 15 - (code - '0'));
  digits.solid('A', 5, 6, 7, 0, 9);
  pixkit_test::FontBlockBuilder tall;
  tall.solid('|', 1, 2, 19, 0, 15);
  tall.solid('W', 9, 10, 8, 11, 7);
  return writeSeed(folder, "digits_and_A", digits.build()) && writeSeed(folder, "tall_and_low", tall.build());
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: camview-fuzz-seeds <fuzz folder>\n");
    return 2;
  }
  const fs::path fuzz(argv[1]);
  const Bytes twoFields576 = encodedPicture(wavelet::VideoStandard::Lines576, 2);
  const Bytes oneField486 = encodedPicture(wavelet::VideoStandard::Lines486, 1);
  if (twoFields576.size() < 8 || oneField486.empty()) {
    std::fprintf(stderr, "camview-fuzz-seeds: the encoder made no picture\n");
    return 1;
  }
  const bool written = decoderSeeds(fuzz / "decoder/corpus/payload", twoFields576, oneField486) &&
                       presentationSeeds(fuzz / "presentation/corpus/viewer_input", twoFields576, oneField486) &&
                       recorderRequestSeeds(fuzz / "engine/corpus/requests") &&
                       pngSeeds(fuzz / "recorder/corpus/png") && fontSeeds(fuzz / "pixkit/corpus/font");
  return written ? 0 : 1;
}
