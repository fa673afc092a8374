#include "pixkit/PKImage.h"

#include <algorithm>
#include <climits>
#include <new>

#include "base/LittleEndian.h"
#include "pixkit/PKMemory.h"

CPKImage::CPKImage(unsigned char* block) : m_block(block) {}

CPKImage::~CPKImage() { pkFreeBlock(m_block); }

namespace pixkit {
namespace {

constexpr std::size_t kModeOffset = 8;
constexpr std::size_t kSizeOffset = 12;
constexpr std::int32_t kModeRuns = 0;
constexpr std::int32_t kModeRaw = 1;
constexpr std::uint64_t kMaxBlockSize = INT32_MAX;

// Sequential little-endian 16-bit writer that refuses to pass the end of its block.
class WordWriter {
public:
  WordWriter(unsigned char* block, std::size_t end, std::size_t start) : m_block(block), m_end(end), m_pos(start) {}
  bool put(std::uint16_t word) {
    if (m_pos + 2 > m_end) return false;
    le::writeU16(m_block + m_pos, word);
    m_pos += 2;
    return true;
  }
  std::size_t position() const { return m_pos; }

private:
  unsigned char* m_block;
  std::size_t m_end;
  std::size_t m_pos;
};

// Mode 0: palette of the occurring indices and run codes. Returns the bytes used, or 0
// when the codes do not fit in the block (the caller then stores the picture raw).
// *allocationFailed is set when the histogram cannot be allocated.
std::size_t encodeRuns(const unsigned char* pixels, int width, int height, long long stride, unsigned char* block,
                       std::size_t blockSize, bool* allocationFailed) {
  // Counts per 5-6-5 index, later turned into palette position + 1 (0: absent).
  std::uint32_t* slots = new (std::nothrow) std::uint32_t[65536]();
  if (slots == nullptr) {
    *allocationFailed = true;
    return 0;
  }
  for (int i = 0; i < height; ++i) {
    const unsigned char* row = pixels + i * stride;
    for (int j = 0; j < width; ++j) slots[colourIndex(row + 3 * j)] = 1;
  }
  WordWriter out(block, blockSize, CPKImage::kHeaderSize);
  std::uint32_t n = 0;
  for (std::uint32_t index = 0; index < 65536; ++index) {
    if (slots[index] != 0) slots[index] = ++n;
  }
  bool fitted = n <= 0xFFFF && out.put(static_cast<std::uint16_t>(n));
  for (std::uint32_t index = 0; fitted && index < 65536; ++index) {
    if (slots[index] != 0) fitted = out.put(static_cast<std::uint16_t>(index));
  }
  const int b = bitLength(n);
  const int longest = b >= 16 ? 1 : 1 << (16 - b);
  for (int i = 0; fitted && i < height; ++i) {
    const unsigned char* row = pixels + i * stride;
    for (int x = 0; fitted && x < width;) {
      const std::uint16_t index = colourIndex(row + 3 * x);
      int run = 1;
      while (x + run < width && run < longest && colourIndex(row + 3 * (x + run)) == index) ++run;
      const std::uint32_t code = (slots[index] - 1) | (static_cast<std::uint32_t>(run - 1) << b);
      fitted = out.put(static_cast<std::uint16_t>(code));
      x += run;
    }
  }
  delete[] slots;
  return fitted ? out.position() : 0;
}

} // namespace

int bitLength(std::uint32_t n) {
  int bits = 0;
  while (n != 0) {
    ++bits;
    n >>= 1;
  }
  return bits;
}

std::int32_t imageWidth(const unsigned char* block) { return le::readI32(block); }
std::int32_t imageHeight(const unsigned char* block) { return le::readI32(block + 4); }
std::int32_t imageMode(const unsigned char* block) { return le::readI32(block + kModeOffset); }
std::uint32_t imageSize(const unsigned char* block) { return le::readU32(block + kSizeOffset); }

} // namespace pixkit

