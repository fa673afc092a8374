#include "BenchPicture.h"

#include "recorder/encoder/PictureEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wavelet::bench {
namespace {

// Smooth value noise in [0, 1): bilinear interpolation of a hashed lattice.
double lattice(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

double valueNoise(double x, double y, uint32_t seed) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const double a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
  const double c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

double fractal(double x, double y, uint32_t seed) {
  double sum = 0, amplitude = 0.5, frequency = 1.0 / 64;
  for (int octave = 0; octave < 5; ++octave) {
    sum += amplitude * valueNoise(x * frequency, y * frequency, seed + octave);
    amplitude *= 0.5;
    frequency *= 2;
  }
  return sum;
}

} // namespace

std::vector<uint8_t> makeBenchPicture() {
  std::vector<uint8_t> rgb(size_t(kBenchWidth) * kBenchHeight * 3);
  uint32_t noiseState = 12345;
  for (int y = 0; y < kBenchHeight; ++y)
    for (int x = 0; x < kBenchWidth; ++x) {
      double r, g, b;
      const double horizon = 250 + 20 * std::sin(x / 90.0);
      if (y < horizon) { // sky with clouds
        const double cloud = std::clamp(fractal(x, y * 2, 7) * 1.6 - 0.5, 0.0, 1.0);
        r = 90 + 60 * y / horizon + 150 * cloud;
        g = 140 + 50 * y / horizon + 110 * cloud;
        b = 220 - 20 * y / horizon + 35 * cloud;
      } else { // grass and foliage
        const double t = fractal(x * 2, y * 2, 3);
        r = 50 + 80 * t;
        g = 90 + 110 * t;
        b = 30 + 40 * t;
      }
      // Buildings with windows.
      for (int k = 0; k < 6; ++k) {
        const int left = 40 + k * 115, right = left + 80 + (k % 3) * 10;
        const int top = 120 + (k * 37) % 90;
        if (x >= left && x < right && y >= top && y < 330) {
          const bool window = (x - left) % 16 > 5 && (y - top) % 22 > 8 && y < 320;
          const double shade = 110 + 30 * ((k * 53) % 3) + 20 * fractal(x * 4, y * 4, 11);
          r = window ? 230 : shade;
          g = window ? 220 : shade * 0.9;
          b = window ? 150 : shade * 0.8;
        }
      }
      // A road with lane markings.
      if (y > 420 && std::abs(x - 360 - (y - 420) * 0.8) < 60 + (y - 420) * 0.9) {
        const bool marking = std::abs(x - 360 - (y - 420) * 0.8) < 3 && (y / 12) % 2 == 0;
        r = g = b = marking ? 235 : 85 + 25 * fractal(x * 8, y * 8, 5);
      }
      // A sign with fine text-like stripes.
      if (x > 560 && x < 700 && y > 360 && y < 410) {
        const bool ink = (x / 3 + (y / 7) * 5) % 7 < 3 && (y % 7) > 1;
        r = ink ? 20 : 240;
        g = ink ? 30 : 240;
        b = ink ? 120 : 230;
      }
      noiseState = noiseState * 1664525u + 1013904223u;
      const double noise = double(int(noiseState >> 29) - 4) * 0.8;
      uint8_t* p = &rgb[(size_t(y) * kBenchWidth + x) * 3];
      p[0] = uint8_t(std::clamp(r + noise, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(g + noise, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(b + noise, 0.0, 255.0));
    }
  return rgb;
}

int encodeNearSize(const std::vector<uint8_t>& rgb, size_t targetBytes, std::vector<uint8_t>& payload) {
  PictureEncoder encoder;
  EncoderSettings settings;
  int bestQuality = 1;
  size_t bestDistance = SIZE_MAX;
  std::vector<uint8_t> candidate;
  for (int quality = 1; quality <= 100; ++quality) {
    settings.quality = quality;
    if (!encoder.encode(rgb.data(), kBenchWidth, kBenchHeight, kBenchWidth * 3, settings, candidate)) continue;
    const size_t distance =
        candidate.size() > targetBytes ? candidate.size() - targetBytes : targetBytes - candidate.size();
    if (distance < bestDistance) {
      bestDistance = distance;
      bestQuality = quality;
      payload = candidate;
    }
  }
  return bestQuality;
}

} // namespace wavelet::bench
