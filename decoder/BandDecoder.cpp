#include "decoder/BandDecoder.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wavelet {
namespace {

// What a symbol means to a band decoder.
enum class Action : uint8_t { Value, Run, RunEscape, ValueEscape, Invalid };

struct SymbolAction {
  Action action = Action::Invalid;
  uint8_t extraBits = 0;
  int32_t amount = 0;       // value, run length, or escape base
  int32_t negativeBase = 0; // value escapes: subtracted from the upper half
};

struct ActionTable {
  SymbolAction symbols[256];
};

ActionTable buildClassA() {
  ActionTable t;
  for (int s = 5; s <= 251; ++s)
    if (s != 128) t.symbols[s] = {Action::Value, 0, s - 128, 0};
  for (int s = 252; s <= 255; ++s) t.symbols[s] = {Action::Run, 0, s - 251, 0};
  for (const ClassARunEscape& e : kClassARunEscapes) t.symbols[e.symbol] = {Action::RunEscape, e.extraBits, e.base, 0};
  for (const ClassAValueEscape& e : kClassAValueEscapes)
    t.symbols[e.symbol] = {Action::ValueEscape, e.extraBits, e.positiveBase, e.negativeBase};
  return t;
}

ActionTable buildClassB() {
  ActionTable t;
  for (int s = 0; s <= 64; ++s)
    if (s != 32) t.symbols[s] = {Action::Value, 0, s - 32, 0};
  for (int s = 65; s <= 123; ++s) t.symbols[s] = {Action::Run, 0, s - 64, 0};
  for (const ClassBRunEscape& e : kClassBRunEscapes)
    t.symbols[e.symbol] = {Action::RunEscape, e.extraBits, e.base + 1, 0};
  // 10 bits g: bit 9 clear -> 33 + g, else g - 1056 = (g - 512) - 544.
  t.symbols[kClassBValueEscape10] = {Action::ValueEscape, 10, 33, 544};
  // 14 bits e: bit 13 clear -> 545 + e, else e - 16928 = (e - 8192) - 8736.
  t.symbols[kClassBValueEscape14] = {Action::ValueEscape, 14, 545, 8736};
  return t;
}

const ActionTable& classAActions() {
  static const ActionTable table = buildClassA();
  return table;
}
const ActionTable& classBActions() {
  static const ActionTable table = buildClassB();
  return table;
}

// The pair lookup: one entry per value of the next kPairBits stream bits. It resolves the
// first symbol when its code, with any extra bits, fits those bits and means a plain value or
// run of zeros, and up to two symbols after it as long as they fit the rest of the bits too.
// Three sample placements then cost one lookup: write v1 at the position, v2 a1 samples
// further, v3 a2 samples after that, advance by a1 + a2 + a3. An entry of 64 bits holds
//   bits 0-3   bits used by all its symbols,
//   bits 4-7   bits used by the first symbol,
//   bits 8-11  bits used by the first two symbols (by the first alone when there is no second),
//   bits 16-23 a1, how far the first symbol advances (1 for a value, n for a run of n zeros;
//              0: the entry resolves nothing and the general path decodes one symbol),
//   bits 24-31 a2, the same for the second symbol (0 when there is none),
//   bits 32-39 a3, the same for the third symbol,
//   bits 40-47 v1, the value the first symbol writes (0 for a run: the plane is already zero),
//   bits 48-55 v2 and bits 56-63 v3, the same for the second and third symbols.
// Runs with extra bits (class A up to 20 zeros, class B up to 89) fit as well; values are
// plain ones (at most 123 either way). An entry that resolves nothing (a1 = 0) tells the
// general path what it knows instead:
//   bits 40-47 the bits of the code the bits begin with and of its extra bits, 0 when the code
//              is longer than kPairBits,
//   bits 48-55 that code's symbol,
// so that the general path needs a second lookup only for codes longer than kPairBits.
constexpr int kPairBits = 12;
constexpr int kPairEntries = 1 << kPairBits;
static_assert(kPairBits <= 15, "bit counts are stored in 4 bits");

struct PairTable {
  uint64_t entries[kPairEntries];
};

// A symbol resolved from its bits alone.
struct PlainSymbol {
  uint32_t length = 0; // code and extra bits; 0: not resolvable from the given bits
  uint32_t advance = 0;
  int32_t value = 0;
};

// The symbol that the top `valid` of kPairBits bits `index` begin with, if it needs no more
// bits than those and is a value or a run.
PlainSymbol resolvePlain(CodeTableId id, const ActionTable& actions, uint32_t index, uint32_t valid) {
  const FastEntry code = fastTable(id).entries[index << (kFastBits - kPairBits)];
  if (code.length == 0 || code.length > valid) return {};
  const SymbolAction& a = actions.symbols[code.symbol];
  const uint32_t total = code.length + a.extraBits;
  if (total > valid) return {};
  const uint32_t extra = (index >> (kPairBits - total)) & ((1u << a.extraBits) - 1u);
  switch (a.action) {
  case Action::Value:
    return {code.length, 1, a.amount};
  case Action::Run:
    return {code.length, uint32_t(a.amount), 0};
  case Action::RunEscape:
    return {total, (uint32_t(a.amount) + extra) & 0xFFFFu, 0};
  case Action::ValueEscape: {
    const uint32_t half = 1u << (a.extraBits - 1);
    return {total, 1, extra < half ? a.amount + int32_t(extra) : int32_t(extra - half) - a.negativeBase};
  }
  case Action::Invalid:
    break;
  }
  return {};
}

// Whether a resolved symbol fits an entry's advance and value fields.
bool fitsEntry(const PlainSymbol& symbol) {
  return symbol.length != 0 && symbol.advance <= 0xFF && symbol.value >= INT8_MIN && symbol.value <= INT8_MAX;
}

PairTable buildPairs(CodeTableId id, const ActionTable& actions) {
  PairTable t{};
  for (uint32_t index = 0; index < kPairEntries; ++index) {
    const PlainSymbol first = resolvePlain(id, actions, index, kPairBits);
    if (!fitsEntry(first)) {
      const FastEntry code = fastTable(id).entries[index << (kFastBits - kPairBits)];
      if (code.length != 0 && code.length <= kPairBits) {
        const uint64_t bits = code.length + actions.symbols[code.symbol].extraBits;
        t.entries[index] = bits << 40 | uint64_t(code.symbol) << 48;
      }
      continue;
    }
    // The symbol that follows `used` bits, if it fits the rest.
    auto next = [&](uint32_t used) {
      if (used >= kPairBits) return PlainSymbol{};
      const PlainSymbol s = resolvePlain(id, actions, (index << used) & (kPairEntries - 1), kPairBits - used);
      return fitsEntry(s) ? s : PlainSymbol{};
    };
    const PlainSymbol second = next(first.length);
    const PlainSymbol third = second.length != 0 ? next(first.length + second.length) : PlainSymbol{};
    const uint32_t two = first.length + second.length;
    t.entries[index] = uint64_t(two + third.length) | uint64_t(first.length) << 4 | uint64_t(two) << 8 |
                       uint64_t(first.advance) << 16 | uint64_t(second.advance) << 24 | uint64_t(third.advance) << 32 |
                       uint64_t(uint8_t(first.value)) << 40 | uint64_t(uint8_t(second.value)) << 48 |
                       uint64_t(uint8_t(third.value)) << 56;
  }
  return t;
}

// A symbol's meaning in a form that needs no branch: with x its extra bits (extraMask of the
// bits that end where the symbol's bits end; 0 when it has none), it writes
// (x & valueExtraMask) + (x < threshold ? valueLow : valueHigh) and advances
// (advanceBase + (x & advanceExtraMask)) mod 65536 samples.
//   value          valueLow = the value, threshold above any x, advanceBase 1
//   run            value 0, advanceBase = n
//   run escape     value 0, advanceBase = base, advanceExtraMask all ones
//   value escape   valueExtraMask all ones, threshold = half, valueLow = positive base,
//                  valueHigh = -(half + negative base): a < half gives positiveBase + a, else
//                  (a - half) - negativeBase; advanceBase 1
struct BranchFreeAction {
  uint32_t extraMask = 0;
  uint32_t valid = 0; // 0: the symbol is outside the alphabet
  uint32_t threshold = 0;
  uint32_t valueExtraMask = 0;
  int32_t valueLow = 0;
  int32_t valueHigh = 0;
  uint32_t advanceBase = 0;
  uint32_t advanceExtraMask = 0;
};

struct BranchFreeActions {
  BranchFreeAction symbols[256];
};

BranchFreeActions buildBranchFree(const ActionTable& actions) {
  constexpr uint32_t kNever = 1u << 17; // above any extra bits' value
  BranchFreeActions t{};
  for (int symbol = 0; symbol < 256; ++symbol) {
    const SymbolAction& a = actions.symbols[symbol];
    BranchFreeAction& b = t.symbols[symbol];
    b.extraMask = (1u << a.extraBits) - 1u;
    b.threshold = kNever;
    b.valid = 1;
    switch (a.action) {
    case Action::Value:
      b.valueLow = a.amount;
      b.advanceBase = 1;
      break;
    case Action::Run:
      b.advanceBase = uint32_t(a.amount);
      break;
    case Action::RunEscape:
      b.advanceBase = uint32_t(a.amount);
      b.advanceExtraMask = ~0u;
      break;
    case Action::ValueEscape: {
      const uint32_t half = 1u << (a.extraBits - 1);
      b.threshold = half;
      b.valueExtraMask = ~0u;
      b.valueLow = a.amount;
      b.valueHigh = -int32_t(half) - a.negativeBase;
      b.advanceBase = 1;
      break;
    }
    case Action::Invalid:
      b = {};
      break;
    }
  }
  return t;
}

// Codes longer than 14 bits: bisection of the decoding form by the next 16 bits (the
// definition; the band decoders read the same answers from LongCodeTable).
const CodeEntry& longCode(const CodeTable& table, uint32_t key) {
  int lower = table.firstLong;
  int upper = table.count;
  while (upper - lower > 1) {
    const int middle = (lower + upper) / 2;
    if (key < table.entries[middle].code)
      upper = middle;
    else
      lower = middle;
  }
  return table.entries[lower];
}

// The code that every 16-bit key from the first code longer than kPairBits on begins with:
// the fast form's answer up to 14 bits, the bisection's beyond; with the number of bits the
// code and its extra bits take, so that the window can move on before the symbol's meaning
// is looked up. Canonical codes put the long codes at the top of the code space, so the
// tables are small (288, 80 and 128 entries) and one load replaces the fast form's 32 KB and about eight dependent,
// unpredictable comparisons. Keys below the first entry are clamped to it (the band decoder only asks for keys whose
// first kPairBits bits are not a whole code, which are never below it).
struct LongCode {
  uint8_t bits; // code and extra bits
  uint8_t symbol;
};

struct LongCodeTable {
  uint32_t base = 0; // key of entry 0
  std::vector<LongCode> entries;

