// Feeds arbitrary bytes to the wavelet decoder as picture payloads or raw field streams.
//
// The first two bytes choose the settings (engine, SIMD level, levels, fields, picture size,
// column end); the rest is the data. Besides the real 720-column pictures, small ones (fewer
// columns, one short field) make most runs cheap so the fuzzer gets through many more inputs. The output buffer is
// exactly as large as the decoder requires, so any write past it is caught by AddressSanitizer.
#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace wavelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t settings = data[0];
  const uint8_t region = data[1];
  data += 2;
  size -= 2;

  const bool small = (region & 0x40) != 0;
  static const int kHeights[] = {576, 486, 288, 243};
  static const int kSmallHeights[] = {144, 122, 288, 243};
  const int height = (small ? kSmallHeights : kHeights)[(settings >> 6) & 3];
  const int width = small ? 193 + (region & 0x3F) * 3 : 720;
  const EngineKind engine = (settings & 1) != 0 ? EngineKind::Mmx : EngineKind::Portable;
  const SimdLevel simd = (region & 0x80) != 0 ? SimdLevel::Scalar : SimdLevel::Automatic;
  CWaveletDecoder decoder(width, height, engine, simd);
  DecodeSettings chosen;
  chosen.levels = (settings >> 1) % 6;
  chosen.twoFields = small ? (settings & 0x10) != 0 && height >= 243 : (settings & 0x10) == 0;
  chosen.region.colEnd = small ? width - (region & 7) : 720 - (region & 0x3F) * 4;
  chosen.region.rowEnd = height;

  std::vector<uint8_t> fieldBytes(data, data + size); // exact-size copy: reads past it are caught
  if ((settings & 0x20) != 0) {
    FieldStreams fields;
    if (!SplitPicturePayload(fieldBytes.data(), uint32_t(fieldBytes.size()), fields)) return 0;
    chosen.SetFields(fields);
  } else {
    chosen.firstFieldData = fieldBytes.data();
    chosen.firstFieldLength = int32_t(fieldBytes.size());
  }
  std::vector<uint8_t> frame(size_t(width) * height * 3);
  chosen.output = frame.data();
  chosen.outputSize = frame.size();
  decoder.Decode(chosen);
  return 0;
}
