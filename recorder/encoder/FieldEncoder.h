// Encodes one field of a picture into a field stream:
//   marker, 16-byte field header (parity byte 0x40 or 0x41, format byte 0, 14 zero bytes),
//   42 band records in the stream's band order, each after the first preceded by a marker.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/SubbandGeometry.h"
#include "recorder/encoder/BandEncoder.h"
#include "recorder/encoder/ColourAnalysis.h"
#include "recorder/encoder/ForwardTransform.h"

namespace wavelet {

// The picture lines that make up one field.
struct FieldSource {
  const uint8_t* firstLine = nullptr; // the field's first line
  ptrdiff_t lineStep = 0;             // bytes from one field line to the next
  int width = 0;                      // pixels per line
  int lines = 0;                      // field lines
  PixelOrder order = PixelOrder::Rgb;
};

class FieldEncoder {
public:
  // Parity 0 (header byte 0x40) or 1 (0x41). The stream replaces the contents of `stream`.
  void encode(const FieldSource& source, int parity, const std::array<uint16_t, kBandCount>& quantisers,
              std::vector<uint8_t>& stream);

  // Band type chosen for every band index by the last encode.
  const std::array<uint8_t, kBandCount>& bandTypes() const { return bandTypes_; }

private:
  void analyse(const FieldSource& source);
  void quantiseBand(const SubbandDescriptor& band, uint16_t quantiser);

  SubbandGeometry geometry_{};
  int geometryWidth_ = 0;
  int geometryLines_ = 0;
  std::array<std::vector<float>, kComponentCount> planes_;
  ForwardTransform transform_;
  BandEncoder bandEncoder_;
  std::vector<int32_t> samples_;
  std::array<uint8_t, kBandCount> bandTypes_{};
};

} // namespace wavelet
