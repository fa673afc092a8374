#include "ReferenceModel.h"

#include "decoder/SubbandGeometry.h"

#include <algorithm>
#include <cmath>

namespace wavelet::test {
namespace {

struct Grid {
  int w = 0, h = 0;
  std::vector<int16_t> v;
  Grid(int w_, int h_) : w(w_), h(h_), v(size_t(w_) * h_, 0) {}
  int16_t& at(int x, int y) { return v[size_t(y) * w + x]; }
};

int16_t mulHigh(int v, int k) { return int16_t((v * k) >> 16); }
int16_t wrap(int v) { return int16_t(v); }

// One-dimensional synthesis of low samples followed by high samples.
std::vector<int16_t> synthesise(const std::vector<int16_t>& low, const std::vector<int16_t>& high, bool mmx) {
  const int n = int(low.size() + high.size());
  std::vector<int16_t> x(n);
  for (int i = 0; i < n; ++i) x[i] = i % 2 == 0 ? low[i / 2] : high[i / 2];
  auto e = [&](int m) {
    while (m < 0 || m > n - 1) m = m < 0 ? -m : 2 * (n - 1) - m;
    return int(x[m]);
  };
  std::vector<int16_t> y(n);
  for (int m = 0; m < n; ++m) {
    if (!mmx) {
      int sum;
      if (m % 2 == 0)
        sum = 18269 * e(m) - 8744 * (e(m - 1) + e(m + 1)) - 942 * (e(m - 2) + e(m + 2)) + 552 * (e(m - 3) + e(m + 3));
      else
        sum = 19757 * e(m) + 9687 * (e(m - 1) + e(m + 1)) - 2563 * (e(m - 2) + e(m + 2)) -
              1495 * (e(m - 3) + e(m + 3)) + 876 * (e(m - 4) + e(m + 4));
      y[m] = int16_t(sum >> 14);
    } else {
      int sum;
      if (m % 2 == 0)
        sum = mulHigh(e(m), 18270) - mulHigh(wrap(e(m - 1) + e(m + 1)), 8745) +
              mulHigh(wrap(e(m - 2) + e(m + 2)), -942) - mulHigh(wrap(e(m - 3) + e(m + 3)), -552);
      else
        sum = mulHigh(e(m), 19757) + mulHigh(wrap(e(m - 1) + e(m + 1)), 9687) +
              mulHigh(wrap(e(m - 2) + e(m + 2)), -2562) + mulHigh(wrap(e(m - 3) + e(m + 3)), -1494) +
              mulHigh(wrap(e(m - 4) + e(m + 4)), 877);
      y[m] = wrap(wrap(sum) * 4);
    }
  }
  return y;
}

Grid bandGrid(const SubbandDescriptor& d, const BandContent& content, int levels, bool mmx) {
  Grid g(d.width, d.height);
  if (d.level < levels || content.type == 143) return g;
  for (int i = 0; i < d.width * d.height; ++i) {
    const int x = content.samples[i];
    const int q = content.quantiser;
    if (!mmx)
      g.v[i] = int16_t((q * x + 4) >> 3);
    else if (d.kind == BandKind::Lowest)
      g.v[i] = int16_t((q * x) / 4);
    else
      g.v[i] = int16_t(x * ((q + 2) >> 2));
  }
  return g;
}

// Rows of [left | right] synthesised horizontally.
Grid horizontalWith(Grid& left, Grid& right, bool mmx) {
  Grid out(left.w + right.w, left.h);
  for (int y = 0; y < left.h; ++y) {
    std::vector<int16_t> low(left.w), high(right.w);
    for (int x = 0; x < left.w; ++x) low[x] = left.at(x, y);
    for (int x = 0; x < right.w; ++x) high[x] = right.at(x, y);
    const std::vector<int16_t> r = synthesise(low, high, mmx);
    for (int x = 0; x < out.w; ++x) out.at(x, y) = r[x];
  }
  return out;
}

// Columns of [top ; bottom] synthesised vertically.
Grid verticalWith(Grid& top, Grid& bottom, bool mmx) {
  Grid out(top.w, top.h + bottom.h);
  for (int x = 0; x < top.w; ++x) {
    std::vector<int16_t> low(top.h), high(bottom.h);
    for (int y = 0; y < top.h; ++y) low[y] = top.at(x, y);
    for (int y = 0; y < bottom.h; ++y) high[y] = bottom.at(x, y);
    const std::vector<int16_t> r = synthesise(low, high, mmx);
    for (int y = 0; y < out.h; ++y) out.at(x, y) = r[y];
  }
  return out;
}

Grid reconstructComponent(const SubbandGeometry& g, const std::vector<BandContent>& bands, int c, int levels,
                          bool mmx) {
  auto grid = [&](int slot) { return bandGrid(g.bands[bandIndex(slot, c)], bands[bandIndex(slot, c)], levels, mmx); };
  Grid low = grid(13);
  for (int k = 4; k >= std::max(levels, 1); --k) {
    Grid hl = grid(slotOf(BandKind::HighColumns, k));
    Grid lh = grid(slotOf(BandKind::HighLines, k));
    Grid hh = grid(slotOf(BandKind::HighBoth, k));
    if (!mmx) {
      Grid left = verticalWith(low, lh, false);
      Grid right = verticalWith(hl, hh, false);
      low = horizontalWith(left, right, false);
    } else {
      Grid top = horizontalWith(low, hl, true);
      Grid bottom = horizontalWith(lh, hh, true);
      low = verticalWith(top, bottom, true);
    }
  }
  if (levels == 0) {
    Grid level0 = grid(0);
    low = horizontalWith(low, level0, mmx);
  }
  return low;
}

uint8_t portableByte(float v) { return uint8_t(std::clamp(int(v), 1, 254)); }

int16_t saturate(int v) { return int16_t(std::clamp(v, -32768, 32767)); }

} // namespace

int referenceOutputLines(const ReferencePicture& p) {
  const int fieldLines = p.twoFields ? p.height / 2 : p.height;
  return (fieldLines * (p.twoFields ? 2 : 1)) >> p.levels;
}

int referenceField(const ReferencePicture& p, const std::vector<BandContent>& bands, int parity,
                   std::vector<uint8_t>& frame, int frameRows) {
  const int fieldLines = p.twoFields ? p.height / 2 : p.height;
  const SubbandGeometry g = buildSubbandGeometry(p.width, fieldLines, p.levels);
  Grid planes[3] = {reconstructComponent(g, bands, 0, p.levels, p.mmx),
                    reconstructComponent(g, bands, 1, p.levels, p.mmx),
                    reconstructComponent(g, bands, 2, p.levels, p.mmx)};
  const bool standard625 =
      p.height == 576 || p.height == 288 || p.height == 144 || p.height == 72 || p.height == 36 || p.height == 18;
  const int s = 1 << p.levels;
  const int t = (s + 1) / 2;
  const int c0 = p.colStart / s, c1 = p.colEnd / s;
  const int d = fieldLines / t;
  const int width = p.mmx ? 8 * ((c1 - c0) / 8) : 2 * ((c1 - c0) / 2);
  int m = 1, o = 1, f = 0;
  if (p.twoFields && p.levels == 0) {
    m = 2;
    f = standard625 ? parity : 1 - parity;
  } else if (!p.twoFields && p.levels >= 1) {
    o = 2;
  }
  const float kY = float(1.164 / 32.0), kCrR = float(1.596 / 32.0), kCrG = float(-0.813 / 32.0),
              kCbG = float(-0.391 / 32.0), kCbB = float(2.018 / 32.0);
  for (int i = 0; i < d; ++i) {
    const int row = m * (d / o - i / o) - f - 1;
    if (row < 0 || row >= frameRows) continue;
    uint8_t* out = frame.data() + size_t(row) * width * 3;
    for (int px = 0; px < width; ++px) {
      const int y = planes[0].at(c0 + px, i);
      const int u = planes[1].at(c0 / 2 + px / 2, i);
      const int v = planes[2].at(c0 / 2 + px / 2, i);
      if (!p.mmx) {
        const float Y = kY * float(y + 3584);
        out[3 * px + 0] = portableByte(Y + kCbB * float(u));
        out[3 * px + 1] = portableByte(Y + (kCrG * float(v) + kCbG * float(u)));
        out[3 * px + 2] = portableByte(Y + kCrR * float(v));
      } else {
        const int yt = mulHigh(saturate(y + 7168), 1191);
        const int bt = mulHigh(u, 2066), gt = saturate(mulHigh(u, -400) + mulHigh(v, -832)), rt = mulHigh(v, 1634);
        out[3 * px + 0] = uint8_t(std::clamp<int>(saturate(yt + bt), 0, 255));
        out[3 * px + 1] = uint8_t(std::clamp<int>(saturate(yt + gt), 0, 255));
        out[3 * px + 2] = uint8_t(std::clamp<int>(saturate(yt + rt), 0, 255));
      }
    }
  }
  return width;
}

} // namespace wavelet::test
