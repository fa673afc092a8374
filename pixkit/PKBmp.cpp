#include <cstdint>
#include <new>

#include "base/LittleEndian.h"
#include "pixkit/PKIcon.h"
#include "pixkit/PKTypes.h"

// Reading Windows BMP data into an icon. Only the info header's size, width, height,
// bits per pixel and compression are read; the colour table (2^bits entries of blue,
// green, red, reserved) follows the info header and the pixel rows follow the table.
// Rows are padded to a multiple of 4 bytes.

namespace pixkit {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kMinInfoHeaderSize = 40;

std::uint64_t paddedRow(std::uint64_t bytes) { return (bytes + 3) & ~std::uint64_t{3}; }

// Whether `length` bytes at `offset` lie inside the data (always true for trusted data).
bool fits(std::size_t size, std::uint64_t offset, std::uint64_t length) {
  if (size == kUnknownSize) return true;
  return offset <= size && length <= size - offset;
}

} // namespace

CPKIcon* makeIconFromBmp(bool infoHeaderOnly, const unsigned char* bmp, std::size_t size, int flags, int low,
                         int high) {
  if (bmp == nullptr) return nullptr;
  const std::uint64_t infoOffset = infoHeaderOnly ? 0 : kFileHeaderSize;
  if (!fits(size, infoOffset, kMinInfoHeaderSize)) return nullptr;
  const unsigned char* info = bmp + infoOffset;
  const std::uint32_t headerSize = le::readU32(info);
  const std::int32_t width = le::readI32(info + 4);
  const std::int32_t storedHeight = le::readI32(info + 8);
  const unsigned bits = le::readU16(info + 14);
  const std::uint32_t compression = le::readU32(info + 16);

  if (compression != 0 || headerSize < kMinInfoHeaderSize) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return nullptr; // no 16/32-bit path
  if (width < 0 || storedHeight == INT32_MIN) return nullptr;
  const std::int32_t height = storedHeight < 0 ? -storedHeight : storedHeight;
  // Bottom-up rows (the usual case) make the icon upright by default.
  if (storedHeight >= 0) flags ^= PKICON_FLIPY;

  const std::uint64_t tableOffset = infoOffset + headerSize;
  if (bits == 24) {
    const std::uint64_t stride = paddedRow(static_cast<std::uint64_t>(width) * 3);
    if (!fits(size, tableOffset, stride * static_cast<std::uint64_t>(height))) return nullptr;
    return makeIcon(bmp + tableOffset, width, height, static_cast<long long>(stride), flags, low, high);
  }

  const std::uint64_t entries = std::uint64_t{1} << bits;
  const std::uint64_t pixelOffset = tableOffset + 4 * entries;
  const std::uint64_t sourceStride = paddedRow((static_cast<std::uint64_t>(width) * bits + 7) / 8);
  if (!fits(size, tableOffset, 4 * entries)) return nullptr;
  if (!fits(size, pixelOffset, sourceStride * static_cast<std::uint64_t>(height))) return nullptr;

  if (width == 0 || height == 0) return makeIcon(nullptr, width, height, 0, flags, low, high);

  // Expand the palette image to a temporary 24-bit picture.
  const std::uint64_t stride = paddedRow(static_cast<std::uint64_t>(width) * 3);
  const std::uint64_t pictureBytes = stride * static_cast<std::uint64_t>(height);
  if (pictureBytes > static_cast<std::uint64_t>(PTRDIFF_MAX)) return nullptr;
  unsigned char* picture = new (std::nothrow) unsigned char[pictureBytes == 0 ? 1 : pictureBytes];
  if (picture == nullptr) return nullptr;
  const unsigned char* table = bmp + tableOffset;
  const unsigned mask = (1u << bits) - 1;
  for (std::int32_t r = 0; r < height; ++r) {
    const unsigned char* src = bmp + pixelOffset + sourceStride * r;
    unsigned char* out = picture + stride * r;
    for (std::int32_t j = 0; j < width; ++j, out += 3) {
      unsigned index;
      if (bits == 8) {
        index = src[j];
      } else {
        // Indices are taken most significant bit first from the row's bit stream.
        const std::uint64_t bit = static_cast<std::uint64_t>(j) * bits;
        index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
      }
      const unsigned char* entry = table + 4 * index;
      out[0] = entry[0];
      out[1] = entry[1];
      out[2] = entry[2];
    }
  }
  CPKIcon* icon = makeIcon(picture, width, height, static_cast<long long>(stride), flags, low, high);
  delete[] picture;
  return icon;
}

} // namespace pixkit
