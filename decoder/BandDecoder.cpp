#include "decoder/BandDecoder.h"

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

// Position inside the band, in raster order.
class BandCursor {
public:
  explicit BandCursor(const SubbandDescriptor& band)
      : base_(band.firstSample()), row_(base_), width_(band.width), height_(band.height), stride_(band.stride) {}

  bool Done() const { return line_ >= height_; }

  void Put(int32_t value) {
    row_[column_] = static_cast<int16_t>(value); // wraps modulo 65536
    if (++column_ == width_) NextLines(1, 0);
  }

  void Skip(uint32_t count) {
    const uint32_t column = uint32_t(column_) + count;
    if (column < uint32_t(width_)) {
      column_ = int(column);
      return;
    }
    NextLines(int(column / uint32_t(width_)), int(column % uint32_t(width_)));
  }

private:
  void NextLines(int lines, int column) {
    line_ += lines;
    column_ = column;
    if (line_ < height_) row_ = base_ + static_cast<long>(line_) * stride_;
  }

  int16_t* base_;
  int16_t* row_;
  int width_;
  int height_;
  int stride_;
  int line_ = 0;
  int column_ = 0;
};

// Fast form of a table merged with the symbols' meaning: one lookup of the next 14 bits gives
// the code length and what to do, for every code of up to 14 bits. Entries are packed into 16
// bits (the table is as small as the plain fast form and stays in the first-level cache):
// bits 0-4 code length (0: longer code), bits 5-6 the kind, bits 7-15 a signed 9-bit amount:
// the value or run length, or for escapes and invalid symbols the symbol itself.
enum FastKind : uint16_t { kFastValue = 0, kFastRun = 1, kFastOther = 2 };

constexpr uint16_t PackFast(uint32_t length, FastKind kind, int amount) {
  return static_cast<uint16_t>(length | uint32_t(kind) << 5 | uint32_t(amount) << 7);
}

struct FastActionTable {
  uint16_t entries[kFastEntries];
};

uint16_t FastEntryFor(uint32_t length, int symbol, const ActionTable& actions) {
  const SymbolAction& a = actions.symbols[symbol];
  if (a.action == Action::Value) return PackFast(length, kFastValue, a.amount);
  if (a.action == Action::Run) return PackFast(length, kFastRun, a.amount);
  return PackFast(length, kFastOther, symbol);
}

FastActionTable BuildFastActions(CodeTableId id, const ActionTable& actions) {
  FastActionTable t{};
  const FastTable& fast = fastTable(id);
  for (int i = 0; i < kFastEntries; ++i) {
    const FastEntry e = fast.entries[i];
    t.entries[i] = e.length == 0 ? 0 : FastEntryFor(e.length, e.symbol, actions);
  }
  return t;
}

const FastActionTable& FastActions(CodeTableId id) {
  static const FastActionTable tables[3] = {BuildFastActions(CodeTableId::ClassA, classAActions()),
                                            BuildFastActions(CodeTableId::ClassBType132, classBActions()),
                                            BuildFastActions(CodeTableId::ClassBType131, classBActions())};
  return tables[static_cast<int>(id) - 1];
}

// The reader's window held in locals while a band is decoded; written back when it ends.
class LocalReader {
public:
  explicit LocalReader(BitReader& reader)
      : reader_(reader), bits_(reader.pendingBits), count_(reader.pendingCount), next_(reader.next),
        following_(WordOrZero(reader.next)) {}
  ~LocalReader() {
    reader_.pendingBits = bits_;
    reader_.pendingCount = count_;
    reader_.next = next_;
  }

  // The next 32 bits; past the stream's end they read as 0.
  uint32_t Peek() const { return bits_ | (following_ >> count_); }

  int Consume(uint32_t n) {
    if (count_ >= n) {
      bits_ <<= n;
      count_ -= n;
      return ERR_NONE;
    }
    if (next_ >= reader_.count) return ERR_END_OF_DATA;
    if (following_ == 0xFFFFFFFFu && next_ + 1 < reader_.count && reader_.Word(next_ + 1) != 0xFFFFFFFFu)
      return ERR_MARKER_IN_DATA;
    const uint32_t need = n - count_;
    bits_ = following_ << need;
    count_ = 32 - need;
    following_ = WordOrZero(++next_);
    return ERR_NONE;
  }

  int Read(uint32_t n, uint32_t& value) {
    value = Peek() >> (32 - n);
    return Consume(n);
  }

private:
  uint32_t WordOrZero(uint32_t index) const { return index < reader_.count ? reader_.Word(index) : 0; }

  BitReader& reader_;
  uint32_t bits_;
  uint32_t count_;
  uint32_t next_;
  uint32_t following_; // the word at next_, or 0 past the end
};

// Codes longer than 14 bits: bisection of the decoding form by the next 16 bits.
inline const CodeEntry& LongCode(const CodeTable& table, uint32_t lookAhead) {
  const uint32_t key = lookAhead >> 16;
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

int DecodeBand(BitReader& reader, const SubbandDescriptor& band, CodeTableId id, const ActionTable& actions) {
  const FastActionTable& fast = FastActions(id);
  const CodeTable& table = decodingTable(id);
  BandCursor cursor(band);
  LocalReader in(reader);
  while (!cursor.Done()) {
    const uint32_t lookAhead = in.Peek();
    uint32_t entry = fast.entries[lookAhead >> (32 - kFastBits)];
    if (entry == 0) {
      const CodeEntry& code = LongCode(table, lookAhead);
      entry = FastEntryFor(code.length, code.symbol, actions);
    }
    if (int error = in.Consume(entry & 31u)) return error;
    const int amount = static_cast<int16_t>(entry) >> 7;
    const uint32_t kind = (entry >> 5) & 3u;
    if (kind == kFastValue) {
      cursor.Put(amount);
      continue;
    }
    if (kind == kFastRun) {
      cursor.Skip(uint32_t(amount));
      continue;
    }
    const SymbolAction& s = actions.symbols[amount];
    if (s.action == Action::Invalid) return ERR_BAD_SYMBOL;
    uint32_t extra = 0;
    if (int error = in.Read(s.extraBits, extra)) return error;
    if (s.action == Action::RunEscape) {
      // Class B runs are counted modulo 65536; class A runs never reach that.
      cursor.Skip((uint32_t(s.amount) + extra) & 0xFFFFu);
    } else {
      const uint32_t half = 1u << (s.extraBits - 1);
      cursor.Put(extra < half ? s.amount + int32_t(extra) : int32_t(extra - half) - s.negativeBase);
    }
  }
  return ERR_NONE;
}

} // namespace

int DecodeBandA(BitReader& reader, const SubbandDescriptor& band) {
  return DecodeBand(reader, band, CodeTableId::ClassA, classAActions());
}

int DecodeBandB(BitReader& reader, const SubbandDescriptor& band, CodeTableId table) {
  return DecodeBand(reader, band, table, classBActions());
}

} // namespace wavelet
