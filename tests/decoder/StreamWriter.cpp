#include "StreamWriter.h"

#include "base/LittleEndian.h"

#include <gtest/gtest.h>

#include <random>

namespace wavelet::test {

void BitWriter::bits(uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    pending_ = pending_ << 1 | ((value >> i) & 1u);
    if (++count_ == 32) {
      words_.push_back(static_cast<uint32_t>(pending_));
      pending_ = 0;
      count_ = 0;
    }
  }
}

void BitWriter::symbol(CodeTableId table, int symbol) {
  const EncodingEntry e = encodingTable(table).symbols[symbol];
  ASSERT_GT(e.length, 0) << "symbol " << symbol << " has no code";
  bits(e.code, e.length);
}

void BitWriter::padWithOnes() {
  while (count_ != 0) bits(1, 1);
}

void BitWriter::word(uint32_t word) {
  EXPECT_TRUE(aligned());
  words_.push_back(word);
}

std::vector<uint8_t> BitWriter::bytes() const {
  BitWriter copy = *this;
  copy.padWithOnes();
  std::vector<uint8_t> bytes;
  for (uint32_t w : copy.words_) le::appendU32(bytes, w);
  return bytes;
}

namespace {

int countZeros(const BandSamples& s, size_t at) {
  size_t end = at;
  while (end < s.size() && s[end] == 0) ++end;
  return static_cast<int>(end - at);
}

} // namespace

void encodeClassA(BitWriter& w, const BandSamples& samples) {
  const CodeTableId t = CodeTableId::ClassA;
  size_t at = 0;
  while (at < samples.size()) {
    int zeros = countZeros(samples, at);
    if (zeros > 0) {
      int run;
      if (zeros >= 277) {
        run = std::min(zeros, 277 + 4095);
        w.symbol(t, 4);
        w.bits(run - 277, 12);
      } else if (zeros >= 21) {
        run = std::min(zeros, 21 + 255);
        w.symbol(t, 3);
        w.bits(run - 21, 8);
      } else if (zeros >= 5) {
        run = std::min(zeros, 20);
        w.symbol(t, 2);
        w.bits(run - 5, 4);
      } else {
        run = zeros;
        w.symbol(t, 251 + run);
      }
      at += run;
      continue;
    }
    const int v = samples[at++];
    if (v >= -123 && v <= 123) {
      w.symbol(t, v + 128);
    } else if (v >= 124 && v <= 251) {
      w.symbol(t, 0);
      w.bits(v - 124, 8);
    } else if (v >= -251 && v <= -124) {
      w.symbol(t, 0);
      w.bits(v + 251 + 128, 8);
    } else if (v >= 252 && v <= 2299) {
      w.symbol(t, 1);
      w.bits(v - 252, 12);
    } else if (v >= -2299 && v <= -252) {
      w.symbol(t, 1);
      w.bits(v + 2299 + 2048, 12);
    } else if (v >= 2300) {
      w.symbol(t, 128);
      w.bits(v - 2300, 16);
    } else {
      w.symbol(t, 128);
      w.bits(v + 35067 + 32768, 16);
    }
  }
}

void encodeClassB(BitWriter& w, CodeTableId t, const BandSamples& samples) {
  size_t at = 0;
  while (at < samples.size()) {
    const int zeros = countZeros(samples, at);
    if (zeros > 0) {
      int run = zeros;
      if (zeros <= 59) {
        w.symbol(t, 64 + zeros);
      } else {
        const ClassBRunEscape* chosen = &kClassBRunEscapes[0];
        for (const ClassBRunEscape& e : kClassBRunEscapes)
          if (e.base + 1 <= zeros) chosen = &e;
        run = std::min(zeros, chosen->base + 1 + (1 << chosen->extraBits) - 1);
        w.symbol(t, chosen->symbol);
        w.bits(run - chosen->base - 1, chosen->extraBits);
      }
      at += run;
      continue;
    }
    const int v = samples[at++];
    if (v >= -32 && v <= 32) {
      w.symbol(t, v + 32);
    } else if (v >= 33 && v <= 544) {
      w.symbol(t, 255);
      w.bits(v - 33, 10);
    } else if (v >= -544 && v <= -33) {
      w.symbol(t, 255);
      w.bits(v + 1056, 10);
    } else if (v >= 545 && v <= 8736) {
      w.symbol(t, 254);
      w.bits(v - 545, 14);
    } else {
      ASSERT_GE(v, -8736) << "class B cannot code " << v;
      w.symbol(t, 254);
      w.bits(v + 16928, 14);
    }
  }
}

