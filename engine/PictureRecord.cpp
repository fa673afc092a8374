#include "engine/PictureRecord.h"

#include "engine/PictureLimits.h"
#include "base/LittleEndian.h"

#include <cstring>
#include <new>

namespace {

// Everything of a picture but its bytes and `valid`.
void copyDetails(PictureRecord& to, const PictureRecord& from) noexcept {
  std::memcpy(to.header, from.header, sizeof to.header);
  to.receivedTick = from.receivedTick;
  to.clientWidth = from.clientWidth;
  to.clientHeight = from.clientHeight;
  std::memcpy(to.timing, from.timing, sizeof to.timing);
  to.sequence = from.sequence;
}

} // namespace

bool PictureRecord::reserve(std::int32_t size) {
  if (size < 0) return false;
  if (!limits::mustReallocate(capacity, size)) return true;
  delete[] data;
  data = new (std::nothrow) std::uint8_t[std::size_t(size)];
  capacity = data ? size : 0;
  return data != nullptr;
}

bool PictureRecord::copyFrom(const PictureRecord& source) {
  if (!reserve(source.length)) {
    length = 0;
    return false;
  }
  if (source.length > 0) std::memcpy(data, source.data, std::size_t(source.length));
  length = source.length;
  copyDetails(*this, source);
  return true;
}

void PictureRecord::takeFrom(PictureRecord& source) noexcept {
  if (&source == this) return;
  std::uint8_t* const block = data;
  const std::int32_t blockCapacity = capacity;
  data = source.data;
  capacity = source.capacity;
  length = source.length;
  source.data = block;
  source.capacity = blockCapacity;
  source.length = 0;
  copyDetails(*this, source);
}

void PictureRecord::release() {
  delete[] data;
  data = nullptr;
  capacity = 0;
  length = 0;
  valid.store(false, std::memory_order_release);
  std::memset(header, 0, sizeof header);
  receivedTick = 0;
  clientWidth = 0;
  clientHeight = 0;
  std::memset(timing, 0, sizeof timing);
  sequence = 0;
}

std::int32_t PictureRecord::resolutionLevel() const { return le::readI32(header + kResolutionLevelOffset); }

std::int32_t PictureRecord::reservedWord() const { return le::readI32(header + kReservedWordOffset); }

void PictureRecord::setResolutionLevel(std::int32_t level) { le::writeI32(header + kResolutionLevelOffset, level); }

void PictureRecord::setReservedWord(std::int32_t value) { le::writeI32(header + kReservedWordOffset, value); }

std::string_view PictureRecord::text(int offset, int size) const {
  const char* field = reinterpret_cast<const char*>(header + offset);
  const void* end = std::memchr(field, 0, std::size_t(size));
  const std::size_t length = end ? std::size_t(static_cast<const char*>(end) - field) : std::size_t(size);
  return std::string_view(field, length);
}

void PictureRecord::setText(int offset, int size, std::string_view value) {
  const std::size_t length = value.size() < std::size_t(size - 1) ? value.size() : std::size_t(size - 1);
  std::memset(header + offset, 0, std::size_t(size));
  std::memcpy(header + offset, value.data(), length);
}
