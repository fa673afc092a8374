// Feeds arbitrary bytes to the wavelet decoder as picture payloads or raw field streams.
//
// The first three bytes choose the settings; the rest is the data:
//   byte 0  bit 0 MMX engine, bits 1-3 levels skipped, bit 4 two fields, bit 5 the payload
//           is split into its fields (else it is one raw field), bits 6-7 height
//   byte 1  bit 7 scalar SIMD level, bit 6 a fresh engine (else the kept one of its kind and
//           level, as the viewer keeps one), bits 0-5 columns cut off at the right
//   byte 2  picture geometry:
//           0xFF       the real 720-column picture (576 or 486 rows), any level (0..5)
//           0x80-0xFE  the real picture with the three finest levels or more left out (3..5):
//                      an encoded picture decodes completely, into at most 90 x 72 pixels
//           0x00-0x7F  a small picture, 193..256 columns (the decoder's smallest width and
//                      up) of 122, 144, 243 or 288 rows, bit 6 cutting rows off the bottom
// Under the sanitizers a whole 720 x 576 picture takes some 70 ms; the smaller outputs keep
// most runs near a millisecond or below while reaching the same engines, levels, field
// layouts and regions, and the full size stays one selector value away (its seed is replayed
// by the suite, not fuzzed from: every mutation of it would cost the full 70 ms). A fresh engine's
// working buffer is exactly as large as the picture needs. The output is a kept buffer whose
// bytes past the size the decoder requires are poisoned, so any write past it is caught by
// AddressSanitizer as it would be at the end of an exact-size buffer; keeping the large
// buffers spares each run the kernel's clearing of fresh pages.
#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace wavelet;

namespace {

constexpr std::uint8_t kFullSize = 0xFF;

struct Geometry {
  int width;
  int height;
  int rowsCut;
  int levels;
};

Geometry chooseGeometry(std::uint8_t settings, std::uint8_t geometry) {
  const int choice = settings >> 6;
  const int levelBits = (settings >> 1) & 7;
  if (geometry >= 0x80) {
    static const int kHeights[] = {576, 486, 576, 486};
    const int levels = geometry == kFullSize ? levelBits % 6 : 3 + levelBits % 3;
    return {720, kHeights[choice], 0, levels};
  }
  static const int kSmallHeights[] = {122, 144, 243, 288};
  return {193 + (geometry & 0x3F), kSmallHeights[choice], ((geometry >> 6) & 1) * 8, levelBits % 6};
}

// The kept engine of each kind and SIMD level.
CWaveletEngine& keptEngine(EngineKind kind, SimdLevel simd) {
  static std::unique_ptr<CWaveletEngine> engines[2][2];
  std::unique_ptr<CWaveletEngine>& engine = engines[kind == EngineKind::Mmx][simd == SimdLevel::Scalar];
  if (!engine) engine = createWaveletEngine(kind, simd);
  return *engine;
}

// The output for one run: `size` bytes at the start of a buffer for the largest picture, the
// rest poisoned.
std::uint8_t* outputOfSize(std::size_t size) {
  static std::vector<std::uint8_t> buffer(std::size_t(720) * 576 * 3);
  ASAN_UNPOISON_MEMORY_REGION(buffer.data(), buffer.size());
  ASAN_POISON_MEMORY_REGION(buffer.data() + size, buffer.size() - size);
  return buffer.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t settings = data[0];
  const uint8_t region = data[1];
  const Geometry geometry = chooseGeometry(settings, data[2]);
  data += 3;
  size -= 3;

  const EngineKind engine = (settings & 1) != 0 ? EngineKind::Mmx : EngineKind::Portable;
  const SimdLevel simd = (region & 0x80) != 0 ? SimdLevel::Scalar : SimdLevel::Automatic;
  std::unique_ptr<CWaveletDecoder> decoder;
  if ((region & 0x40) != 0)
    decoder = std::make_unique<CWaveletDecoder>(geometry.width, geometry.height, engine, simd);
  else
    decoder = std::make_unique<CWaveletDecoder>(geometry.width, geometry.height, keptEngine(engine, simd));
  DecodeSettings chosen;
  chosen.levels = geometry.levels;
  // One field of 122 or 144 rows is too short to split in two: those stay one field.
  chosen.twoFields = (settings & 0x10) != 0 && geometry.height >= 243;
  chosen.region.colEnd = geometry.width - (region & 0x3F);
  chosen.region.rowEnd = geometry.height - geometry.rowsCut;

  std::vector<uint8_t> fieldBytes(data, data + size); // exact-size copy: reads past it are caught
  if ((settings & 0x20) != 0) {
    FieldStreams fields;
    if (!splitPicturePayload(fieldBytes.data(), uint32_t(fieldBytes.size()), fields)) return 0;
    chosen.setFields(fields);
  } else {
    chosen.firstFieldData = fieldBytes.data();
    chosen.firstFieldLength = int32_t(fieldBytes.size());
  }
  chosen.outputSize = size_t(geometry.width) * geometry.height * 3;
  chosen.output = outputOfSize(chosen.outputSize);
  decoder->Decode(chosen);
  return 0;
}