namespace pixkit {

unsigned char* encodeImage(const unsigned char* pixels, int width, int height, long long stride, bool raw) {
  if (width < 0 || height < 0) return nullptr;
  const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  const std::uint64_t rawSize = CPKImage::kHeaderSize + 2 * count;
  if (rawSize > kMaxBlockSize || (count != 0 && pixels == nullptr)) return nullptr;
  unsigned char* block = pkAllocBlock(static_cast<std::size_t>(rawSize));
  if (block == nullptr) return nullptr;
  le::writeU32(block, static_cast<std::uint32_t>(width));
  le::writeU32(block + 4, static_cast<std::uint32_t>(height));

  std::size_t used = 0;
  if (!raw && count != 0) {
    bool allocationFailed = false;
    used = encodeRuns(pixels, width, height, stride, block, static_cast<std::size_t>(rawSize), &allocationFailed);
    if (allocationFailed) {
      pkFreeBlock(block);
      return nullptr;
    }
  }
  if (used != 0) {
    le::writeU32(block + kModeOffset, kModeRuns);
    le::writeU32(block + kSizeOffset, static_cast<std::uint32_t>(used));
    return block;
  }
  le::writeU32(block + kModeOffset, kModeRaw);
  le::writeU32(block + kSizeOffset, static_cast<std::uint32_t>(rawSize));
  if (count == 0) return block;
  unsigned char* out = block + CPKImage::kHeaderSize;
  for (int i = 0; i < height; ++i) {
    const unsigned char* row = pixels + i * stride;
    for (int j = 0; j < width; ++j, out += 2) le::writeU16(out, colourIndex(row + 3 * j));
  }
  return block;
}

bool isValidImageBlock(const unsigned char* block, std::size_t available) {
  if (block == nullptr || available < CPKImage::kHeaderSize) return false;
  const std::int32_t width = imageWidth(block);
  const std::int32_t height = imageHeight(block);
  const std::uint32_t size = imageSize(block);
  if (width < 0 || height < 0 || size < CPKImage::kHeaderSize || size > available) return false;
  const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  const std::int32_t mode = imageMode(block);
  if (mode == kModeRaw) return CPKImage::kHeaderSize + 2 * count <= size;
  if (mode != kModeRuns) return false;
  if (size < CPKImage::kHeaderSize + 2) return false;
  const std::uint32_t n = le::readU16(block + CPKImage::kHeaderSize);
  std::uint64_t pos = CPKImage::kHeaderSize + 2 + 2ull * n;
  if (pos > size) return false;
  if (count == 0) return true;
  if (n == 0) return false;
  const int b = bitLength(n);
  const std::uint32_t mask = (1u << b) - 1;
  // Every row's codes must cover exactly width pixels with palette positions below n.
  for (std::int32_t i = 0; i < height; ++i) {
    std::int64_t covered = 0;
    while (covered < width) {
      if (pos + 2 > size) return false;
      const std::uint32_t code = le::readU16(block + pos);
      pos += 2;
      if ((code & mask) >= n) return false;
      covered += (code >> b) + 1;
    }
    if (covered != width) return false;
  }
  return true;
}

void paintImage(CPKSurface& surface, const unsigned char* block, int x, int y) {
  const std::int32_t width = imageWidth(block);
  const std::int32_t height = imageHeight(block);
  if (width <= 0 || height <= 0) return;
  const std::int64_t surfaceWidth = surface.width();
  const std::int64_t surfaceHeight = surface.height();
  const unsigned char* data = block + CPKImage::kHeaderSize;
  const std::int32_t mode = imageMode(block);
  if (mode == kModeRaw) {
    int x0, y0, x1, y1;
    if (!surface.visibleRange(x, y, static_cast<long long>(x) + width - 1, static_cast<long long>(y) + height - 1, x0,
                              y0, x1, y1)) {
      return;
    }
    for (int py = y0; py < y1; ++py) {
      const unsigned char* row = data + 2 * (static_cast<std::uint64_t>(py - y) * width);
      for (int px = x0; px < x1; ++px) surface.setPixelIndexed(px, py, le::readU16(row + 2 * (px - x)));
    }
    return;
  }
  if (mode != kModeRuns) return;
  const std::uint32_t n = le::readU16(data);
  const unsigned char* palette = data + 2;
  const unsigned char* codes = palette + 2 * n;
  const int b = bitLength(n);
  const std::uint32_t mask = (1u << b) - 1;
  for (std::int32_t i = 0; i < height; ++i) {
    const std::int64_t row = static_cast<std::int64_t>(y) + i;
    const bool rowVisible = row >= 0 && row < surfaceHeight;
    std::int64_t covered = 0;
    while (covered < width) {
      const std::uint32_t code = le::readU16(codes);
      codes += 2;
      const std::int64_t length = (code >> b) + 1;
      if (rowVisible) {
        // Clip the run here so that the coordinates stay within int.
        const std::int64_t start = std::max<std::int64_t>(x + covered, 0);
        const std::int64_t end = std::min<std::int64_t>(x + covered + length, surfaceWidth);
        if (start < end) {
          const std::uint16_t colour = le::readU16(palette + 2 * (code & mask));
          surface.fillSpanIndexed(static_cast<int>(start), static_cast<int>(row), colour,
                                  static_cast<int>(end - start));
        }
      }
      covered += length;
    }
  }
}

} // namespace pixkit
