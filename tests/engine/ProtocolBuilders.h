#pragma once
// Builds recorder-protocol bytes for tests: well-formed replies through the protocol's
// message writer (the recorder's direction) and raw bytes for malformed input.
#include "engine/PictureRecord.h"

#include <cstdint>
#include <map>
#include <string>
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

// Common replies.
Bytes established(std::int32_t flags = 0);
Bytes picture(const HeaderTexts& texts, const Bytes& bodyBytes);

} // namespace testsupport
