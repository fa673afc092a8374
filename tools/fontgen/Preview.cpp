#include "tools/fontgen/Preview.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "base/LittleEndian.h"
#include "tools/fontgen/FontBlock.h"

namespace fontgen {

namespace {

struct Record {
  int width, advance, height, top, offset;
};

Record readRecord(const std::vector<std::uint8_t>& block, int code) {
  auto word = [&](int index) {
    const std::size_t at = kHeaderSize + static_cast<std::size_t>(code) * kRecordSize + 4 * index;
    return static_cast<int>(le::readI32(block.data() + at));
  };
  return Record{word(0), word(1), word(2), word(3), word(4)};
}

} // namespace

void writePreview(const std::string& path, const std::vector<std::uint8_t>& block,
                  const std::vector<std::string>& lines) {
  const BlockMetrics metrics = measureBlock(block);
  const int margin = 4;
  const int lineHeight = metrics.lineHeight + 2; // two rows apart, to see each line's box
  int width = 0;
  for (const std::string& line : lines) {
    int pen = 0;
    for (unsigned char code : line) pen += readRecord(block, code).advance;
    width = std::max(width, pen);
  }
  width += 2 * margin;
  const int height = static_cast<int>(lines.size()) * lineHeight + 2 * margin;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height, 0);

  int y = margin;
  for (const std::string& line : lines) {
    // The line box in a faint grey, so that glyph tops and bottoms can be judged.
    for (int row = y; row < y + metrics.lineHeight; ++row) {
      std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(row) * width + margin, width - 2 * margin, 40);
    }
    int pen = margin;
    for (unsigned char code : line) {
      const Record glyph = readRecord(block, code);
      const std::size_t rowBytes = static_cast<std::size_t>(glyph.width + 1) / 2;
      for (int r = 0; r < glyph.height; ++r) {
        for (int c = 0; c < glyph.width; ++c) {
          const std::uint8_t byte = block[kHeaderSize + glyph.offset + r * rowBytes + c / 2];
          const int coverage = c % 2 == 0 ? byte >> 4 : byte & 15;
          const int px = pen + c, py = y + glyph.top + r;
          if (coverage == 0 || px >= width || py >= height) continue;
          std::uint8_t& pixel = pixels[static_cast<std::size_t>(py) * width + px];
          pixel = static_cast<std::uint8_t>(std::max<int>(pixel, coverage * 17));
        }
      }
      pen += glyph.advance;
    }
    y += lineHeight;
  }

  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << width << ' ' << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace fontgen
