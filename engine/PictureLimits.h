#pragma once
// How large a picture and a message of the recorder can honestly be, derived from the picture
// format, so that no length read from the network makes the viewer allocate more.
//
// The widest and tallest picture is 720 x 576 in two fields of 288 lines. A field codes three
// planes: luminance 720 samples wide, the two colour differences (720 + 1) / 2 = 360 wide,
// all 288 lines: 414,720 samples. The costliest code for one sample is a 16-bit prefix code
// with 16 extra bits (a large value of code class A; class B needs at most 30 bits), so
// 4 bytes per sample. Around the samples a field has its start marker and 16-byte header
// (20 bytes) and, for each of its 42 bands, a marker word and at most one word for the band
// header and the padding at the band's end (8 bytes). The picture data is the first field's
// length word, the first field, the gap the decoder does not read, and the second field
// (decoder/PictureSplit.h).
#include "decoder/PictureSplit.h"

#include <cstdint>

namespace limits {

constexpr std::int32_t kWidestPicture = 720;
constexpr std::int32_t kFieldLines = 576 / 2;
constexpr std::int32_t kBands = 42;
constexpr std::int32_t kSamplesPerField = kFieldLines * (kWidestPicture + 2 * ((kWidestPicture + 1) / 2));
constexpr std::int32_t kWorstBytesPerSample = 4;
constexpr std::int32_t kWorstFieldBytes = 4 + 16 + kBands * 8 + kSamplesPerField * kWorstBytesPerSample;
// 3,318,992 bytes.
constexpr std::int32_t kMaxPictureBytes = wavelet::kSecondFieldOffset + 2 * kWorstFieldBytes;

// A message: its 8-byte header, a 208-byte "HEAD" and a "BODY" item of at most
// kMaxPictureBytes (each item with its 8-byte item header), a "PDAT" item, and room for a
// recorder text table ("LANG": 62 columns of a few languages' short texts fit in far less).
constexpr std::int32_t kTextTableRoom = 64 * 1024;
constexpr std::int32_t kMaxMessageBytes = 8 + (8 + 208) + (8 + kMaxPictureBytes) + (8 + 16) + kTextTableRoom;

// Buffers that held a larger picture or message give the memory back when the next one needs
// less than a quarter of them (and they hold more than kKeptBytes): a steady stream of
// similar pictures allocates nothing, and one hostile spike does not stay pinned.
constexpr std::int32_t kShrinkFactor = 4;
constexpr std::int32_t kKeptBytes = 256 * 1024;

// True when a buffer of `capacity` bytes must be replaced to hold `needed` bytes: too small,
// or far larger than needed.
constexpr bool mustReallocate(std::int32_t capacity, std::int32_t needed) {
  if (capacity < needed) return true;
  return capacity > kKeptBytes && capacity / kShrinkFactor > needed;
}

} // namespace limits
