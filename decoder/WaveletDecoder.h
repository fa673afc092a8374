// The wavelet decoder front end: one compressed picture (one or two interlaced fields) in,
// a bottom-up 24-bit frame out (bytes blue, green, red; rows packed at outWidth * 3 bytes).
//
// Usage, once per picture:
//     CWaveletDecoder decoder(720, 576);
//     decoder.rowEnd = 576; decoder.colEnd = 696; decoder.levels = 0;
//     decoder.firstFieldData = ...; decoder.firstFieldLength = ...;
//     decoder.secondFieldData = ...; decoder.secondFieldLength = ...;   // optional
//     decoder.output = frame; decoder.outputSize = frameBytes;           // >= width * height * 3
//     if (decoder.Decode()) { ... outWidth x outHeight pixels in frame ... }
//     else { ... decoder.result, decoder.errorStage/errorBand/errorOffset ... }
//
// A picture payload ("BODY" bytes) is cut into its two field streams by SplitPicturePayload
// (decoder/PictureSplit.h).
//
// The decoder normally creates its own engine, chosen by the processor detection. To decode a
// stream of pictures without any allocation per picture, keep one engine (CreateWaveletEngine)
// and pass it to each decoder: its working buffer only grows. An engine serves one decoder at
// a time; different engines may run on different threads at once.
#pragma once

#include "decoder/DecodeStatus.h"
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

  // Decodes the configured fields into `output`; false on failure with `result` telling why.
  // Never throws: a failed allocation gives DEC_NO_MEMORY.
  bool Decode();

  int32_t width;
  int32_t height;
  int32_t outWidth = 0;
  int32_t outHeight = 0;
  int32_t rowStart = 0;
  int32_t rowEnd;
  int32_t colEnd;
  int32_t colStart = 0;
  int32_t levels = 0;    // finest levels left out (0..5): the frame shrinks by 2 to this power
  bool twoFields = true; // the picture is made of two interlaced fields
  bool lumaOnly = false; // stored only; every plane is transformed
  const uint8_t* firstFieldData = nullptr;
  int32_t firstFieldLength = 0;
  const uint8_t* secondFieldData = nullptr; // null when absent
  int32_t secondFieldLength = 0;
  uint8_t* output = nullptr;
  int32_t outputSize = 0; // in: capacity in bytes; out: bytes written
  double timeTotal = 0;   // seconds
  double timeEntropy = 0;
  double timeTransform = 0;
  double timeColour = 0;
  int32_t errorStage = ERR_NONE;
  int32_t errorBand = 0;
  int32_t errorOffset = 0;
  int32_t result = DEC_OK;
  int32_t offsetRed = 0; // colour offsets of the four-lane conversion; every caller passes 0
  int32_t offsetGreen = 0;
  int32_t offsetBlue = 0;
  bool portable; // true when the portable engine is in use

  // The engine in use (tests and tools). A decoder whose engine could not be allocated has
  // none: its Decode reports DEC_NO_MEMORY, and this must not be called.
  CWaveletEngine& Engine() { return *engine; }

private:
  bool Fail();
  bool DecodeOneField(const uint8_t* data, int32_t length, int& convertedWidth);

  std::unique_ptr<CWaveletEngine> ownEngine;
  CWaveletEngine* engine;
};

} // namespace wavelet
