#include "DecoderTestSupport.h"

namespace wavelet::test {

DecodeRun RunDecoder(const DecodeSetup& s, const std::vector<uint8_t>* first, const std::vector<uint8_t>* second) {
  CWaveletDecoder decoder(s.width, s.height, s.engine, s.simd);
  const long capacity = s.capacity >= 0 ? s.capacity : long(s.width) * s.height * 3;
  DecodeRun run;
  run.frame.assign(size_t(capacity) + 64, kUntouched);
  decoder.levels = s.levels;
  decoder.twoFields = s.twoFields;
  decoder.colStart = s.colStart;
  decoder.colEnd = s.colEnd >= 0 ? s.colEnd : s.width;
  decoder.rowEnd = s.rowEnd >= 0 ? s.rowEnd : s.height;
  if (first != nullptr) {
    decoder.firstFieldData = first->data();
    decoder.firstFieldLength = int32_t(first->size());
  }
  if (second != nullptr) {
    decoder.secondFieldData = second->data();
    decoder.secondFieldLength = int32_t(second->size());
  }
  decoder.output = run.frame.data();
  decoder.outputSize = int32_t(capacity);
  run.ok = decoder.Decode();
  run.result = decoder.result;
  run.errorStage = decoder.errorStage;
  run.errorBand = decoder.errorBand;
  run.errorOffset = decoder.errorOffset;
  run.outWidth = decoder.outWidth;
  run.outHeight = decoder.outHeight;
  run.outputSize = decoder.outputSize;
  return run;
}

uint32_t Checksum(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

} // namespace wavelet::test
