#include "decoder/SubbandGeometry.h"

namespace wavelet {
namespace {

int identity(int n) { return n; }

SubbandDescriptor makeBand(int slot, int component, BandKind kind, int column, int line, int width, int height) {
  SubbandDescriptor d;
  d.column = column;
  d.line = line;
  d.width = width;
  d.height = height;
  d.level = static_cast<int16_t>(levelOfSlot(slot));
  d.component = static_cast<uint8_t>(component);
  d.slot = static_cast<uint8_t>(slot);
  d.kind = kind;
  return d;
}

} // namespace

int roundUpToFour(int n) { return (n + 3) & ~3; }

SubbandGeometry buildSubbandGeometry(int pictureWidth, int fieldHeight, int levels, RoundDimensionFunction round) {
  if (round == nullptr) round = identity;
  SubbandGeometry g;
  g.fieldHeight = fieldHeight;
  int planeHeight = 0;
  for (int c = 0; c < kComponentCount; ++c) {
    const int W = componentWidth(pictureWidth, c);
    const int H = fieldHeight;
    g.planeWidth[c] = W;

    // Sizes of the low part entering each level 1..4, and what remains at level 5.
    int w[kLowestLevel + 1];
    int h[kLowestLevel + 1];
    w[1] = (W + 1) / 2;
    h[1] = H;
    for (int k = 1; k < kLowestLevel; ++k) {
      w[k + 1] = (w[k] + 1) / 2;
      h[k + 1] = (h[k] + 1) / 2;
    }

    // Place from the lowest band outwards; (extentX, extentY) is the (rounded) extent of
    // everything placed so far.
    g.bands[bandIndex(13, c)] = makeBand(13, c, BandKind::Lowest, 0, 0, w[5], h[5]);
    int extentX = round(w[5]);
    int extentY = round(h[5]);
    for (int k = kLowestLevel - 1; k >= 1; --k) {
      const int highW = w[k] / 2;
      const int highH = h[k] / 2;
      const int lowW = (w[k] + 1) / 2;
      const int lowH = (h[k] + 1) / 2;
      g.bands[bandIndex(slotOf(BandKind::HighBoth, k), c)] =
          makeBand(slotOf(BandKind::HighBoth, k), c, BandKind::HighBoth, extentX, extentY, highW, highH);
      g.bands[bandIndex(slotOf(BandKind::HighColumns, k), c)] =
          makeBand(slotOf(BandKind::HighColumns, k), c, BandKind::HighColumns, extentX, 0, highW, lowH);
      g.bands[bandIndex(slotOf(BandKind::HighLines, k), c)] =
          makeBand(slotOf(BandKind::HighLines, k), c, BandKind::HighLines, 0, extentY, lowW, highH);
      extentX = round(extentX + highW);
      extentY = round(extentY + highH);
    }
    g.bands[bandIndex(0, c)] = makeBand(0, c, BandKind::Level0, extentX, 0, W / 2, H);
    g.stride[c] = levels == 0 ? round(extentX + W / 2) : extentX;
    if (extentY > planeHeight) planeHeight = extentY;
  }
  g.planeHeight = planeHeight;
  return g;
}

} // namespace wavelet
