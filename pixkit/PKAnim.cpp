#include "pixkit/PKAnim.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/LittleEndian.h"
#include "pixkit/PKImage.h"
#include "pixkit/PKMemory.h"

namespace {
constexpr std::size_t kCountOffset = 4;
constexpr std::size_t kOffsetTable = 8;
} // namespace

CPKAnim::~CPKAnim() { release(); }

void CPKAnim::adopt(unsigned char* container, int count) {
  release();
  m_container = container;
  m_count = count;
  m_current = 0;
}

void CPKAnim::release() {
  pkFreeBlock(m_container);
  m_container = nullptr;
  m_frameView = nullptr;
  m_count = 0;
  m_current = 0;
}

void CPKAnim::next() {
  if (m_count <= 0) return; // nothing to step through: stays at frame 0
  if (++m_current >= m_count) m_current = 0;
}

bool CPKAnim::select(int frame) {
  if (frame < 0 || frame >= m_count) return false;
  m_current = frame;
  return true;
}

const unsigned char* CPKAnim::frameBlock(int frame) const {
  return m_container + le::readI32(m_container + kOffsetTable + 4 * static_cast<std::size_t>(frame));
}

void CPKAnim::paint(CPKSurface& surface) {
  if (m_container == nullptr || m_count <= 0) return;
  m_frameView = frameBlock(m_current);
  pixkit::paintImage(surface, m_frameView, m_x, m_y);
}

namespace pixkit {

bool hasAnimMagic(const unsigned char* container) {
  return container != nullptr && std::memcmp(container, kAnimMagic, 4) == 0;
}

bool isValidAnimContainer(const unsigned char* container, std::size_t size) {
  if (container == nullptr || size < kOffsetTable || !hasAnimMagic(container)) return false;
  const std::int32_t count = le::readI32(container + kCountOffset);
  if (count <= 0 || static_cast<std::uint64_t>(count) > (size - kOffsetTable) / 4) return false;
  // Frames may share blocks and come in any order, but distinct blocks must not overlap
  // each other or the offset table: each block is then checked once and the work stays
  // proportional to the container's size.
  std::uint32_t* offsets = new (std::nothrow) std::uint32_t[count];
  if (offsets == nullptr) return false;
  bool valid = true;
  for (std::int32_t i = 0; i < count && valid; ++i) {
    const std::int32_t offset = le::readI32(container + kOffsetTable + 4 * static_cast<std::size_t>(i));
    valid = offset >= 0 && static_cast<std::uint64_t>(offset) < size;
    offsets[i] = static_cast<std::uint32_t>(offset);
  }
  if (valid) std::sort(offsets, offsets + count);
  std::uint64_t freeFrom = kOffsetTable + 4 * static_cast<std::uint64_t>(count);
  for (std::int32_t i = 0; i < count && valid; ++i) {
    if (i > 0 && offsets[i] == offsets[i - 1]) continue;
    valid = offsets[i] >= freeFrom && isValidImageBlock(container + offsets[i], size - offsets[i]);
    if (valid) freeFrom = offsets[i] + static_cast<std::uint64_t>(imageSize(container + offsets[i]));
  }
  delete[] offsets;
  return valid;
}

} // namespace pixkit
