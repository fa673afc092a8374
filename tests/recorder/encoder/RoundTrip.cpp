#include "RoundTrip.h"

#include <algorithm>
#include <cmath>

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

namespace wavelet::test {
namespace {

constexpr int kFrameBytes = 768 * 576 * 3; // the Decoder thread's work frame

// The 9/7 analysis low-pass filter (gain 1), centre tap first.
constexpr double kLowPass[5] = {0.602949018236, 0.266864118443, -0.078223266529, -0.016864118443, 0.026748757411};

// Filters and halves a sequence (symmetric extension about the end samples).
std::vector<double> lowPassHalve(const std::vector<double>& x) {
  const int n = static_cast<int>(x.size());
  auto at = [&](int i) {
    while (i < 0 || i >= n) i = i < 0 ? -i : 2 * (n - 1) - i;
    return x[static_cast<size_t>(i)];
  };
  std::vector<double> out(static_cast<size_t>((n + 1) / 2));
  for (int i = 0; i < static_cast<int>(out.size()); ++i) {
    double sum = kLowPass[0] * at(2 * i);
    for (int k = 1; k < 5; ++k) sum += kLowPass[k] * (at(2 * i - k) + at(2 * i + k));
    out[static_cast<size_t>(i)] = sum;
  }
  return out;
}

} // namespace

int columnLimit(int level) {
  return wavelet::kColumnLimits[std::clamp(level, 0, int(wavelet::kColumnLimits.size()) - 1)];
}

DecodedPicture decodePayload(const std::vector<uint8_t>& payload, int height, int level, EngineKind engine,
                             bool firstFieldOnly) {
  DecodedPicture picture;
  FieldStreams fields;
  if (!splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields)) return picture;
  std::vector<uint8_t> frame(kFrameBytes);
  CWaveletDecoder decoder(720, height, engine);
  DecodeSettings settings;
  settings.region.colEnd = columnLimit(level);
  settings.levels = level;
  settings.setFields(fields);
  if (firstFieldOnly) {
    settings.secondFieldData = nullptr;
    settings.secondFieldLength = 0;
  }
  settings.output = frame.data();
  settings.outputSize = kFrameBytes;
  const DecodeReport report = decoder.Decode(settings);
  picture.ok = report.ok();
  picture.result = report.result;
  picture.errorStage = report.errorStage;
  picture.errorBand = report.errorBand;
  if (!picture.ok) return picture;
  picture.width = report.outWidth;
  picture.height = report.outHeight;
  // Bottom-up BGR rows to upright RGB.
  picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
  for (int row = 0; row < picture.height; ++row) {
    const uint8_t* in = frame.data() + static_cast<size_t>(picture.height - 1 - row) * picture.width * 3;
    uint8_t* out = picture.rgb.data() + static_cast<size_t>(row) * picture.width * 3;
    for (int x = 0; x < picture.width; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  return picture;
}

double psnr(const std::vector<uint8_t>& a, int aWidth, const std::vector<uint8_t>& b, int bWidth, int width,
            int height) {
  double sum = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) {
      const double d =
          double(a[static_cast<size_t>(y) * aWidth * 3 + x]) - double(b[static_cast<size_t>(y) * bWidth * 3 + x]);
      sum += d * d;
    }
  const double mse = sum / (3.0 * width * height);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

namespace {

// A plane of doubles reduced in place: `level` halvings across columns, `level` - 1 across lines.
void reducePlane(std::vector<double>& plane, int& w, int& lines, int level) {
  for (int step = 0; step < level; ++step) {
    const bool halveLines = step >= 1;
    const int newW = (w + 1) / 2;
    const int newLines = halveLines ? (lines + 1) / 2 : lines;
    std::vector<double> across(static_cast<size_t>(newW) * lines);
    for (int y = 0; y < lines; ++y) {
      std::vector<double> row(plane.begin() + static_cast<ptrdiff_t>(y) * w,
                              plane.begin() + static_cast<ptrdiff_t>(y + 1) * w);
      const auto half = lowPassHalve(row);
      std::copy(half.begin(), half.end(), across.begin() + static_cast<ptrdiff_t>(y) * newW);
    }
    if (halveLines) {
      std::vector<double> down(static_cast<size_t>(newW) * newLines);
      for (int x = 0; x < newW; ++x) {
        std::vector<double> column(static_cast<size_t>(lines));
        for (int y = 0; y < lines; ++y) column[static_cast<size_t>(y)] = across[static_cast<size_t>(y) * newW + x];
        const auto half = lowPassHalve(column);
        for (int y = 0; y < newLines; ++y) down[static_cast<size_t>(y) * newW + x] = half[static_cast<size_t>(y)];
      }
      plane.swap(down);
    } else {
      plane.swap(across);
    }
    w = newW;
    lines = newLines;
  }
}

uint8_t toByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

} // namespace

std::vector<uint8_t> reducedReference(const std::vector<uint8_t>& rgb, int width, int height, int level,
                                      ColourSampling sampling, int& reducedWidth, int& reducedHeight) {
  const int lines = level >= 1 ? height / 2 : height;
  const int lineStep = level >= 1 ? 2 : 1;
  auto pixel = [&](int x, int y, int c) {
    return double(rgb[(static_cast<size_t>(y) * lineStep * width + x) * 3 + c]);
  };

  if (sampling == ColourSampling::Full) {
    std::vector<std::vector<double>> planes(3, std::vector<double>(static_cast<size_t>(width) * lines));
    for (int y = 0; y < lines; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) planes[static_cast<size_t>(c)][static_cast<size_t>(y) * width + x] = pixel(x, y, c);
    int w = width, h = lines;
    for (auto& plane : planes) {
      w = width;
      h = lines;
      reducePlane(plane, w, h, level);
    }
    reducedWidth = w;
    reducedHeight = h;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
      for (int c = 0; c < 3; ++c) out[i * 3 + static_cast<size_t>(c)] = toByte(planes[static_cast<size_t>(c)][i]);
    return out;
  }

  // BT.601 studio range: luminance per pixel, colour differences per pixel pair.
  const int pairs = (width + 1) / 2;
  std::vector<double> luma(static_cast<size_t>(width) * lines), cb(static_cast<size_t>(pairs) * lines),
      cr(static_cast<size_t>(pairs) * lines);
  for (int y = 0; y < lines; ++y) {
    for (int x = 0; x < width; ++x)
      luma[static_cast<size_t>(y) * width + x] =
          16 + 0.257 * pixel(x, y, 0) + 0.504 * pixel(x, y, 1) + 0.098 * pixel(x, y, 2);
    for (int j = 0; j < pairs; ++j) {
      double r = 0, g = 0, b = 0;
      for (int x : {2 * j, std::min(2 * j + 1, width - 1)}) {
        r += pixel(x, y, 0) / 2;
        g += pixel(x, y, 1) / 2;
        b += pixel(x, y, 2) / 2;
      }
      cb[static_cast<size_t>(y) * pairs + j] = 128 - 0.148 * r - 0.291 * g + 0.439 * b;
      cr[static_cast<size_t>(y) * pairs + j] = 128 + 0.439 * r - 0.368 * g - 0.071 * b;
    }
  }
  int w = width, h = lines, cw = pairs, ch = lines;
  reducePlane(luma, w, h, level);
  reducePlane(cb, cw, ch, level);
  ch = lines;
  cw = pairs;
  reducePlane(cr, cw, ch, level);
  reducedWidth = w;
  reducedHeight = h;
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double Y = 1.164 * (luma[static_cast<size_t>(y) * w + x] - 16);
      const size_t ci = static_cast<size_t>(y) * cw + std::min(x / 2, cw - 1);
      const double u = cb[ci] - 128, v = cr[ci] - 128;
      uint8_t* p = out.data() + (static_cast<size_t>(y) * w + x) * 3;
      p[0] = toByte(Y + 1.596 * v);
      p[1] = toByte(Y - 0.813 * v - 0.391 * u);
      p[2] = toByte(Y + 2.018 * u);
    }
  return out;
}

} // namespace wavelet::test
