#include "decoder/BandDecoder.h"

namespace wavelet {
namespace {

// What a symbol means to a band decoder.
enum class Action : uint8_t { Value, Run, RunEscape, ValueEscape, Invalid };

struct SymbolAction {
    Action action = Action::Invalid;
    uint8_t extraBits = 0;
    int32_t amount = 0;        // value, run length, or escape base
    int32_t negativeBase = 0;  // value escapes: subtracted from the upper half
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
    for (const ClassBRunEscape& e : kClassBRunEscapes) t.symbols[e.symbol] = {Action::RunEscape, e.extraBits, e.base + 1, 0};
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
        row_[column_] = static_cast<int16_t>(value);  // wraps modulo 65536
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

// Reads one code: fast table for codes of up to 14 bits, bisection of the decoding form otherwise.
inline int ReadSymbol(BitReader& reader, const FastTable& fast, const CodeTable& table, uint32_t& symbol) {
    const uint32_t lookAhead = reader.Peek32();
    const FastEntry entry = fast.entries[lookAhead >> (32 - kFastBits)];
    uint32_t length = entry.length;
    symbol = entry.symbol;
    if (length == 0) {
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
        length = table.entries[lower].length;
        symbol = table.entries[lower].symbol;
    }
    return reader.Consume(length);
}

int DecodeBand(BitReader& reader, const SubbandDescriptor& band, CodeTableId id, const ActionTable& actions) {
    const FastTable& fast = fastTable(id);
    const CodeTable& table = decodingTable(id);
    BandCursor cursor(band);
    while (!cursor.Done()) {
        uint32_t symbol = 0;
        if (int error = ReadSymbol(reader, fast, table, symbol)) return error;
        const SymbolAction& a = actions.symbols[symbol];
        switch (a.action) {
        case Action::Value: cursor.Put(a.amount); break;
        case Action::Run: cursor.Skip(uint32_t(a.amount)); break;
        case Action::RunEscape: {
            uint32_t extra = 0;
            if (int error = reader.Read(a.extraBits, extra)) return error;
            // Class B runs are counted modulo 65536; class A runs never reach that.
            cursor.Skip((uint32_t(a.amount) + extra) & 0xFFFFu);
            break;
        }
        case Action::ValueEscape: {
            uint32_t extra = 0;
            if (int error = reader.Read(a.extraBits, extra)) return error;
            const uint32_t half = 1u << (a.extraBits - 1);
            cursor.Put(extra < half ? a.amount + int32_t(extra) : int32_t(extra - half) - a.negativeBase);
            break;
        }
        case Action::Invalid: return ERR_BAD_SYMBOL;
        }
    }
    return ERR_NONE;
}

}  // namespace

int DecodeBandA(BitReader& reader, const SubbandDescriptor& band) {
    return DecodeBand(reader, band, CodeTableId::ClassA, classAActions());
}

int DecodeBandB(BitReader& reader, const SubbandDescriptor& band, CodeTableId table) {
    return DecodeBand(reader, band, table, classBActions());
}

}  // namespace wavelet
