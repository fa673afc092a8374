#pragma once
// The binary form of a control's properties, as IPersistStreamInit saves and loads them:
// the values one after the other in the order the control exchanges them. A number is a
// 32-bit little-endian integer; a text is a 32-bit little-endian count of UTF-16 code units
// followed by the units (little-endian, no terminating NUL).
//
// The bytes come from the container's storage: a count is checked against kMaxTextUnits
// before anything is allocated, and a short read fails the load. This file has no Windows
// dependency, so that the reader can be fuzzed natively.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace olecontrol {

// Longest text accepted when loading (a recorder address is at most 255 characters; a
// property can hold more, but not without bound).
constexpr std::uint32_t kMaxTextUnits = 65536;

class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Reads exactly `count` bytes; false when fewer are available or the source fails.
  virtual bool read(void* destination, std::size_t count) = 0;
};

class ByteSink {
public:
  virtual ~ByteSink() = default;
  virtual bool write(const void* data, std::size_t count) = 0;
};

bool readNumber(ByteSource& source, std::int32_t& value);
// False, leaving `value` as it was, when the count exceeds kMaxTextUnits or the units are
// not all there.
bool readText(ByteSource& source, std::u16string& value);

bool writeNumber(ByteSink& sink, std::int32_t value);
// Texts longer than kMaxTextUnits are not written (false): they could not be loaded again.
bool writeText(ByteSink& sink, const std::u16string& value);
// Bytes that writeText takes for `units` code units.
constexpr std::size_t textSize(std::size_t units) { return 4 + 2 * units; }

// A source over bytes in memory (tests, fuzzing).
class MemorySource final : public ByteSource {
public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool read(void* destination, std::size_t count) override;
  std::size_t remaining() const { return size_ - offset_; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

class MemorySink final : public ByteSink {
public:
  bool write(const void* data, std::size_t count) override;
  std::vector<std::uint8_t> bytes;
};

} // namespace olecontrol
