// Result codes of a decode and the stage codes of the error record.
#pragma once

#include <cstdint>

namespace wavelet {

// Why Decode failed (DecodeReport::result).
enum DecodeResult : int32_t {
  DEC_OK = 0,
  DEC_BAD_SIZE = 1,   // height is not one of the twelve known heights
  DEC_BAND_ERROR = 4, // a stream error while reading bands; see the error record
  DEC_TOO_SMALL = 5,  // the picture is too small for five decomposition levels
  DEC_BAD_HEADER = 6, // the field header is missing or wrong
  DEC_NO_OUTPUT = 9,  // no output buffer, or one too small for the picture
  DEC_NO_MEMORY = 10, // the engine or its working buffer could not be allocated
};

// Stage of a stream error (DecodeReport::errorStage).
enum ErrorStage : int32_t {
  ERR_NONE = 0,
  ERR_MARKER_IN_DATA = 2, // a marker met while reading a band's bits
  ERR_NO_BAND_MARKER = 3, // a band record does not start with a marker
  ERR_END_OF_DATA = 4,    // a read past the last word
  ERR_BAD_SYMBOL = 5,     // a code outside the band class's alphabet
  ERR_BAD_BAND_TYPE = 6,  // band type not 129..132 or 143
  ERR_FIELD_HEADER = 7,   // missing marker, bad parity or format byte, or stream too short
};

// Where a stream error was found: stage, band index, byte offset of the next word to be read.
struct ErrorRecord {
  int32_t stage = ERR_NONE;
  int32_t band = 0;
  int32_t offset = 0;
};

} // namespace wavelet
