#include "hosts/activex/olecontrol/PropertyStream.h"

#include <cstring>

namespace olecontrol {

bool readNumber(ByteSource& source, std::int32_t& value) {
  std::uint8_t bytes[4];
  if (!source.read(bytes, sizeof bytes)) return false;
  value = static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                    std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
  return true;
}

bool readText(ByteSource& source, std::u16string& value) {
  std::int32_t count = 0;
  if (!readNumber(source, count)) return false;
  const std::uint32_t units = static_cast<std::uint32_t>(count);
  if (units > kMaxTextUnits) return false;
  std::vector<std::uint8_t> bytes(2 * std::size_t(units));
  if (!source.read(bytes.data(), bytes.size())) return false;
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  value.swap(text);
  return true;
}

bool writeNumber(ByteSink& sink, std::int32_t value) {
  const std::uint32_t word = static_cast<std::uint32_t>(value);
  const std::uint8_t bytes[4] = {std::uint8_t(word), std::uint8_t(word >> 8), std::uint8_t(word >> 16),
                                 std::uint8_t(word >> 24)};
  return sink.write(bytes, sizeof bytes);
}

bool writeText(ByteSink& sink, const std::u16string& value) {
  if (value.size() > kMaxTextUnits) return false;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * value.size());
  for (char16_t unit : value) {
    bytes.push_back(std::uint8_t(unit));
    bytes.push_back(std::uint8_t(unit >> 8));
  }
  return writeNumber(sink, static_cast<std::int32_t>(value.size())) && sink.write(bytes.data(), bytes.size());
}

bool MemorySource::read(void* destination, std::size_t count) {
  if (count > size_ - offset_) return false;
  if (count > 0) std::memcpy(destination, data_ + offset_, count);
  offset_ += count;
  return true;
}

bool MemorySink::write(const void* data, std::size_t count) {
  const auto* first = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), first, first + count);
  return true;
}

} // namespace olecontrol