std::vector<uint8_t> buildField(int parityByte, const std::vector<BandContent>& bands, FieldLayout* layout,
                                const CustomBandWriter& custom) {
  BitWriter w;
  w.marker();
  w.bits(uint32_t(parityByte), 8);
  w.bits(0, 8);
  for (int i = 0; i < 14; ++i) w.bits(uint32_t(0x10 + i), 8);
  for (int i = 0; i < kBandCount; ++i) {
    const BandContent& band = bands[kBandOrder[i]];
    if (layout != nullptr) layout->recordStart.push_back(w.wordCount());
    if (i > 0) w.marker();
    w.bits(uint32_t(band.type), 8);
    w.bits(uint16_t(band.quantiser), 16);
    if (custom && custom(kBandOrder[i], w)) {
      w.padWithOnes();
      continue;
    }
    if (band.type == 143) {
      w.padWithOnes();
      continue;
    }
    if (band.type == 129 || band.type == 130)
      encodeClassA(w, band.samples);
    else
      encodeClassB(w, band.type == 131 ? CodeTableId::ClassBType131 : CodeTableId::ClassBType132, band.samples);
    w.padWithOnes();
  }
  return w.bytes();
}

namespace {

// A number in [low, high], drawn as GCC's standard library draws it in
// std::uniform_int_distribution from a 32-bit generator (Lemire's multiply and reject). The
// standard fixes every number std::mt19937 gives but leaves the mapping to a range to each
// library, and libc++ (the WebAssembly build) maps differently. The test pictures, and with
// them the golden checksums, must be the same bytes in every build: these are the numbers
// the Linux builds always drew.
int uniformInt(std::mt19937& rng, int low, int high) {
  const uint32_t range = uint32_t(high - low) + 1u;
  uint64_t product = uint64_t(uint32_t(rng())) * range;
  if (uint32_t(product) < range) {
    const uint32_t threshold = uint32_t(0u - range) % range; // 2^32 mod range: the biased draws
    while (uint32_t(product) < threshold) product = uint64_t(uint32_t(rng())) * range;
  }
  return low + int(product >> 32);
}

} // namespace

std::vector<BandContent> randomBands(const SubbandGeometry& g, uint32_t seed, int maxDetail) {
  std::mt19937 rng(seed);
  std::vector<BandContent> bands(kBandCount);
  for (int b = 0; b < kBandCount; ++b) {
    const SubbandDescriptor& d = g.bands[b];
    BandContent& c = bands[b];
    c.samples.assign(size_t(d.width) * d.height, 0);
    if (d.kind == BandKind::Lowest) {
      // Smooth luminance ramp around mid grey, colour differences near zero.
      c.type = 129;
      c.quantiser = 32;
      for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
          c.samples[size_t(y) * d.width + x] =
              int16_t((d.component == 0 ? 40 * x - 400 + 30 * y : 10 * (x - y)) + uniformInt(rng, -20, 20));
      continue;
    }
    const int kinds[] = {129, 130, 131, 132};
    c.type = kinds[(seed + b) % 4];
    c.quantiser = int16_t(8 + (b * 7 + seed) % 40);
    for (int16_t& s : c.samples) {
      const int p = uniformInt(rng, 0, 99);
      if (p < 70) continue; // sparse detail with runs of zeros
      const int value = uniformInt(rng, -maxDetail, maxDetail);
      s = int16_t(p > 97 ? value * 13 : value);
    }
  }
  return bands;
}

} // namespace wavelet::test
