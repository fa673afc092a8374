// PNG files for the WebAssembly build, which has no libpng: the interface of
// platform/paint/PngFile.h, the same pixels, the image data in uncompressed ("stored")
// deflate blocks. camview-decode for node writes its --png output through it.
#include "platform/paint/PngFile.h"
#include "platform/paint/SoftwareCanvas.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace paint {

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
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

std::vector<std::uint8_t> encodePng(const PixelRows& rows) {
  constexpr int kMaxSide = 1 << 15;
  const std::ptrdiff_t rowBytes = std::ptrdiff_t(rows.width) * 3;
  if (!rows.top || rows.width <= 0 || rows.height <= 0 || rows.width > kMaxSide || rows.height > kMaxSide ||
      (rows.height > 1 && rows.stride < rowBytes && rows.stride > -rowBytes))
    return {};
  // Filter byte 0 and the RGB bytes of each row, top row first.
  std::vector<std::uint8_t> raw;
  raw.reserve(std::size_t(rows.height) * std::size_t(rowBytes + 1));
  const bool bgr = rows.order == ChannelOrder::Bgr;
  for (int y = 0; y < rows.height; ++y) {
    raw.push_back(0);
    const std::uint8_t* pixel = rows.top + std::ptrdiff_t(y) * rows.stride;
    for (int x = 0; x < rows.width; ++x, pixel += 3)
      raw.insert(raw.end(), {pixel[bgr ? 2 : 0], pixel[1], pixel[bgr ? 0 : 2]});
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
    zlib.push_back(offset + size == raw.size() ? 1 : 0);
    zlib.insert(zlib.end(),
                {std::uint8_t(size), std::uint8_t(size >> 8), std::uint8_t(~size), std::uint8_t(~size >> 8)});
    zlib.insert(zlib.end(), raw.begin() + std::ptrdiff_t(offset), raw.begin() + std::ptrdiff_t(offset + size));
    offset += size;
  } while (offset < raw.size());
  putBig32(zlib, (b << 16) | a);

  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  putBig32(header, std::uint32_t(rows.width));
  putBig32(header, std::uint32_t(rows.height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
  putChunk(file, "IHDR", header);
  putChunk(file, "IDAT", zlib);
  putChunk(file, "IEND", {});
  return file;
}

bool writePng(const std::string& path, const PixelRows& rows) {
  const std::vector<std::uint8_t> file = encodePng(rows);
  if (file.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return bool(out);
}

bool writePng(const std::string& path, const SoftwareCanvas& canvas) {
  return writePng(path, {canvas.width(), canvas.height(), canvas.pixels(), canvas.stride(), ChannelOrder::Bgr});
}

} // namespace paint
