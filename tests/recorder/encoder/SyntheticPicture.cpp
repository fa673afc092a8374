#include "SyntheticPicture.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace wavelet::test {
namespace {

struct Canvas {
  int width;
  int height;
  std::vector<uint8_t>& pixels;

  void set(int x, int y, double r, double g, double b) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
    p[0] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
    p[1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
    p[2] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
  }
  void fill(int x0, int y0, int x1, int y1, double r, double g, double b) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) set(x, y, r, g, b);
  }
};

} // namespace

std::vector<uint8_t> makeNaturalPicture(int width, int height, unsigned seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  Canvas canvas{width, height, pixels};
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 4.0);
  const int horizon = height * 11 / 20;

  // Sky: blue to pale towards the horizon; ground: green-brown with a texture and noise.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (y < horizon) {
        const double t = static_cast<double>(y) / horizon;
        canvas.set(x, y, 70 + 110 * t, 120 + 90 * t, 210 + 20 * t);
      } else {
        const double t = static_cast<double>(y - horizon) / (height - horizon);
        const double texture = 12 * std::sin(x * 0.21 + 3 * std::sin(y * 0.05)) * std::cos(y * 0.33);
        canvas.set(x, y, 90 + 40 * t + texture + noise(random), 120 - 30 * t + texture + noise(random),
                   60 + 10 * t + noise(random));
      }
    }
  }
  // A soft sun.
  const double sunX = width * 0.8 + (seed % 7) * 5, sunY = height * 0.18, radius = height * 0.08;
  for (int y = 0; y < horizon; ++y) {
    for (int x = 0; x < width; ++x) {
      const double d = std::hypot(x - sunX, y - sunY) / radius;
      if (d < 1.6) {
        const double a = std::clamp(1.6 - d, 0.0, 1.0);
        const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
        canvas.set(x, y, p[0] + a * (250 - p[0]), p[1] + a * (235 - p[1]), p[2] + a * (170 - p[2]));
      }
    }
  }
  // Buildings with rows of windows standing on the horizon.
  for (int i = 0; i < 6; ++i) {
    const int x0 = 20 + i * 95 + static_cast<int>(random() % 20);
    const int w = 60 + static_cast<int>(random() % 30);
    const int top = horizon - height / 6 - static_cast<int>(random() % (height / 4));
    const double shade = 90 + (random() % 80);
    canvas.fill(x0, top, x0 + w, horizon + 10, shade, shade * 0.9, shade * 0.8);
    for (int wy = top + 8; wy + 10 < horizon; wy += 18)
      for (int wx = x0 + 6; wx + 8 < x0 + w; wx += 14)
        canvas.fill(wx, wy, wx + 8, wy + 10, 230, 210, random() % 2 ? 120 : 60);
  }
  // A sign with text-like strokes: dark 1- and 2-pixel strokes on a light board.
  const int boardX = width / 10, boardY = horizon + (height - horizon) / 3, boardW = width / 3, boardH = height / 6;
  canvas.fill(boardX, boardY, boardX + boardW, boardY + boardH, 235, 235, 225);
  for (int line = 0; line < 4; ++line) {
    const int baseY = boardY + 8 + line * (boardH - 10) / 4;
    for (int x = boardX + 6; x + 8 < boardX + boardW - 6; x += 9) {
      const unsigned glyph = random();
      if (glyph % 7 == 0) continue; // a space
      const int h = 8 + static_cast<int>(glyph % 3);
      canvas.fill(x, baseY, x + 1 + static_cast<int>(glyph % 2), baseY + h, 20, 20, 30); // vertical stroke
      canvas.fill(x, baseY + static_cast<int>(glyph % h), x + 6, baseY + static_cast<int>(glyph % h) + 1, 20, 20, 30);
      if (glyph & 8) canvas.fill(x + 5, baseY, x + 6, baseY + h, 20, 20, 30);
    }
  }
  return pixels;
}

std::vector<uint8_t> makeFlatPicture(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = red;
    pixels[i + 1] = green;
    pixels[i + 2] = blue;
  }
  return pixels;
}

} // namespace wavelet::test
