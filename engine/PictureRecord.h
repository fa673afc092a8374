#pragma once
// One picture on its way through the viewer: the recorder's 208-byte header, the compressed
// bytes (a block that grows with the pictures and shrinks after a far larger one), and
// bookkeeping.
//
// `valid` is the only field another thread may look at while the owner writes the rest: it
// is written last with release and read first with acquire (the hand-off between the
// Receiver thread and the window thread).
#include <atomic>
#include <cstdint>
#include <string_view>

struct PictureRecord {
  static constexpr int kHeaderSize = 208;
  static constexpr int kTimingWords = 7;

  // Header fields the viewer reads. Texts are NUL-terminated within their size.
  static constexpr int kReservedWordOffset = 8; // int32, unused by the viewer
  static constexpr int kDateOffset = 12, kDateSize = 16;
  static constexpr int kTimeOffset = 28, kTimeSize = 16;
  static constexpr int kExtraText1Offset = 44, kExtraText1Size = 8;
  static constexpr int kCameraOffset = 52, kCameraSize = 32;
  static constexpr int kExtraText2Offset = 84, kExtraText2Size = 72;
  static constexpr int kPictureNumberOffset = 156, kPictureNumberSize = 8;
  static constexpr int kExtraText3Offset = 164, kExtraText3Size = 2;
  static constexpr int kVideoStandardOffset = 190;   // byte: non-zero 576 lines, zero 486
  static constexpr int kResolutionLevelOffset = 192; // int32
  static constexpr int kReservedByteOffset = 196;    // unused by the viewer

  // Timing words: GetTickCount stamps of the picture's way.
  enum TimingWord : int {
    kTimingRequested = 0,  // next-picture request sent (base)
    kTimingReceived = 1,   // body stored in the receive slot
    kTimingHandedOver = 2, // moved to the window slot
    kTimingOffered = 3,    // offered to the Decoder thread
    kTimingDecodeBegin = 4,
    kTimingDecodeEnd = 5,
    kTimingComplete = 6, // frame complete with its overlay
  };

  std::uint8_t header[kHeaderSize] = {};
  std::uint8_t* data = nullptr; // owned
  std::int32_t capacity = 0;
  std::int32_t length = 0;
  std::atomic<bool> valid{false};
  std::uint32_t receivedTick = 0;
  std::int32_t clientWidth = 0;
  std::int32_t clientHeight = 0;
  std::uint32_t timing[kTimingWords] = {};
  std::int32_t sequence = 0;

  PictureRecord() = default;
  ~PictureRecord() { release(); }
  PictureRecord(const PictureRecord&) = delete;
  PictureRecord& operator=(const PictureRecord&) = delete;

  // Makes `data` hold at least `size` bytes: a smaller block, or one far larger than `size`
  // needs (limits::mustReallocate), is replaced by one of exactly `size` bytes (contents not
  // kept). On failure the block is freed, capacity is 0, false.
  bool reserve(std::int32_t size);
  // Copies the picture bytes, length, header, receivedTick, client size, timing and sequence
  // from `source`; `valid` is left to the caller. False (capacity 0) when `data` cannot grow.
  bool copyFrom(const PictureRecord& source);
  // Moves a picture without copying its bytes: the two records exchange their data blocks,
  // then the rest is copied as copyFrom does. `source` is left with this record's old block
  // and length 0; `valid` of both is left to the caller. Cannot fail.
  void takeFrom(PictureRecord& source) noexcept;
  // Frees the data block and empties the record (header and words zero, valid false).
  void release();

  // --- header fields ---
  std::string_view date() const { return text(kDateOffset, kDateSize); }
  std::string_view time() const { return text(kTimeOffset, kTimeSize); }
  std::string_view extraText1() const { return text(kExtraText1Offset, kExtraText1Size); }
  std::string_view camera() const { return text(kCameraOffset, kCameraSize); }
  std::string_view extraText2() const { return text(kExtraText2Offset, kExtraText2Size); }
  std::string_view pictureNumber() const { return text(kPictureNumberOffset, kPictureNumberSize); }
  std::string_view extraText3() const { return text(kExtraText3Offset, kExtraText3Size); }
  bool isVideoStandard576() const { return header[kVideoStandardOffset] != 0; }
  std::int32_t resolutionLevel() const;
  std::int32_t reservedWord() const;

  // The text of a header field: up to its first NUL, never past the field's end.
  std::string_view text(int offset, int size) const;
  // Writes a text into a field, cut to size - 1 characters and NUL-terminated.
  void setText(int offset, int size, std::string_view value);
  void setVideoStandard576(bool is576) { header[kVideoStandardOffset] = is576 ? 1 : 0; }
  void setResolutionLevel(std::int32_t level);
  void setReservedWord(std::int32_t value);
};
