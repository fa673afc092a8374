#include "DecoderTestSupport.h"

namespace wavelet::test {

DecodeRun runDecoder(const DecodeSetup& s, const std::vector<uint8_t>* first, const std::vector<uint8_t>* second) {
  CWaveletDecoder decoder(s.width, s.height, s.engine, s.simd);
  const long rowBytes = s.outputWidth != 0 ? long(s.outputStride) : long(s.width) * 3;
  const long capacity = s.capacity >= 0 ? s.capacity : rowBytes * s.height;
  DecodeRun run;
  run.frame.assign(size_t(capacity) + 64, kUntouched);
  DecodeSettings settings;
  settings.levels = s.levels;
  settings.twoFields = s.twoFields;
  settings.region.colStart = s.colStart;
  settings.region.colEnd = s.colEnd;
  settings.region.rowEnd = s.rowEnd;
  if (first != nullptr) {
    settings.firstFieldData = first->data();
    settings.firstFieldLength = int32_t(first->size());
  }
  if (second != nullptr) {
    settings.secondFieldData = second->data();
    settings.secondFieldLength = int32_t(second->size());
  }
  settings.output = run.frame.data();
  settings.outputSize = size_t(capacity);
  settings.outputWidth = s.outputWidth;
  settings.outputStride = s.outputStride;
  static_cast<DecodeReport&>(run) = decoder.Decode(settings);
  return run;
}

uint32_t checksum(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

} // namespace wavelet::test
