#pragma once
// Recorder-protocol bytes for tests and benchmarks: well-formed messages through the
// protocol's message writer, raw bytes for malformed input, and a strict reader of what a
// peer under test sends.
#include "engine/PictureRecord.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct Item {
  std::int32_t id;
  Bytes data;
};

// A "PLPR" message with the given items (by item id).
Bytes buildMessage(const std::vector<Item>& items);

// The items of one "PLPR" message, in order.
struct Message {
  std::vector<std::pair<std::uint32_t, Bytes>> items; // tag word, data
  const Bytes* find(std::string_view tag) const;      // the first item with this tag, or null
  std::int32_t code() const;                          // "PDAT" word 0, or -1
};
// Reads one whole message: true only when `bytes` is exactly one "PLPR" message whose known
// items fill it to the last byte (an unknown tag, a short or overlong item fails).
bool parseMessage(const Bytes& bytes, Message& message);

// Raw pieces, for messages CTaggedMessage would never build.
void appendInt32(Bytes& bytes, std::int32_t value);
void appendTag(Bytes& bytes, const char* tag);
Bytes rawMessage(const char* tag, std::int32_t totalLength, const Bytes& body);
Bytes rawItem(const char* tag, std::int32_t length, const Bytes& data);

// Item contents.
Bytes pdat(std::int32_t word0, std::int32_t word1 = 0, std::int32_t word2 = 0, std::int32_t word3 = 0);
struct HeaderTexts {
  std::string date = "01.02.03";
  std::string time = "12:34:56";
  std::string camera = "Cam 1";
  std::string pictureNumber = "7";
  bool videoStandard576 = true;
  std::int32_t resolutionLevel = 0;
};
Bytes head(const HeaderTexts& texts = {});
// A body whose bytes follow from `seed`, so a test can tell pictures apart.
Bytes body(std::int32_t length, std::uint8_t seed);

// A "LANG" item: `texts` maps (row, column) to a text; other entries point nowhere (-1).
Bytes langItem(std::int32_t languageIndex, std::int32_t rows, std::int32_t columns,
               const std::map<std::pair<int, int>, std::string>& texts);

// A table of one text, "xx", padded with zero bytes to `size` when that is larger.
Bytes languageItem(int size = 0);

// Common replies.
Bytes established(std::int32_t flags = 0);
Bytes picture(const HeaderTexts& texts, const Bytes& bodyBytes);

} // namespace testsupport