  LongCode at(uint32_t key) const { return entries[key > base ? key - base : 0]; }
};

LongCodeTable buildLongCodes(CodeTableId id, const ActionTable& actions) {
  const CodeTable& table = decodingTable(id);
  const FastTable& fast = fastTable(id);
  LongCodeTable t;
  t.base = 0xFFFFu;
  for (int i = 0; i < table.count; ++i)
    if (table.entries[i].length > kPairBits) {
      t.base = table.entries[i].code;
      break;
    }
  t.entries.resize(0x10000 - t.base);
  for (uint32_t key = t.base; key <= 0xFFFFu; ++key) {
    const FastEntry shortCode = fast.entries[key >> (kMaxCodeLength - kFastBits)];
    const CodeEntry& code = longCode(table, key);
    const FastEntry found = shortCode.length != 0 ? shortCode : FastEntry{code.length, code.symbol};
    t.entries[key - t.base] = {uint8_t(found.length + actions.symbols[found.symbol].extraBits), found.symbol};
  }
  return t;
}

// Everything a band decoder looks up for one code table.
struct BandTables {
  PairTable pairs;
  LongCodeTable longCodes;
  BranchFreeActions general;
};

BandTables buildTables(CodeTableId id, const ActionTable& actions) {
  return {buildPairs(id, actions), buildLongCodes(id, actions), buildBranchFree(actions)};
}

// Built at module load, before any decoder exists, and read-only afterwards: the first
// picture costs no more than the others, and no decoder thread builds a table.
const BandTables gTables[3] = {buildTables(CodeTableId::ClassA, classAActions()),
                               buildTables(CodeTableId::ClassBType132, classBActions()),
                               buildTables(CodeTableId::ClassBType131, classBActions())};

const BandTables& tablesFor(CodeTableId id) { return gTables[static_cast<int>(id) - 1]; }

// Index of the first word from `from` on that a band may not read: the next marker, or the
// stream's end. A read that needs it fails; everything before it is band data.
uint32_t firstUnreadableWord(const BitReader& reader, uint32_t from) {
  const uint8_t* data = reader.data();
  const uint32_t count = reader.count;
  auto allOnes = [data](uint32_t w) { // the same in either byte order
    uint32_t word;
    std::memcpy(&word, data + static_cast<size_t>(w) * 4, 4);
    return uint32_t(word == 0xFFFFFFFFu);
  };
  uint32_t w = from;
  // Four words per test while none is all ones (markers are rare), then word by word.
  for (; w + 4 <= count; w += 4)
    if (allOnes(w) | allOnes(w + 1) | allOnes(w + 2) | allOnes(w + 3)) break;
  for (; w < count; ++w)
    if (allOnes(w) != 0 && w + 1 < count && allOnes(w + 1) == 0) return w;
  return count;
}

// The bit window of a band decoder: up to 63 look-ahead bits, left-aligned in a 64-bit word,
// refilled a word at a time without a branch. Words are loaded as they are (markers too, and
// zeros past the stream's end): whether a code may use them is decided by comparing the bit
// position with the band's first unreadable word, which gives the same results as checking
// every load, because a prefix code's length and symbol depend only on its own bits.
class Window {
public:
  explicit Window(const BitReader& reader)
      : words_(reader), data_(reader.data()), count_(reader.count), bits_(uint64_t(reader.pendingBits) << 32),
        available_(reader.pendingCount), next_(reader.next) {}

