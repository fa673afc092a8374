#pragma once
// The 208-byte "HEAD" item that describes each picture: the overlay texts, the video
// standard and the resolution level. Bytes the viewer does not read are zero.
#include <array>
#include <cstdint>
#include <string>

#include "engine/PictureRecord.h"

namespace recorder {

// The layout is the one the viewer reads (engine/PictureRecord.h).
constexpr std::size_t kPictureHeaderSize = PictureRecord::kHeaderSize;

// Offsets and sizes of the fields (texts are NUL-terminated within their size).
struct HeaderField {
  std::size_t offset;
  std::size_t size;
};
constexpr HeaderField kHeaderWord{PictureRecord::kReservedWordOffset, 4};
constexpr HeaderField kHeaderDate{PictureRecord::kDateOffset, PictureRecord::kDateSize};
constexpr HeaderField kHeaderTime{PictureRecord::kTimeOffset, PictureRecord::kTimeSize};
constexpr HeaderField kHeaderShortText{PictureRecord::kExtraText1Offset, PictureRecord::kExtraText1Size};
constexpr HeaderField kHeaderCamera{PictureRecord::kCameraOffset, PictureRecord::kCameraSize};
constexpr HeaderField kHeaderInfo{PictureRecord::kExtraText2Offset, PictureRecord::kExtraText2Size};
constexpr HeaderField kHeaderNumber{PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize};
constexpr HeaderField kHeaderMark{PictureRecord::kExtraText3Offset, PictureRecord::kExtraText3Size};
constexpr std::size_t kHeaderStandardOffset = PictureRecord::kVideoStandardOffset; // non-zero: 576 lines
constexpr std::size_t kHeaderLevelOffset = PictureRecord::kResolutionLevelOffset;  // int32

struct PictureHeaderFields {
  std::string date;      // "dd.mm.yy"
  std::string time;      // "hh:mm:ss"
  std::string shortText; // up to 7 characters
  std::string camera;    // up to 31 characters
  std::string info;      // up to 71 characters
  std::string number;    // picture number, up to 7 characters
  std::string mark;      // one character
  bool standard576 = true;
  std::int32_t level = 0;
};

using PictureHeaderBytes = std::array<std::uint8_t, kPictureHeaderSize>;

// Texts longer than their field are cut so that the terminating NUL still fits.
PictureHeaderBytes buildPictureHeader(const PictureHeaderFields& fields);

// Reads a text field back (up to its NUL or its size); used by tests and the status output.
std::string headerText(const PictureHeaderBytes& header, HeaderField field);

} // namespace recorder
