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

struct DecodeRun {
  bool ok = false;
  int32_t result = -1;
  int32_t errorStage = -1, errorBand = -1, errorOffset = -1;
  int outWidth = 0, outHeight = 0, outputSize = 0;
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
  int colEnd = -1;    // -1: width
  int rowEnd = -1;    // -1: height
  long capacity = -1; // -1: width * height * 3
};

DecodeRun RunDecoder(const DecodeSetup& setup, const std::vector<uint8_t>* first, const std::vector<uint8_t>* second);

// FNV-1a over the written part of a frame.
uint32_t Checksum(const uint8_t* data, size_t size);

} // namespace wavelet::test
