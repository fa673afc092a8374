// The wavelet decoder front end: one compressed picture (one or two interlaced fields) in,
// a bottom-up 24-bit frame out (bytes blue, green, red; rows packed at outWidth * 3 bytes).
//
// Usage, once per picture:
//     CWaveletDecoder decoder(720, 576);
//     DecodeSettings settings;
//     settings.region.colEnd = 696;
//     settings.setFields(fields);                                  // splitPicturePayload
//     settings.output = frame; settings.outputSize = frameBytes;   // >= width * height * 3
//     const DecodeReport report = decoder.Decode(settings);
//     if (report.ok()) { ... report.outWidth x report.outHeight pixels in frame ... }
//     else { ... report.result, report.errorStage/errorBand/errorOffset ... }
//
// A picture payload ("BODY" bytes) is cut into its two field streams by splitPicturePayload
// (decoder/PictureSplit.h).
//
// The decoder normally creates its own engine, chosen by the processor detection. To decode a
// stream of pictures without any allocation per picture, keep one engine (createWaveletEngine)
// and pass it to each decoder: its working buffer only grows. An engine serves one decoder at
// a time; different engines may run on different threads at once.
#pragma once

#include "decoder/DecodeSettings.h"
#include "decoder/WaveletEngine.h"

#include <cstdint>
#include <memory>

namespace wavelet {

class CWaveletDecoder {
public:
  // Engine chosen by the processor detection (the process-wide MMX flag).
  CWaveletDecoder(int32_t width, int32_t height);
  // A fresh engine of the given kind (tests and benchmarks force either engine this way).
  CWaveletDecoder(int32_t width, int32_t height, EngineKind kind, SimdLevel simd = SimdLevel::Automatic);
  // Borrows an engine owned by the caller, which must outlive the decoder.
  CWaveletDecoder(int32_t width, int32_t height, CWaveletEngine& engine);
  ~CWaveletDecoder();
  CWaveletDecoder(const CWaveletDecoder&) = delete;
  CWaveletDecoder& operator=(const CWaveletDecoder&) = delete;

  // Decodes the fields of `settings` into its output. Never throws: a failed allocation gives
  // DEC_NO_MEMORY.
  DecodeReport Decode(const DecodeSettings& settings) noexcept;

  const int32_t width;
  const int32_t height;
  bool portable; // true when the portable engine is in use

private:
  bool fail(DecodeReport& report) const;
  bool decodeOneField(const uint8_t* data, int32_t length, DecodeReport& report, int& convertedWidth);

  std::unique_ptr<CWaveletEngine> ownEngine;
  CWaveletEngine* engine;
};

} // namespace wavelet
