#include "recorder/encoder/StreamLayout.h"

#include "base/LittleEndian.h"
#include "decoder/SubbandGeometry.h"

namespace wavelet {
namespace {
constexpr uint32_t kMarker = 0xFFFFFFFFu;
constexpr size_t kHeaderWords = 4;
} // namespace

uint32_t streamWord(const uint8_t* stream, size_t index) { return le::readU32(stream + 4 * index); }

std::vector<size_t> findMarkers(const uint8_t* stream, size_t length) {
  std::vector<size_t> markers;
  const size_t count = length / 4;
  for (size_t i = 0; i + 1 < count; ++i)
    if (streamWord(stream, i) == kMarker && streamWord(stream, i + 1) != kMarker) markers.push_back(i);
  return markers;
}

std::vector<size_t> findBandRecords(const uint8_t* stream, size_t length) {
  const std::vector<size_t> markers = findMarkers(stream, length);
  if (markers.size() != static_cast<size_t>(kBandCount) || markers[0] != 0) return {};
  std::vector<size_t> records;
  records.push_back(1 + kHeaderWords);
  for (size_t i = 1; i < markers.size(); ++i) records.push_back(markers[i] + 1);
  if (records.back() >= length / 4) return {};
  return records;
}

} // namespace wavelet