  // Afterwards at least 32 bits are available: a code and its extra bits.
  void refill() {
    const bool inside = next_ < count_; // count_ >= 1: the field header was read
    const uint32_t word = loadWord(inside ? next_ : count_ - 1) & (inside ? ~0u : 0u);
    bits_ |= (uint64_t(word) << 32) >> available_; // the word's first bit right after the valid ones
    next_ += (63 - available_) >> 5;               // it counts as loaded when all of it fitted
    available_ |= 32;
  }

  uint64_t bits() const { return bits_; }
  void consume(uint32_t n) {
    bits_ <<= n;
    available_ -= n;
  }
  // Bits consumed since the stream's start.
  uint64_t bitPosition() const { return 32 * uint64_t(next_) - available_; }

  // Leaves the reader as if it had read the consumed bits one word at a time.
  void writeBack(BitReader& reader) const {
    const uint64_t position = bitPosition();
    reader.next = uint32_t((position + 31) / 32);
    reader.pendingCount = uint32_t(32 * uint64_t(reader.next) - position);
    reader.pendingBits = reader.pendingCount == 0 ? 0 : reader.word(reader.next - 1) << (32 - reader.pendingCount);
  }

private:
  uint32_t loadWord(uint32_t index) const {
    if constexpr (std::endian::native == std::endian::little) {
      uint32_t word;
      std::memcpy(&word, data_ + static_cast<size_t>(index) * 4, 4);
      return word;
    } else {
      return words_.word(index);
    }
  }

