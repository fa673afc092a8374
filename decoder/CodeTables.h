// The three fixed prefix-code tables of the wavelet field streams.
//
// Table 1 codes class A bands (band types 129 and 130), table 2 class B bands of type 132,
// table 3 class B bands of type 131. Each table is a canonical prefix code: codes are handed
// out in list order, the first code is 0, the next code of the same length is the previous
// one plus 1, and when the length grows by one the running code is doubled. No code is longer
// than 16 bits and the all-ones 16-bit pattern is never a code.
//
// Every table exists in three forms, built once per process on first use and read-only
// afterwards (safe to read from any number of threads):
//   - decoding form (CodeTable): all codes in code order, left-aligned in 16 bits, for the
//     bisection search of codes longer than 14 bits;
//   - fast form (FastTable): 16384 entries indexed by the next 14 stream bits, giving length
//     and symbol of any code of up to 14 bits (length 0: the code is longer);
//   - encoding form (EncodingTable): code word and length per symbol, for the encoder.
//
// The meaning of the symbols (values, runs of zeros, escapes with extra bits) is described
// next to the constants at the end of this header; the band decoders and the encoder share them.
#pragma once

#include <array>
#include <cstdint>

namespace wavelet {

// Which table: the numbers match the stream format's table numbers.
enum class CodeTableId : int {
  ClassA = 1,        // band types 129, 130
  ClassBType132 = 2, // band type 132
  ClassBType131 = 3, // band type 131
};

constexpr int kMaxCodeLength = 16;
constexpr int kFastBits = 14;
constexpr int kFastEntries = 1 << kFastBits;

// One code of the decoding form.
struct CodeEntry {
  uint16_t code;  // code word left-aligned in 16 bits (first bit = bit 15)
  uint8_t length; // 1..16
  uint8_t symbol; // 0..255
};

// Decoding form: all codes of one table in code order (ascending left-aligned value).
struct CodeTable {
  int count = 0;     // number of codes
  int firstLong = 0; // index of the first code longer than kFastBits bits
  std::array<CodeEntry, 256> entries{};
};

// Fast form: entry i describes the code that the 14 bits i begin with.
struct FastEntry {
  uint8_t length; // 0 when no code of up to 14 bits matches
  uint8_t symbol;
};
struct FastTable {
  std::array<FastEntry, kFastEntries> entries{};
};

// Encoding form: the code of every symbol, right-aligned.
// A symbol with length 0 has no code in this table and cannot be emitted.
struct EncodingEntry {
  uint16_t code;  // code word, right-aligned (emit `length` bits, most significant first)
  uint8_t length; // 0 (no code) or 1..16
};
struct EncodingTable {
  std::array<EncodingEntry, 256> symbols{};
};

// Process-wide, built on first call (thread-safe), never changed afterwards.
const CodeTable& decodingTable(CodeTableId id);
const FastTable& fastTable(CodeTableId id);
const EncodingTable& encodingTable(CodeTableId id);

// Table for a band type: 129/130 -> ClassA, 131 -> ClassBType131, 132 -> ClassBType132.
// Returns false for any other type (143, the empty band, has no table).
bool codeTableForBandType(int bandType, CodeTableId& id);

// ---------------------------------------------------------------------------------------------
// Band types of the band header.
constexpr int kBandTypeClassA1 = 129;
constexpr int kBandTypeClassA2 = 130;
constexpr int kBandTypeClassB131 = 131;
constexpr int kBandTypeClassB132 = 132;
constexpr int kBandTypeEmpty = 143;

// Class A symbols (table 1):
//   5..127, 129..251  value symbol - 128 (-123..-1, 1..123)
//   252..255          run of 1..4 zeros
//   2 / 3 / 4         run escapes: read 4 / 8 / 12 bits r, run of 5 + r / 21 + r / 277 + r zeros
//   0 / 1 / 128       value escapes: read 8 / 12 / 16 bits a (see ClassAValueEscape)
struct ClassARunEscape {
  uint8_t symbol;
  uint8_t extraBits;
  uint16_t base; // run length = base + r
};
constexpr std::array<ClassARunEscape, 3> kClassARunEscapes{{{2, 4, 5}, {3, 8, 21}, {4, 12, 277}}};

// Value escape: a < half gives positiveBase + a, else (a - half) - negativeBase.
struct ClassAValueEscape {
  uint8_t symbol;
  uint8_t extraBits;
  int32_t positiveBase; // 124, 252, 2300
  int32_t negativeBase; // 251, 2299, 35067
};
constexpr std::array<ClassAValueEscape, 3> kClassAValueEscapes{
    {{0, 8, 124, 251}, {1, 12, 252, 2299}, {128, 16, 2300, 35067}}};

// Class B symbols (tables 2 and 3):
//   0..31, 33..64     value symbol - 32 (-32..-1, 1..32)
//   65..123           run of symbol - 64 zeros (1..59)
//   250 down to 239   run escapes: read e bits r, run of base + 1 + r zeros (modulo 65536)
//   255               read 10 bits g: bit 9 clear -> 33 + g, else g - 1056
//   254               read 14 bits e: bit 13 clear -> 545 + e, else e - 16928
//   32, 124..238, 251..253  invalid (a stream error)
struct ClassBRunEscape {
  uint8_t symbol;
  uint8_t extraBits;
  uint16_t base; // run length = (base + 1 + r) mod 65536
};
constexpr std::array<ClassBRunEscape, 12> kClassBRunEscapes{{{250, 1, 59},
                                                             {249, 2, 61},
                                                             {248, 3, 65},
                                                             {247, 4, 73},
                                                             {246, 5, 89},
                                                             {245, 6, 121},
                                                             {244, 7, 185},
                                                             {243, 8, 313},
                                                             {242, 9, 569},
                                                             {241, 10, 1081},
                                                             {240, 14, 2105},
                                                             {239, 16, 18489}}};
constexpr int kClassBValueEscape10 = 255; // 10 extra bits, values 33..544 and -544..-33
constexpr int kClassBValueEscape14 = 254; // 14 extra bits, values 545..8736 and -8736..-545

} // namespace wavelet
