#include "decoder/SubbandGeometry.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace wavelet;

namespace {

// Every decoded band inside its plane and no two bands of one plane overlapping.
void expectBandsDisjointAndInside(const SubbandGeometry& g, int levels) {
  for (int c = 0; c < kComponentCount; ++c) {
    std::vector<int> owner(size_t(g.stride[c]) * g.planeHeight, -1);
    for (int b = c; b < kBandCount; b += 3) {
      const SubbandDescriptor& d = g.bands[b];
      if (d.level < levels) continue;
      ASSERT_LE(d.column + d.width, g.stride[c]) << "band " << b;
      ASSERT_LE(d.line + d.height, g.planeHeight) << "band " << b;
      for (int y = d.line; y < d.line + d.height; ++y)
        for (int x = d.column; x < d.column + d.width; ++x) {
          int& o = owner[size_t(y) * g.stride[c] + x];
          ASSERT_EQ(o, -1) << "bands " << o << " and " << b << " overlap";
          o = b;
        }
    }
  }
}

} // namespace

TEST(SubbandGeometry, BandOrderIsAPermutationEndingWithTheFinestLuminanceBand) {
  std::set<int> seen(kBandOrder.begin(), kBandOrder.end());
  EXPECT_EQ(seen.size(), 42u);
  EXPECT_EQ(*seen.rbegin(), 41);
  EXPECT_EQ(kBandOrder.back(), 3);
}

TEST(SubbandGeometry, FullPictureSizesAndPyramidPositions) {
  const SubbandGeometry g = buildSubbandGeometry(720, 288, 0);
  EXPECT_EQ(g.bands[39].width, 23); // Y lowest
  EXPECT_EQ(g.bands[39].height, 18);
  EXPECT_EQ(g.bands[40].width, 12); // Cb lowest
  EXPECT_EQ(g.bands[40].height, 18);
  EXPECT_EQ(g.bands[41].width, 12);
  EXPECT_EQ(g.bands[0].column, 360); // Y level 0
  EXPECT_EQ(g.bands[0].width, 360);
  EXPECT_EQ(g.bands[0].height, 288);
  EXPECT_EQ(g.bands[0].level, 0);
  // Y level 1: 360 x 288 splits into 180 x 144 quarters.
  EXPECT_EQ(g.bands[3].kind, BandKind::HighBoth);
  EXPECT_EQ(g.bands[3].column, 180);
  EXPECT_EQ(g.bands[3].line, 144);
  EXPECT_EQ(g.bands[6].kind, BandKind::HighColumns);
  EXPECT_EQ(g.bands[6].column, 180);
  EXPECT_EQ(g.bands[6].line, 0);
  EXPECT_EQ(g.bands[9].kind, BandKind::HighLines);
  EXPECT_EQ(g.bands[9].line, 144);
  EXPECT_EQ(g.bands[9].level, 1);
  // Y level 4: 45 x 36 -> low 23 x 18, high 22 wide.
  EXPECT_EQ(g.bands[33].kind, BandKind::HighColumns);
  EXPECT_EQ(g.bands[36].kind, BandKind::HighLines);
  EXPECT_EQ(g.bands[36].line, 18);
  EXPECT_EQ(g.bands[30].width, 22);
  EXPECT_EQ(g.bands[30].column, 23);
  EXPECT_EQ(g.stride[0], 720);
  EXPECT_EQ(g.stride[1], 360);
  EXPECT_EQ(g.planeHeight, 288);
  expectBandsDisjointAndInside(g, 0);
}

TEST(SubbandGeometry, SkippingLevelZeroNarrowsTheStride) {
  const SubbandGeometry g = buildSubbandGeometry(720, 243, 1);
  EXPECT_EQ(g.stride[0], 360);
  EXPECT_EQ(g.stride[1], 180);
  EXPECT_EQ(g.planeHeight, 243);
  expectBandsDisjointAndInside(g, 1);
}

TEST(SubbandGeometry, RoundedLayoutAlignsBandsAndNeverOverlaps) {
  // Odd sizes whose rounded low parts would spill into the next band if placed naively.
  for (int width : {720, 719, 702, 650, 333, 250})
    for (int height : {288, 243, 122, 61, 150})
      for (int levels = 0; levels <= 5; ++levels) {
        const SubbandGeometry g = buildSubbandGeometry(width, height, levels, roundUpToFour);
        for (const SubbandDescriptor& d : g.bands) {
          EXPECT_EQ(d.column % 4, 0);
          EXPECT_EQ(d.line % 4, 0);
        }
        for (int c = 0; c < 3; ++c) EXPECT_EQ(g.stride[c] % 4, 0);
        EXPECT_EQ(g.planeHeight % 4, 0);
        EXPECT_GE(g.planeHeight, height);
        expectBandsDisjointAndInside(g, levels);
      }
}

TEST(SubbandGeometry, BandSizesTileEachPlane) {
  for (int width : {720, 719, 333})
    for (int height : {288, 243, 61}) {
      const SubbandGeometry g = buildSubbandGeometry(width, height, 0);
      for (int c = 0; c < 3; ++c) {
        long area = 0;
        for (int b = c; b < kBandCount; b += 3) area += long(g.bands[b].width) * g.bands[b].height;
        EXPECT_EQ(area, long(componentWidth(width, c)) * height);
      }
      expectBandsDisjointAndInside(g, 0);
    }
}
