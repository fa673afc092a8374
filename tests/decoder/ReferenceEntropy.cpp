#include "ReferenceEntropy.h"

#include "base/LittleEndian.h"
#include "decoder/CodeTables.h"
#include "decoder/DecodeStatus.h"

#include <cstddef>
#include <map>
#include <utility>

namespace wavelet::test {
namespace {

struct StreamError {
  int stage;
};

class NaiveReader {
public:
  NaiveReader(const uint8_t* data, uint32_t length) : data_(data), count_(data != nullptr ? length / 4 : 0) {}

  uint32_t word(uint32_t i) const { return le::readU32(data_ + std::size_t(i) * 4); }
  bool IsMarker() const { return next < count_ && word(next) == ~0u && next + 1 < count_ && word(next + 1) != ~0u; }
  bool Sync() {
    left_ = 0;
    if (!IsMarker()) return false;
    ++next;
    return true;
  }
  void empty() { left_ = 0; }
  void SkipToMarker() {
    left_ = 0;
    while (next < count_ && !IsMarker()) ++next;
  }
  uint32_t bit() {
    if (left_ == 0) {
      if (next >= count_) throw StreamError{ERR_END_OF_DATA};
      if (IsMarker()) throw StreamError{ERR_MARKER_IN_DATA};
      word_ = word(next++);
      left_ = 32;
    }
    --left_;
    return (word_ >> left_) & 1u;
  }
  uint32_t bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 1 | bit();
    return v;
  }
  bool atEnd() const { return next >= count_; }

  uint32_t next = 0;

private:
  const uint8_t* data_;
  uint32_t count_;
  uint32_t word_ = 0;
  int left_ = 0;
};

// (length, code) -> symbol of one table, from its canonical code list.
const std::map<std::pair<int, uint32_t>, int>& symbolsByCode(CodeTableId id) {
  static std::map<std::pair<int, uint32_t>, int> maps[3];
  std::map<std::pair<int, uint32_t>, int>& m = maps[int(id) - 1];
  if (m.empty()) {
    const CodeTable& t = decodingTable(id);
    for (int i = 0; i < t.count; ++i)
      m[{t.entries[i].length, uint32_t(t.entries[i].code) >> (16 - t.entries[i].length)}] = t.entries[i].symbol;
  }
  return m;
}

int readSymbol(NaiveReader& r, CodeTableId id) {
  const auto& codes = symbolsByCode(id);
  uint32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    code = code << 1 | r.bit();
    const auto found = codes.find({length, code});
    if (found != codes.end()) return found->second;
  }
  // Sixteen 1 bits are no code; the format's bisection search lands on the last code.
  const CodeTable& t = decodingTable(id);
  return t.entries[t.count - 1].symbol;
}

// Returns the value to write (advance 1) or sets `run`.
bool classASymbol(NaiveReader& r, int s, int32_t& value, uint32_t& run) {
  run = 0;
  if ((s >= 5 && s <= 127) || (s >= 129 && s <= 251))
    value = s - 128;
  else if (s >= 252)
    run = uint32_t(s - 251);
  else if (s == 2)
    run = 5 + r.bits(4);
  else if (s == 3)
    run = 21 + r.bits(8);
  else if (s == 4)
    run = 277 + r.bits(12);
  else if (s == 0) {
    const int a = int(r.bits(8));
    value = a < 128 ? 124 + a : (a - 128) - 251;
  } else if (s == 1) {
    const int a = int(r.bits(12));
    value = a < 2048 ? 252 + a : (a - 2048) - 2299;
  } else { // 128
    const int a = int(r.bits(16));
    value = a < 32768 ? 2300 + a : (a - 32768) - 35067;
  }
  return true;
}

bool classBSymbol(NaiveReader& r, int s, int32_t& value, uint32_t& run) {
  static const int kEscapes[12][3] = {{250, 1, 59},  {249, 2, 61},    {248, 3, 65},    {247, 4, 73},
                                      {246, 5, 89},  {245, 6, 121},   {244, 7, 185},   {243, 8, 313},
                                      {242, 9, 569}, {241, 10, 1081}, {240, 14, 2105}, {239, 16, 18489}};
  run = 0;
  if ((s >= 0 && s <= 31) || (s >= 33 && s <= 64)) {
    value = s - 32;
    return true;
  }
  if (s >= 65 && s <= 123) {
    run = uint32_t(s - 64);
    return true;
  }
  for (const auto& e : kEscapes)
    if (s == e[0]) {
      run = (uint32_t(e[2]) + 1 + r.bits(e[1])) % 65536;
      return true;
    }
  if (s == 255) {
    const int g = int(r.bits(10));
    value = (g & 512) == 0 ? 33 + g : g - 1056;
    return true;
  }
  if (s == 254) {
    const int e = int(r.bits(14));
    value = (e & 8192) == 0 ? 545 + e : e - 16928;
    return true;
  }
  return false;
}

} // namespace

ReferenceFieldResult referenceDecodeField(const uint8_t* data, uint32_t length, const SubbandGeometry& g, int levels) {
  ReferenceFieldResult out;
  for (int c = 0; c < kComponentCount; ++c) out.planes.emplace_back(std::size_t(g.stride[c]) * g.planeHeight, 0);
  NaiveReader r(data, length);
  try {
    if (!r.Sync()) throw StreamError{ERR_FIELD_HEADER};
    const uint32_t parity = r.bits(8), format = r.bits(8);
    if ((parity != 0x40 && parity != 0x41) || format != 0) throw StreamError{ERR_FIELD_HEADER};
    r.bits(32), r.bits(32), r.bits(32), r.bits(16);
  } catch (StreamError) {
    out.result = DEC_BAD_HEADER;
    out.stage = ERR_FIELD_HEADER;
    return out;
  }
  int b = 0;
  try {
    for (int i = 0; i < kBandCount; ++i) {
      b = kBandOrder[i];
      if (r.atEnd()) throw StreamError{ERR_END_OF_DATA};
      r.empty();
      if (i > 0 && !r.Sync()) throw StreamError{ERR_NO_BAND_MARKER};
      const int type = int(r.bits(8));
      if (type != 143 && (type < 129 || type > 132)) throw StreamError{ERR_BAD_BAND_TYPE};
      r.bits(16); // quantiser
      const SubbandDescriptor& d = g.bands[b];
      if (d.level < levels || type == 143) {
        if (i != kBandCount - 1) r.SkipToMarker();
        continue;
      }
      const CodeTableId id =
          type <= 130 ? CodeTableId::ClassA : (type == 131 ? CodeTableId::ClassBType131 : CodeTableId::ClassBType132);
      std::vector<int16_t>& plane = out.planes[d.component];
      const int stride = g.stride[d.component];
      long position = 0;
      const long samples = long(d.width) * d.height;
      while (position < samples) {
        const int s = readSymbol(r, id);
        int32_t value = 0;
        uint32_t run = 0;
        const bool known = id == CodeTableId::ClassA ? classASymbol(r, s, value, run) : classBSymbol(r, s, value, run);
        if (!known) throw StreamError{ERR_BAD_SYMBOL};
        if (run == 0) {
          const long line = position / d.width, column = position % d.width;
          plane[std::size_t((d.line + line) * stride + d.column + column)] = int16_t(value);
          run = 1;
        }
        position += run;
      }
    }
  } catch (StreamError e) {
    out.result = DEC_BAND_ERROR;
    out.stage = e.stage;
    out.band = b;
    out.offset = int32_t(4 * r.next);
    return out;
  }
  out.ok = true;
  return out;
}

} // namespace wavelet::test
