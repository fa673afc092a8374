// Sub-band geometry of a field: where the 42 wavelet bands lie in the three coefficient planes.
//
// Each field has three planes of signed 16-bit samples: component 0 luminance (Y, `width`
// samples wide), components 1 and 2 the blue and red colour differences (Cb, Cr, (width + 1) / 2
// wide); all have the field's line count. Every plane is decomposed the same way; halving
// rounds up for the low part and down for the high part:
//
//   level 0     slot 0           high across columns, all lines   floor(W/2) x H
//   level k=1-4 slot 3(k-1)+1    high in both directions           floor(w/2) x floor(h/2)
//               slot 3(k-1)+2    high across columns, low lines    floor(w/2) x ceil(h/2)
//               slot 3(k-1)+3    low across columns, high lines    ceil(w/2)  x floor(h/2)
//   level 5     slot 13          lowest band                       what remains
//
// where w x h is the low part entering level k (ceil(W/2) x H for k = 1). The band index is
// 3 x slot + component: band 0 is the Y level-0 band, band 39 the Y lowest band.
//
// Bands are placed in the usual pyramid: the lowest band at (0, 0); at each level the band
// high across columns to the right of everything placed so far, the band high across lines
// below it, the band high in both directions diagonally; the level-0 band at the far right.
// A rounding function may round each extent up before the next bands are placed (the
// four-lane engine rounds to multiples of 4); bands never overlap, and the plane stride and
// height are rounded the same way. With no rounding the bands abut and the stride is the
// width of what is decoded: W when `levels` is 0, else ceil(W/2) (the level-0 band is then
// neither placed nor decoded).
#pragma once

#include <array>
#include <cstdint>

namespace wavelet {

constexpr int kComponentCount = 3;
constexpr int kSlotCount = 14;
constexpr int kBandCount = kSlotCount * kComponentCount; // 42
constexpr int kLowestLevel = 5;                          // level of the lowest bands
constexpr int kMaxSkippedLevels = 5;                     // `levels` ranges 0..5

// The order in which a field stream carries its bands.
constexpr std::array<uint8_t, kBandCount> kBandOrder{6,  9,  20, 22, 19, 23, 17, 25, 16, 26, 14, 28, 13, 29,
                                                     11, 31, 10, 32, 8,  34, 7,  35, 5,  37, 4,  38, 2,  40,
                                                     1,  41, 0,  39, 12, 36, 15, 33, 18, 30, 21, 27, 24, 3};

// What a band holds.
enum class BandKind : uint8_t {
  Level0,      // high across columns, all lines (slot 0)
  HighBoth,    // high in both directions
  HighColumns, // high across columns, low across lines
  HighLines,   // low across columns, high across lines
  Lowest,      // the lowest band (slot 13)
};

struct SubbandDescriptor {
  int column = 0;           // first sample's column inside its plane
  int line = 0;             // first sample's line inside its plane
  int width = 0;            // samples per line
  int height = 0;           // lines
  int16_t level = 0;        // 0..5 (5 = lowest band)
  int16_t quantiser = 0;    // from the band header; set while decoding
  int16_t* plane = nullptr; // first sample of the plane; null when the band is not decoded
  int stride = 0;           // plane stride in samples (set together with `plane`)
  uint8_t component = 0;    // 0 = Y, 1 = Cb, 2 = Cr
  uint8_t slot = 0;         // 0..13
  BandKind kind = BandKind::Level0;

  int16_t* firstSample() const { return plane + static_cast<long>(line) * stride + column; }
};

// Rounds a plane extent when the layout is built; nullptr means "unchanged".
using RoundDimensionFunction = int (*)(int);

// Up to the next multiple of 4 (the four-lane engine's layout).
int roundUpToFour(int n);

struct SubbandGeometry {
  std::array<SubbandDescriptor, kBandCount> bands{};
  std::array<int, kComponentCount> planeWidth{}; // W of each component
  std::array<int, kComponentCount> stride{};     // plane stride in samples
  int planeHeight = 0;                           // lines allocated per plane
  int fieldHeight = 0;                           // H, the field's line count
};

constexpr int bandIndex(int slot, int component) { return 3 * slot + component; }
constexpr int slotOfBand(int band) { return band / 3; }
constexpr int componentOfBand(int band) { return band % 3; }
// Decomposition level of a slot: 0 for slot 0, k for slots 3(k-1)+1..3(k-1)+3, 5 for slot 13.
constexpr int levelOfSlot(int slot) { return slot == 0 ? 0 : (slot == 13 ? kLowestLevel : (slot - 1) / 3 + 1); }
// Slot of a band kind at level k = 1..4.
constexpr int slotOf(BandKind kind, int level) {
  return kind == BandKind::Level0   ? 0
         : kind == BandKind::Lowest ? 13
                                    : 3 * (level - 1) + (kind == BandKind::HighBoth      ? 1
                                                         : kind == BandKind::HighColumns ? 2
                                                                                         : 3);
}

// Width of a component's plane for a picture of the given width.
constexpr int componentWidth(int pictureWidth, int component) {
  return component == 0 ? pictureWidth : (pictureWidth + 1) / 2;
}

// Builds the 42 descriptors (plane pointers left null, quantisers 0), the strides and the
// plane height. `levels` (0..5) is the number of finest levels left out; it only decides
// whether the level-0 band is placed (levels == 0) and so the stride.
SubbandGeometry buildSubbandGeometry(int pictureWidth, int fieldHeight, int levels,
                                     RoundDimensionFunction round = nullptr);

} // namespace wavelet
