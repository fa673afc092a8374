#pragma once

#include <cstdint>
#include <vector>

namespace pixkit_test {

// Builds Windows BMP data for tests from a top-down picture.
struct BmpLayout {
  int width = 0;
  int height = 0;
  int bits = 24;        // 1, 4, 8 or 24 (others for rejection tests)
  bool topDown = false; // negative height, rows stored top-down
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette; // 0x00RRGGBB entries (padded to 2^bits)
  std::vector<std::uint32_t> pixels;  // top-down: indices, or 0x00RRGGBB for 24 bits
};

inline std::vector<std::uint8_t> buildBmp(const BmpLayout& s, bool withFileHeader = true) {
  std::vector<std::uint8_t> out;
  auto put16 = [&](std::uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  const int entries = s.bits <= 8 ? 1 << s.bits : 0;
  const int rowBytes = ((s.width * s.bits + 7) / 8 + 3) & ~3;
  if (withFileHeader) {
    out.push_back('B');
    out.push_back('M');
    put32(14 + 40 + 4 * entries + rowBytes * s.height);
    put32(0);
    put32(14 + 40 + 4 * entries);
  }
  put32(40);
  put32(static_cast<std::uint32_t>(s.width));
  put32(static_cast<std::uint32_t>(s.topDown ? -s.height : s.height));
  put16(1);
  put16(static_cast<std::uint32_t>(s.bits));
  put32(s.compression);
  put32(0);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int i = 0; i < entries; ++i) {
    const std::uint32_t c = i < static_cast<int>(s.palette.size()) ? s.palette[i] : 0;
    out.push_back(c & 0xFF);
    out.push_back((c >> 8) & 0xFF);
    out.push_back((c >> 16) & 0xFF);
    out.push_back(0);
  }
  for (int r = 0; r < s.height; ++r) {
    const int y = s.topDown ? r : s.height - 1 - r;
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t v = s.pixels[y * s.width + x];
      if (s.bits == 24) {
        row[3 * x] = v & 0xFF;
        row[3 * x + 1] = (v >> 8) & 0xFF;
        row[3 * x + 2] = (v >> 16) & 0xFF;
      } else {
        const int bit = x * s.bits;
        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bits - bit % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

} // namespace pixkit_test
