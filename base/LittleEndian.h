#pragma once
// Little-endian integers in byte blocks: the recorder's messages, picture payloads and field
// streams, font blocks, bitmaps and image containers all store their integers this way.
// Byte by byte, so neither alignment nor the host's byte order matters; compilers turn each
// function into a single load or store where the target allows unaligned access.
#include <cstdint>
#include <vector>

namespace le {

constexpr std::uint16_t readU16(const std::uint8_t* p) noexcept { return std::uint16_t(p[0] | (p[1] << 8)); }

constexpr std::uint32_t readU32(const std::uint8_t* p) noexcept {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

// Two's complement, as the recorder protocol's signed lengths and codes are sent.
constexpr std::int32_t readI32(const std::uint8_t* p) noexcept { return std::int32_t(readU32(p)); }

constexpr void writeU16(std::uint8_t* p, std::uint16_t value) noexcept {
  p[0] = std::uint8_t(value);
  p[1] = std::uint8_t(value >> 8);
}

constexpr void writeU32(std::uint8_t* p, std::uint32_t value) noexcept {
  p[0] = std::uint8_t(value);
  p[1] = std::uint8_t(value >> 8);
  p[2] = std::uint8_t(value >> 16);
  p[3] = std::uint8_t(value >> 24);
}

constexpr void writeI32(std::uint8_t* p, std::int32_t value) noexcept { writeU32(p, std::uint32_t(value)); }

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t bytes[4];
  writeU32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

} // namespace le
