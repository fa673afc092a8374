#include "decoder/BitReader.h"

#include "decoder/CodeTables.h"

namespace wavelet {

bool BitReader::ReadFieldHeader(int& parity, uint8_t (&header)[kHeaderBytes]) {
  if (!Sync()) return false;
  uint32_t parityByte = 0;
  uint32_t formatByte = 0;
  if (Read(8, parityByte) != ERR_NONE || Read(8, formatByte) != ERR_NONE) return false;
  if ((parityByte != 0x40 && parityByte != 0x41) || formatByte != 0x00) return false;
  for (uint8_t& byte : header) {
    uint32_t value = 0;
    if (Read(8, value) != ERR_NONE) return false;
    byte = static_cast<uint8_t>(value);
  }
  parity = parityByte == 0x41 ? 1 : 0;
  bandCounter = -1;
  return true;
}

int BitReader::ReadBandHeader(int& type, int16_t& quantiser, bool& empty) {
  if (next >= count) return ERR_END_OF_DATA;
  pendingBits = 0;
  pendingCount = 0;
  const bool first = bandCounter == -1;
  ++bandCounter;
  if (!first && !Sync()) return ERR_NO_BAND_MARKER;
  uint32_t value = 0;
  if (int error = Read(8, value)) return error;
  type = static_cast<int>(value);
  if (type != kBandTypeEmpty && (type < kBandTypeClassA1 || type > kBandTypeClassB132)) return ERR_BAD_BAND_TYPE;
  if (int error = Read(16, value)) return error;
  quantiser = static_cast<int16_t>(static_cast<uint16_t>(value));
  empty = type == kBandTypeEmpty;
  return ERR_NONE;
}

} // namespace wavelet
