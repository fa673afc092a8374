#include "decoder/CodeTables.h"

#include <cstddef>
#include <initializer_list>

namespace wavelet {
namespace {

// Symbols in code order. The capacity is fixed, so building the tables allocates nothing: a
// decoder cannot meet an allocation failure there.
struct SymbolList {
  std::array<int, 256> values{};
  std::size_t size = 0;
  void push_back(int symbol) {
    if (size < values.size()) values[size++] = symbol;
  }
  SymbolList& operator=(std::initializer_list<int> symbols) {
    size = 0;
    for (int symbol : symbols) push_back(symbol);
    return *this;
  }
  int operator[](std::size_t i) const { return values[i]; }
};

// A table as stored in the format: codes per length 1..16 and the symbols in code order.
struct TableSource {
  std::array<int, kMaxCodeLength> countsPerLength;
  SymbolList symbols;
};

void appendRange(SymbolList& symbols, int first, int last) {
  for (int s = first; s <= last; ++s) symbols.push_back(s);
}

TableSource table1Source() {
  TableSource t{{0, 1, 2, 2, 6, 6, 4, 8, 5, 10, 10, 10, 13, 1, 1, 177}, {}};
  t.symbols = {127,                                                     // 2
               129, 252,                                                // 3
               126, 130,                                                // 4
               2, 124, 125, 131, 132, 253,                              // 5
               122, 123, 133, 134, 254, 255,                            // 6
               120, 121, 135, 136,                                      // 7
               3, 117, 118, 119, 137, 138, 139, 140,                    // 8
               114, 115, 116, 141, 142,                                 // 9
               111, 112, 113, 143, 144, 145, 146, 147, 148, 152,        // 10
               102, 105, 106, 107, 108, 109, 110, 149, 150, 151,        // 11
               100, 101, 103, 104, 153, 154, 155, 156, 157, 158,        // 12
               91, 93, 94, 95, 96, 97, 98, 99, 159, 160, 161, 162, 164, // 13
               165,                                                     // 14
               167,                                                     // 15
               // 16
               190, 79, 85, 92, 163, 166, 170, 171, 176, 177, 178, 189, 191, 77, 81, 84, 86, 88, 89, 90, 168, 169, 172,
               173, 179, 180, 181, 182, 187, 0, 66, 69, 71, 76, 87, 174, 175, 183, 185, 188, 1};
  appendRange(t.symbols, 4, 65);
  for (int s : {67, 68, 70, 72, 73, 74, 75, 78, 80, 82, 83, 128, 184, 186}) t.symbols.push_back(s);
  appendRange(t.symbols, 192, 251);
  return t;
}

TableSource table2Source() {
  TableSource t{{0, 2, 1, 1, 3, 5, 6, 10, 14, 12, 23, 13, 4, 1, 0, 43}, {}};
  t.symbols = {31, 33,                                                    // 2
               65,                                                        // 3
               66,                                                        // 4
               30, 34, 67,                                                // 5
               29, 35, 68, 69, 70,                                        // 6
               28, 36, 71, 72, 73, 74,                                    // 7
               27, 37, 75, 76, 77, 78, 79, 80, 244, 245,                  // 8
               26, 38, 81, 82, 83, 84, 85, 86, 87, 88, 89, 246, 247, 248, // 9
               25, 39, 90, 91, 92, 93, 94, 95, 96, 97, 98, 249,           // 10
               23, 24, 40, 41, 42, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 243,
               250,                                                          // 11
               21, 22, 43, 115, 116, 117, 118, 119, 120, 121, 122, 123, 242, // 12
               19, 20, 44, 240,                                              // 13
               241,                                                          // 14
               // 16
               253, 17, 18, 45, 46, 47, 16, 14, 15, 48, 49, 239, 13, 50, 51, 54};
  appendRange(t.symbols, 0, 12);
  for (int s : {52, 53, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 254, 255}) t.symbols.push_back(s);
  return t;
}

TableSource table3Source() {
  TableSource t{{0, 2, 0, 3, 1, 5, 8, 15, 20, 27, 25, 10, 11, 9, 1, 1}, {}};
  t.symbols = {31,  33,                                                                                           // 2
               30,  34,  65,                                                                                      // 4
               66,                                                                                                // 5
               29,  35,  67,  68,  69,                                                                            // 6
               27,  28,  36,  37,  70,  71,  72,  73,                                                             // 7
               25,  26,  38,  74,  75,  76,  77,  78, 79,  80,  81,  83,  246, 247, 253,                          // 8
               23,  24,  39,  40,  41,  82,  84,  85, 86,  87,  88,  89,  91,  93,  94,  244, 245, 248, 249, 255, // 9
               20,  21,  22,  42,  43,  44,  45,  90, 92,  95,  96,  97,  98,  99,  101, 102, 103, 107, 108, 114,
               115, 117, 118, 119, 243, 250, 254, // 10
               13,  15,  16,  17,  18,  19,  46,  47, 48,  49,  100, 104, 105, 106, 109, 110, 111, 112, 113, 116,
               120, 121, 122, 123, 242,                             // 11
               11,  12,  14,  50,  51,  53,  54,  56, 240, 241,     // 12
               2,   6,   7,   8,   9,   10,  52,  55, 57,  58,  62, // 13
               0,   1,   3,   4,   5,   59,  60,  61, 63,           // 14
               64,                                                  // 15
               239};                                                // 16
  return t;
}

struct TableForms {
  CodeTable decoding;
  FastTable fast;
  EncodingTable encoding;
};

TableForms buildForms(const TableSource& source) {
  TableForms forms;
  forms.decoding.count = 0;
  forms.decoding.firstLong = -1;
  uint32_t code = 0;
  std::size_t next = 0;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    for (int i = 0; i < source.countsPerLength[length - 1]; ++i) {
      const int symbol = source.symbols[next++];
      CodeEntry& entry = forms.decoding.entries[forms.decoding.count];
      entry.code = static_cast<uint16_t>(code << (kMaxCodeLength - length));
      entry.length = static_cast<uint8_t>(length);
      entry.symbol = static_cast<uint8_t>(symbol);
      if (length > kFastBits && forms.decoding.firstLong < 0) forms.decoding.firstLong = forms.decoding.count;
      ++forms.decoding.count;

      forms.encoding.symbols[symbol] = {static_cast<uint16_t>(code), static_cast<uint8_t>(length)};

      if (length <= kFastBits) {
        const uint32_t first = code << (kFastBits - length);
        const uint32_t span = 1u << (kFastBits - length);
        for (uint32_t k = 0; k < span; ++k)
          forms.fast.entries[first + k] = {static_cast<uint8_t>(length), static_cast<uint8_t>(symbol)};
      }
      ++code;
    }
    code <<= 1;
  }
  if (forms.decoding.firstLong < 0) forms.decoding.firstLong = forms.decoding.count;
  return forms;
}

const TableForms& forms(CodeTableId id) {
  static const TableForms all[3] = {buildForms(table1Source()), buildForms(table2Source()), buildForms(table3Source())};
  return all[static_cast<int>(id) - 1];
}

} // namespace

const CodeTable& decodingTable(CodeTableId id) { return forms(id).decoding; }
const FastTable& fastTable(CodeTableId id) { return forms(id).fast; }
const EncodingTable& encodingTable(CodeTableId id) { return forms(id).encoding; }

bool codeTableForBandType(int bandType, CodeTableId& id) {
  switch (bandType) {
  case kBandTypeClassA1:
  case kBandTypeClassA2:
    id = CodeTableId::ClassA;
    return true;
  case kBandTypeClassB131:
    id = CodeTableId::ClassBType131;
    return true;
  case kBandTypeClassB132:
    id = CodeTableId::ClassBType132;
    return true;
  default:
    return false;
  }
}

} // namespace wavelet
