// Test helper: writes field streams bit by bit (32-bit little-endian words, most significant
// bit first) and encodes band samples with the class A and class B codes.
#pragma once

#include "decoder/CodeTables.h"
#include "decoder/SubbandGeometry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace wavelet::test {

class BitWriter {
public:
  void bits(uint32_t value, int count); // count 1..32, most significant first
  void symbol(CodeTableId table, int symbol);
  // Pads the current word with 1 bits.
  void padWithOnes();
  void word(uint32_t word); // a whole word (the writer must be on a word boundary)
  void marker() { word(0xFFFFFFFFu); }
  bool aligned() const { return count_ == 0; }
  std::vector<uint8_t> bytes() const; // whole words only (pads first)
  size_t wordCount() const { return words_.size(); }

private:
  std::vector<uint32_t> words_;
  uint64_t pending_ = 0;
  int count_ = 0;
};

// Samples of one band in raster order.
using BandSamples = std::vector<int16_t>;

// Encodes samples with class A (table 1): values of any 16-bit size, runs of zeros.
void encodeClassA(BitWriter& w, const BandSamples& samples);
// Encodes samples with class B (table 2 or 3): values within -8736..8736, runs of zeros.
void encodeClassB(BitWriter& w, CodeTableId table, const BandSamples& samples);

struct BandContent {
  int type = 129; // 129..132, or 143 for an empty band
  int16_t quantiser = 8;
  BandSamples samples; // width * height values (ignored for an empty band)
};

// Where buildField put things: word index of each band record's first word (its marker, or
// for the first band its header word), by stream position 0..41.
struct FieldLayout {
  std::vector<size_t> recordStart;
};

// Writes a band's data instead of the encoder (after its header); returns false to leave the
// band to the encoder.
using CustomBandWriter = std::function<bool(int band, BitWriter& writer)>;

// A whole field: header, then the 42 bands in stream order (bands indexed by band number).
std::vector<uint8_t> buildField(int parityByte, const std::vector<BandContent>& bands, FieldLayout* layout = nullptr,
                                const CustomBandWriter& custom = {});

// Random but natural-ish band content for a geometry (seeded, deterministic).
std::vector<BandContent> randomBands(const SubbandGeometry& geometry, uint32_t seed, int maxDetail = 40);

} // namespace wavelet::test
