#pragma once
// The 208-byte "HEAD" item that describes each picture: the overlay texts, the video
// standard and the resolution level. Bytes the viewer does not read are zero.
#include <array>
#include <cstdint>
#include <string>

namespace recorder {

constexpr std::size_t kPictureHeaderSize = 208;

// Offsets and sizes of the fields (texts are NUL-terminated within their size).
struct HeaderField {
  std::size_t offset;
  std::size_t size;
};
constexpr HeaderField kHeaderWord{8, 4};
constexpr HeaderField kHeaderDate{12, 16};
constexpr HeaderField kHeaderTime{28, 16};
constexpr HeaderField kHeaderShortText{44, 8};
constexpr HeaderField kHeaderCamera{52, 32};
constexpr HeaderField kHeaderInfo{84, 72};
constexpr HeaderField kHeaderNumber{156, 8};
constexpr HeaderField kHeaderMark{164, 2};
constexpr std::size_t kHeaderStandardOffset = 190; // non-zero: 576 lines, zero: 486 lines
constexpr std::size_t kHeaderLevelOffset = 192;    // int32

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
