// Test helper: runs the decoder on prepared fields and collects its output.
#pragma once

#include "ReferenceModel.h"
#include "StreamWriter.h"
#include "decoder/WaveletDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelet::test {

constexpr uint8_t kUntouched = 0xCD; // fill of the output buffer before a decode

struct DecodeRun : DecodeReport {
  std::vector<uint8_t> frame; // capacity bytes, then 64 guard bytes
};

struct DecodeSetup {
  EngineKind engine = EngineKind::Portable;
  SimdLevel simd = SimdLevel::Automatic;
  int width = 720;
  int height = 576;
  int levels = 0;
  bool twoFields = true;
  int colStart = 0;
  int colEnd = DecodeRegion::kToEdge;
  int rowEnd = DecodeRegion::kToEdge;
  long capacity = -1;  // -1: width * height * 3 (outputStride * height for stretched rows)
  int outputWidth = 0; // rows stretched to this width, outputStride bytes apart
  int outputStride = 0;
};

DecodeRun runDecoder(const DecodeSetup& setup, const std::vector<uint8_t>* first, const std::vector<uint8_t>* second);

// FNV-1a over the written part of a frame.
uint32_t checksum(const uint8_t* data, size_t size);

} // namespace wavelet::test
