#include "platform/paint/PngFile.h"

#include "platform/paint/SoftwareCanvas.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace paint {
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
  out.push_back(value >> 24);
  out.push_back(value >> 16);
  out.push_back(value >> 8);
  out.push_back(value);
}

void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& body) {
  putBig32(out, static_cast<std::uint32_t>(body.size()));
  std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  putBig32(out, crc32(&out[typeAt], body.size() + 4));
}

} // namespace

std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* bgrRows, int stride) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  // Filter byte 0 then R, G, B for every row.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (width * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const std::uint8_t* p = bgrRows + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      raw.push_back(p[2]);
      raw.push_back(p[1]);
      raw.push_back(p[0]);
    }
  }

  // zlib stream of stored (uncompressed) deflate blocks of at most 65535 bytes.
  std::vector<std::uint8_t> z{0x78, 0x01};
  std::size_t offset = 0;
  do {
    std::size_t chunk = std::min<std::size_t>(raw.size() - offset, 65535);
    bool last = offset + chunk == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(chunk & 0xFF);
    z.push_back(chunk >> 8);
    z.push_back(~chunk & 0xFF);
    z.push_back((~chunk >> 8) & 0xFF);
    z.insert(z.end(), raw.begin() + offset, raw.begin() + offset + chunk);
    offset += chunk;
  } while (offset < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  putBig32(z, (b << 16) | a);

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  putBig32(header, static_cast<std::uint32_t>(width));
  putBig32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, truecolour, deflate, no filter, no interlace
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", z);
  putChunk(png, "IEND", {});
  return png;
}

bool writePng(const std::string& path, int width, int height, const std::uint8_t* bgrRows, int stride) {
  std::vector<std::uint8_t> png = encodePng(width, height, bgrRows, stride);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

bool writePng(const std::string& path, const SoftwareCanvas& canvas) {
  return writePng(path, canvas.width(), canvas.height(), canvas.pixels(), canvas.stride());
}

} // namespace paint
