#include "recorder/encoder/BandEncoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "decoder/CodeTables.h"

namespace wavelet {
namespace {

// A code table with what the marker guarantee needs to know about its codes.
struct TableInfo {
  const EncodingTable& codes;
  std::array<uint8_t, 256> trailingOnes{}; // 1 bits at the end of each symbol's code
  int longestLeadingOnes = 0;              // most 1 bits any code begins with
};

TableInfo describeTable(CodeTableId id) {
  TableInfo info{encodingTable(id), {}, 0};
  for (size_t symbol = 0; symbol < 256; ++symbol) {
    const EncodingEntry& entry = info.codes.symbols[symbol];
    int trailing = 0;
    while (trailing < entry.length && ((entry.code >> trailing) & 1u)) ++trailing;
    int leading = 0;
    while (leading < entry.length && ((entry.code >> (entry.length - 1 - leading)) & 1u)) ++leading;
    info.trailingOnes[symbol] = static_cast<uint8_t>(trailing);
    info.longestLeadingOnes = std::max(info.longestLeadingOnes, leading);
  }
  return info;
}

const TableInfo& tableInfo(CodeTableId id) {
  static const TableInfo infos[3] = {describeTable(CodeTableId::ClassA), describeTable(CodeTableId::ClassBType131),
                                     describeTable(CodeTableId::ClassBType132)};
  return infos[id == CodeTableId::ClassA ? 0 : id == CodeTableId::ClassBType131 ? 1 : 2];
}

// Whether an escape may carry extra bits that are all 1: the 1 bits at the end of its code,
// the extra bits and the longest run of 1 bits any next code can begin with stay below a
// whole word.
bool allOnesExtraIsSafe(const TableInfo& table, int symbol, int extraBits) {
  return table.trailingOnes[static_cast<size_t>(symbol)] + extraBits + table.longestLeadingOnes < 32;
}

// Where the symbols go: counted (CostSink) or written (WriteSink).
struct CostSink {
  const TableInfo& table;
  size_t bits = 0;
  void code(int symbol) { bits += table.codes.symbols[static_cast<size_t>(symbol)].length; }
  void extra(uint32_t, int count) { bits += static_cast<size_t>(count); }
};

struct WriteSink {
  const TableInfo& table;
  BitWriter& writer;
  void code(int symbol) {
    const EncodingEntry& entry = table.codes.symbols[static_cast<size_t>(symbol)];
    writer.write(entry.code, entry.length);
  }
  void extra(uint32_t bits, int count) { writer.write(bits, count); }
};

inline uint32_t allOnes(int bits) { return (1u << bits) - 1u; }

// A run escape: runs firstRun .. firstRun + 2^extraBits - 1 (capped at lastRun).
struct RunEscape {
  int symbol;
  int extraBits;
  uint32_t firstRun;
  uint32_t lastRun;
};

// The run alphabet of one code class.
struct RunAlphabet {
  int symbolOfRunOne; // direct run symbols: run n is symbolOfRunOne + n - 1
  uint32_t longestDirect;
  std::vector<RunEscape> escapes; // ascending, contiguous after the direct runs
};

RunAlphabet classARuns() {
  RunAlphabet runs{252, 4, {}};
  for (const ClassARunEscape& e : kClassARunEscapes)
    runs.escapes.push_back({e.symbol, e.extraBits, e.base, e.base + allOnes(e.extraBits)});
  return runs;
}

RunAlphabet classBRuns() {
  RunAlphabet runs{65, 59, {}};
  // The decoder's escapes are listed longest first; it computes run lengths modulo 65536,
  // so no run may exceed 65535.
  for (auto it = kClassBRunEscapes.rbegin(); it != kClassBRunEscapes.rend(); ++it) {
    const uint32_t first = it->base + 1u;
    const uint32_t last = std::min<uint32_t>(first + allOnes(it->extraBits), 65535u);
    runs.escapes.push_back({it->symbol, it->extraBits, first, last});
  }
  return runs;
}

const RunAlphabet& runAlphabet(bool classA) {
  static const RunAlphabet a = classARuns();
  static const RunAlphabet b = classBRuns();
  return classA ? a : b;
}

// Codes a run of n zeros. `toBandEnd`: the run reaches the band's end, so a run code that
// overshoots is as good (the decoder stops at the band's last sample) and the shortest such
// direct code is taken.
template <class Sink>
void emitRun(Sink& sink, const RunAlphabet& runs, uint32_t n, bool toBandEnd) {
  while (n > 0) {
    if (n <= runs.longestDirect) {
      int symbol = runs.symbolOfRunOne + static_cast<int>(n) - 1;
      if (toBandEnd) {
        for (uint32_t longer = n + 1; longer <= runs.longestDirect; ++longer) {
          const int candidate = runs.symbolOfRunOne + static_cast<int>(longer) - 1;
          if (sink.table.codes.symbols[static_cast<size_t>(candidate)].length <
              sink.table.codes.symbols[static_cast<size_t>(symbol)].length)
            symbol = candidate;
        }
      }
      sink.code(symbol);
      return;
    }
    uint32_t chunk = std::min(n, runs.escapes.back().lastRun);
    const RunEscape* escape = &runs.escapes.front();
    for (const RunEscape& e : runs.escapes)
      if (chunk >= e.firstRun && chunk <= e.lastRun) escape = &e;
    uint32_t extra = chunk - escape->firstRun;
    if (extra == allOnes(escape->extraBits) && !allOnesExtraIsSafe(sink.table, escape->symbol, escape->extraBits)) {
      // One shorter; the last zero follows as a run of its own.
      --extra;
      --chunk;
    }
    sink.code(escape->symbol);
    sink.extra(extra, escape->extraBits);
    n -= chunk;
  }
}

template <class Sink>
void emitValueA(Sink& sink, int32_t value) {
  if (value >= -123 && value <= 123) {
    sink.code(value + 128);
    return;
  }
  for (const ClassAValueEscape& e : kClassAValueEscapes) {
    const int32_t half = 1 << (e.extraBits - 1);
    if (value >= e.positiveBase && value < e.positiveBase + half) {
      sink.code(e.symbol);
      sink.extra(static_cast<uint32_t>(value - e.positiveBase), e.extraBits);
      return;
    }
    if (value <= -e.positiveBase && value >= -e.negativeBase) {
      uint32_t extra = static_cast<uint32_t>(value + e.negativeBase + half);
      if (extra == allOnes(e.extraBits) && !allOnesExtraIsSafe(sink.table, e.symbol, e.extraBits)) {
        // -124, -252 or -2300: one step towards zero, the largest value of the next
        // shorter form (the direct symbols or the previous escape).
        emitValueA(sink, value + 1);
        return;
      }
      sink.code(e.symbol);
      sink.extra(extra, e.extraBits);
      return;
    }
  }
  // Beyond class A's range: the nearest value it can code.
  emitValueA(sink, value > 0 ? 35067 : -35067);
}

struct ClassBValueEscape {
  int symbol;
  int extraBits;
  int32_t positiveBase;   // positive value = positiveBase + g
  int32_t negativeOffset; // negative value = g - negativeOffset
};
constexpr ClassBValueEscape kClassBValueEscapes[2] = {{kClassBValueEscape10, 10, 33, 1056},
                                                      {kClassBValueEscape14, 14, 545, 16928}};

template <class Sink>
void emitValueB(Sink& sink, int32_t value) {
  if (value >= -32 && value <= 32) {
    sink.code(value + 32);
    return;
  }
  for (const ClassBValueEscape& e : kClassBValueEscapes) {
    const int32_t half = 1 << (e.extraBits - 1);
    if (value >= e.positiveBase && value < e.positiveBase + half) {
      sink.code(e.symbol);
      sink.extra(static_cast<uint32_t>(value - e.positiveBase), e.extraBits);
      return;
    }
    if (value <= -e.positiveBase && value > -e.positiveBase - half) {
      const uint32_t extra = static_cast<uint32_t>(value + e.negativeOffset);
      if (extra == allOnes(e.extraBits) && !allOnesExtraIsSafe(sink.table, e.symbol, e.extraBits)) {
        // -33 or -545: one step towards zero.
        emitValueB(sink, value + 1);
        return;
      }
      sink.code(e.symbol);
      sink.extra(extra, e.extraBits);
      return;
    }
  }
  emitValueB(sink, value > 0 ? kClassBLargestValue : -kClassBLargestValue);
}

const TableInfo& tableOf(int bandType) {
  CodeTableId id = CodeTableId::ClassA;
  codeTableForBandType(bandType, id);
  return tableInfo(id);
}

} // namespace

void BandEncoder::setSamples(const int32_t* samples, size_t count) {
  tokens_.clear();
  largestMagnitude_ = 0;
  size_t i = 0;
  while (i < count) {
    const size_t runStart = i;
    while (i < count && samples[i] == 0) ++i;
    if (i == count) {
      tokens_.push_back({static_cast<uint32_t>(i - runStart), 0});
      break;
    }
    const int32_t value = samples[i++];
    tokens_.push_back({static_cast<uint32_t>(i - 1 - runStart), value});
    largestMagnitude_ = std::max(largestMagnitude_, std::abs(value));
  }
}

namespace {
template <class Sink, class Token>
void emitAll(Sink& sink, bool classA, const std::vector<Token>& tokens) {
  const RunAlphabet& runs = runAlphabet(classA);
  for (const Token& token : tokens) {
    const bool toBandEnd = token.value == 0;
    if (token.zerosBefore > 0) emitRun(sink, runs, token.zerosBefore, toBandEnd);
    if (token.value != 0) {
      if (classA)
        emitValueA(sink, token.value);
      else
        emitValueB(sink, token.value);
    }
  }
}
} // namespace

namespace {

// Bit counts of the common values and runs, looked up instead of walking the coder for every
// token when the three band types are compared (the comparison runs for every band of every
// field). Built once per table from the coder itself.
struct CostTables {
  static constexpr int32_t kValueRange = 2400; // values -kValueRange .. kValueRange
  static constexpr uint32_t kRunRange = 4400;  // runs 0 .. kRunRange (not reaching the band end)
  std::vector<uint16_t> valueBits;
  std::vector<uint16_t> runBits;
};

CostTables buildCostTables(CodeTableId id) {
  const bool classA = id == CodeTableId::ClassA;
  const TableInfo& info = tableInfo(id);
  CostTables tables;
  tables.valueBits.resize(2 * CostTables::kValueRange + 1);
  for (int32_t v = -CostTables::kValueRange; v <= CostTables::kValueRange; ++v) {
    CostSink sink{info};
    if (v != 0) {
      if (classA)
        emitValueA(sink, v);
      else
        emitValueB(sink, v);
    }
    tables.valueBits[static_cast<size_t>(v + CostTables::kValueRange)] = static_cast<uint16_t>(sink.bits);
  }
  tables.runBits.resize(CostTables::kRunRange + 1);
  for (uint32_t n = 1; n <= CostTables::kRunRange; ++n) {
    CostSink sink{info};
    emitRun(sink, runAlphabet(classA), n, false);
    tables.runBits[n] = static_cast<uint16_t>(sink.bits);
  }
  return tables;
}

const CostTables& costTables(CodeTableId id) {
  static const CostTables tables[3] = {buildCostTables(CodeTableId::ClassA),
                                       buildCostTables(CodeTableId::ClassBType131),
                                       buildCostTables(CodeTableId::ClassBType132)};
  return tables[id == CodeTableId::ClassA ? 0 : id == CodeTableId::ClassBType131 ? 1 : 2];
}

} // namespace

size_t BandEncoder::codedBits(int bandType) const {
  const bool classA = bandType == kBandTypeClassA1 || bandType == kBandTypeClassA2;
  if (!classA && largestMagnitude_ > kClassBLargestValue) return std::numeric_limits<size_t>::max();
  CodeTableId id = CodeTableId::ClassA;
  codeTableForBandType(bandType, id);
  const CostTables& tables = costTables(id);
  const TableInfo& info = tableInfo(id);
  const RunAlphabet& runs = runAlphabet(classA);
  size_t bits = 0;
  for (const Token& token : tokens_) {
    if (token.value == 0 || token.zerosBefore > CostTables::kRunRange) {
      CostSink sink{info};
      emitRun(sink, runs, token.zerosBefore, token.value == 0);
      bits += sink.bits;
    } else {
      bits += tables.runBits[token.zerosBefore];
    }
    if (token.value == 0) continue;
    if (token.value >= -CostTables::kValueRange && token.value <= CostTables::kValueRange) {
      bits += tables.valueBits[static_cast<size_t>(token.value + CostTables::kValueRange)];
    } else {
      CostSink sink{info};
      if (classA)
        emitValueA(sink, token.value);
      else
        emitValueB(sink, token.value);
      bits += sink.bits;
    }
  }
  return bits;
}

int BandEncoder::cheapestBandType() const {
  if (largestMagnitude_ == 0) return kBandTypeEmpty;
  int best = kBandTypeClassA1;
  size_t bestBits = codedBits(best);
  for (int type : {kBandTypeClassB131, kBandTypeClassB132}) {
    const size_t bits = codedBits(type);
    if (bits < bestBits) {
      best = type;
      bestBits = bits;
    }
  }
  return best;
}

void BandEncoder::writeRecord(BitWriter& writer, int bandType, uint16_t quantiser) const {
  writer.write(static_cast<uint32_t>(bandType), 8);
  writer.write(quantiser, 16);
  if (bandType != kBandTypeEmpty) {
    const bool classA = bandType == kBandTypeClassA1 || bandType == kBandTypeClassA2;
    WriteSink sink{tableOf(bandType), writer};
    emitAll(sink, classA, tokens_);
  }
  writer.padToWord();
}

} // namespace wavelet
