// What one decode is asked to do (DecodeSettings) and what it did (DecodeReport).
//
// The settings name the region, the finest levels left out, the field streams and the output
// buffer; the picture size belongs to the decoder (CWaveletDecoder). The engine's Init checks
// them all at once: a region that does not lie inside the picture becomes the whole picture
// and the level is brought into 0..5.
#pragma once

#include "decoder/DecodeStatus.h"
#include "decoder/PictureSplit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace wavelet {

// Picture lines rowStart..rowEnd-1 and columns colStart..colEnd-1.
struct DecodeRegion {
  // An end that runs to the picture's edge (it lies outside every picture, so the region
  // becomes the whole picture).
  static constexpr int32_t kToEdge = std::numeric_limits<int32_t>::max();

  int32_t rowStart = 0;
  int32_t rowEnd = kToEdge;
  int32_t colStart = 0;
  int32_t colEnd = kToEdge;
};

// The column end of the region the viewer decodes at levels 0..4 of a 720-column picture (the
// first 696 columns at the finer levels, fewer at the coarser ones).
inline constexpr std::array<int32_t, 5> kColumnLimits{696, 696, 688, 672, 640};

struct DecodeSettings {
  DecodeRegion region;
  int32_t levels = 0;    // finest levels left out (0..5): the frame shrinks by 2 to this power
  bool twoFields = true; // the picture is made of two interlaced fields
  const uint8_t* firstFieldData = nullptr;
  int32_t firstFieldLength = 0;
  const uint8_t* secondFieldData = nullptr; // null when absent
  int32_t secondFieldLength = 0;
  uint8_t* output = nullptr;
  std::size_t outputSize = 0; // capacity in bytes: at least width * height * 3
  // 0: rows as decoded, packed. Otherwise every row is stretched or shrunk to this many
  // pixels as it is converted (pixel j takes decoded pixel floor(j * decoded width /
  // outputWidth), RowStretch) and rows lie outputStride bytes apart (at least outputWidth * 3;
  // then outputSize is at least outputStride * height). Saves the copy through a picture of
  // the decoded width when the window is wider or narrower.
  int32_t outputWidth = 0;
  int32_t outputStride = 0;

  // Takes both field streams of a split payload (the second may be absent).
  void setFields(const FieldStreams& fields) noexcept {
    firstFieldData = fields.firstData;
    firstFieldLength = fields.firstLength;
    secondFieldData = fields.secondData;
    secondFieldLength = fields.secondLength;
  }
};

struct DecodeReport {
  int32_t result = DEC_OK;
  int32_t errorStage = ERR_NONE; // the error record of a stream error
  int32_t errorBand = 0;
  int32_t errorOffset = 0;
  DecodeRegion region; // the region decoded, after the check
  // Valid on success: outHeight rows of outWidth packed pixels, outputSize bytes written
  // (rows of the settings' outputWidth when that was given: outWidth is still the decoded width).
  int32_t outWidth = 0;
  int32_t outHeight = 0;
  int32_t outputSize = 0;
  double timeTotal = 0; // seconds
  double timeEntropy = 0;
  double timeTransform = 0;
  double timeColour = 0;

  bool ok() const noexcept { return result == DEC_OK; }
};

} // namespace wavelet
