// camview-decode's PNG output for the WebAssembly build, which has no libpng: the same
// upright RGB PNG, its image data in uncompressed ("stored") deflate blocks. Larger files,
// the same pixels.
#include "tools/camview-decode/PngWriter.h"

#include <array>
#include <fstream>
#include <vector>

namespace camview::decodetool {

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

void putChunk(std::vector<std::uint8_t>& file, const char* type, const std::vector<std::uint8_t>& data) {
  putBig32(file, std::uint32_t(data.size()));
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  putBig32(file, crc32(file.data() + start, file.size() - start));
}

} // namespace

bool writeBottomUpBgrAsPng(const std::string& path, const uint8_t* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  // Filter byte 0 and RGB bytes per row, top row first.
  std::vector<std::uint8_t> raw;
  raw.reserve(std::size_t(height) * (std::size_t(width) * 3 + 1));
  for (int y = height - 1; y >= 0; --y) {
    raw.push_back(0);
    const uint8_t* row = pixels + std::size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      raw.push_back(row[x * 3 + 2]);
      raw.push_back(row[x * 3 + 1]);
      raw.push_back(row[x * 3 + 0]);
    }
  }
  // zlib stream: header, stored blocks of at most 65535 bytes, Adler-32.
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  std::size_t offset = 0;
  do {
    const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
    const bool last = offset + size == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(std::uint8_t(size));
    zlib.push_back(std::uint8_t(size >> 8));
    zlib.push_back(std::uint8_t(~size));
    zlib.push_back(std::uint8_t(~size >> 8));
    zlib.insert(zlib.end(), raw.begin() + std::ptrdiff_t(offset), raw.begin() + std::ptrdiff_t(offset + size));
    offset += size;
  } while (offset < raw.size());
  putBig32(zlib, (b << 16) | a);

  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  putBig32(header, std::uint32_t(width));
  putBig32(header, std::uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
  putChunk(file, "IHDR", header);
  putChunk(file, "IDAT", zlib);
  putChunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return bool(out);
}

} // namespace camview::decodetool