  const BitReader& words_;
  const uint8_t* data_;
  uint32_t count_;
  uint64_t bits_;
  uint32_t available_;
  uint32_t next_;
};

// A symbol outside the pair lookup: longer codes, escapes with extra bits, invalid symbols.
struct GeneralSymbol {
  uint32_t length;  // bits of the code and its extra bits
  int32_t value;    // written at the position (0 for a run)
  uint32_t advance; // samples to advance (a class B run escape may give 0)
  bool valid;       // false for a symbol outside the alphabet
};

// Decodes the symbol at the top of `bits` (at least 32 valid bits) without consuming it, so
// that the caller's window stays in registers; `entry` is the pair entry of those bits. Code
// lengths and escapes are resolved arithmetically (no jump on the code's length or the
// symbol's kind, which would be mispredicted whenever they alternate).
inline __attribute__((always_inline)) GeneralSymbol decodeGeneralSymbol(uint64_t bits, uint64_t entry,
                                                                        const BandTables& tables) {
  const LongCode longCode = tables.longCodes.at(uint32_t(bits >> 48));
  const uint32_t shortBits = uint32_t(entry >> 40) & 0xFFu;
  const uint32_t length = shortBits != 0 ? shortBits : longCode.bits; // 1..32
  const uint32_t symbol = shortBits != 0 ? uint32_t(entry >> 48) & 0xFFu : longCode.symbol;
  const BranchFreeAction& s = tables.general.symbols[symbol];
  // The extra bits end where the symbol's bits end (at most 16 + 16 bits in all).
  const uint32_t extra = uint32_t(bits >> (64 - length)) & s.extraMask;
  const int32_t value = int32_t(extra & s.valueExtraMask) + (extra < s.threshold ? s.valueLow : s.valueHigh);
  const uint32_t advance = (s.advanceBase + (extra & s.advanceExtraMask)) & 0xFFFFu;
  return {length, value, advance, s.valid != 0};
}

// Fills the band in raster order. Reads past the band's first unreadable word are found at
// line ends and on the general path (a sticky check: samples written after such a read stay
// inside the band and the field fails anyway), always before any later error is reported.
//
// One refill serves two pair lookups: a refill leaves at least 32 bits and a pair entry uses
// at most kPairBits (12) of them, so the second lookup needs no refill and the loop's chain of
// dependent operations (lookup, shift, refill) is shorter by a refill every other entry. The
// general path refills before it decodes (it needs 32 bits) and after, so that the lookup that
// follows it has its bits too.
template <bool kScaled>
int decodeBand(BitReader& reader, const SubbandDescriptor& band, const BandTables& tables, int32_t quantiser) {
  static_assert(2 * kPairBits <= 32, "two pair entries must fit one refill");
  auto sample = [quantiser](int64_t value) {
    const int16_t coded = static_cast<int16_t>(value); // wraps modulo 65536
    return kScaled ? static_cast<int16_t>((quantiser * coded + 4) >> 3) : coded;
  };
  const uint64_t* pairs = tables.pairs.entries;
  const uint32_t unreadable = firstUnreadableWord(reader, reader.next);
  const uint64_t limit = 32 * uint64_t(unreadable);
  const int width = band.width;
  const int height = band.height;
  const long stride = band.stride;
  int16_t* row = band.firstSample();
  int line = 0;
  int column = 0;
  if (width <= 0 || height <= 0) return ERR_NONE;
  Window in(reader);
  int error = ERR_NONE;
  // Decodes one entry (or one general symbol) and places it; false when the band is finished
  // or a symbol is invalid. Inlined, so that the window and the position stay in registers.
  auto step = [&]() __attribute__((always_inline)) {
    const uint64_t entry = pairs[in.bits() >> (64 - kPairBits)];
    const int firstAdvance = int(entry >> 16) & 0xFF;
    const int second = column + firstAdvance;             // where the second symbol writes
    const int third = second + (int(entry >> 24) & 0xFF); // where the third symbol writes
    if (firstAdvance != 0 && third < width) [[likely]] {
      row[column] = sample(int8_t(entry >> 40));
      row[second] = sample(int8_t(entry >> 48));
      row[third] = sample(int8_t(entry >> 56));
      column = third + (int(entry >> 32) & 0xFF);
      in.consume(uint32_t(entry) & 15u);
    } else if (firstAdvance != 0 && second < width) { // the second symbol ends the line
      row[column] = sample(int8_t(entry >> 40));
      row[second] = sample(int8_t(entry >> 48));
      column = third;
      in.consume(uint32_t(entry >> 8) & 15u);
    } else if (firstAdvance != 0) { // the first symbol ends the line: the others are not read yet
      row[column] = sample(int8_t(entry >> 40));
      column = second;
      in.consume(uint32_t(entry >> 4) & 15u);
    } else {
      in.refill();
      const GeneralSymbol symbol = decodeGeneralSymbol(in.bits(), entry, tables);
      in.consume(symbol.length);
      in.refill();
      if (!symbol.valid) {
        error = ERR_BAD_SYMBOL;
        return false;
      }
      row[column] = sample(symbol.value);
      column += static_cast<int>(symbol.advance);
    }
    if (column < width) [[likely]]
      return true;
    // Past the line's end: a run may cross several lines.
    if (column < 2 * width) {
      ++line;
      column -= width;
    } else {
      line += column / width;
      column %= width;
    }
    if (in.bitPosition() > limit || line >= height) return false;
    row = band.firstSample() + line * stride;
    return true;
  };
  for (;;) {
    in.refill();
    if (!step() || !step()) break;
  }
  if (in.bitPosition() > limit) { // an earlier read went past the band's data
    reader.next = unreadable;
    return unreadable >= reader.count ? ERR_END_OF_DATA : ERR_MARKER_IN_DATA;
  }
  in.writeBack(reader);
  return error;
}

} // namespace

int DecodeBandA(BitReader& reader, const SubbandDescriptor& band, BandScaling scaling) {
  const BandTables& tables = tablesFor(CodeTableId::ClassA);
  return scaling.enabled ? decodeBand<true>(reader, band, tables, scaling.quantiser)
                         : decodeBand<false>(reader, band, tables, 0);
}

int DecodeBandB(BitReader& reader, const SubbandDescriptor& band, CodeTableId table, BandScaling scaling) {
  const BandTables& tables = tablesFor(table);
  return scaling.enabled ? decodeBand<true>(reader, band, tables, scaling.quantiser)
                         : decodeBand<false>(reader, band, tables, 0);
}

} // namespace wavelet
