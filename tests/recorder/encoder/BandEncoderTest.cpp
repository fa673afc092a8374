// Band coding: what the encoder writes must decode to the same samples with the decoder's own
// bit reader and band decoders, and must never contain a marker.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decoder/BandDecoder.h"
#include "decoder/BitReader.h"
#include "decoder/CodeTables.h"
#include "recorder/encoder/BandEncoder.h"
#include "recorder/encoder/BitWriter.h"
#include "recorder/encoder/StreamLayout.h"

namespace wavelet {
namespace {

struct DecodedBand {
  int error = 0;
  int type = 0;
  int quantiser = 0;
  std::vector<int16_t> samples;
};

// One band record alone in a stream, as the first band of a field (no marker in front).
std::vector<uint8_t> encodeBand(const std::vector<int32_t>& samples, int type, uint16_t quantiser = 64) {
  BandEncoder encoder;
  encoder.setSamples(samples.data(), samples.size());
  std::vector<uint8_t> stream;
  BitWriter writer(stream);
  encoder.writeRecord(writer, type, quantiser);
  return stream;
}

DecodedBand decodeBand(const std::vector<uint8_t>& stream, int width, int height) {
  DecodedBand out;
  out.samples.assign(static_cast<size_t>(width) * height, 0);
  BitReader reader;
  reader.Start(stream.data(), static_cast<uint32_t>(stream.size()));
  int16_t quantiser = 0;
  bool empty = false;
  out.error = reader.ReadBandHeader(out.type, quantiser, empty);
  out.quantiser = static_cast<uint16_t>(quantiser);
  if (out.error != 0 || empty) return out;
  SubbandDescriptor band;
  band.width = width;
  band.height = height;
  band.plane = out.samples.data();
  band.stride = width;
  CodeTableId table = CodeTableId::ClassA;
  codeTableForBandType(out.type, table);
  out.error = table == CodeTableId::ClassA ? DecodeBandA(reader, band) : DecodeBandB(reader, band, table);
  return out;
}

std::vector<int16_t> asSamples(const std::vector<int32_t>& values) {
  return std::vector<int16_t>(values.begin(), values.end());
}

// Sparse detail-band-like samples: mostly zeros, small values, some long runs.
std::vector<int32_t> sparseSamples(size_t count, int largest, double density, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::uniform_int_distribution<int> value(-largest, largest);
  std::vector<int32_t> samples(count, 0);
  for (auto& s : samples)
    if (chance(random) < density) s = value(random);
  return samples;
}

TEST(BandEncoder, EveryTypeRoundTripsThroughTheDecoder) {
  const int width = 45, height = 36;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    for (double density : {0.02, 0.3, 0.9}) {
      const auto samples = sparseSamples(width * height, seed % 2 ? 40 : 3000, density, seed);
      for (int type : {kBandTypeClassA1, kBandTypeClassA2, kBandTypeClassB131, kBandTypeClassB132}) {
        const std::vector<int32_t>& expected = samples;
        const auto decoded = decodeBand(encodeBand(samples, type, 328), width, height);
        ASSERT_EQ(decoded.error, 0) << "type " << type << " seed " << seed;
        EXPECT_EQ(decoded.type, type);
        EXPECT_EQ(decoded.quantiser, 328);
        EXPECT_EQ(decoded.samples, asSamples(expected)) << "type " << type << " seed " << seed;
      }
    }
  }
}

TEST(BandEncoder, EscapesCoverTheWholeValueRangeOfEachClass) {
  // Class A up to +-16383 (the encoder's limit; the escape reaches 35067), class B +-8736,
  // including every boundary between the short and the escaped forms.
  std::vector<int32_t> classA, classB;
  for (int32_t v : {1, 123, 124, 125, 251, 252, 253, 2299, 2300, 2301, 16383}) {
    for (int32_t s : {v, -v}) {
      classA.push_back(s);
      classA.push_back(0);
    }
  }
  for (int32_t v : {1, 32, 33, 34, 544, 545, 546, 8735, 8736}) {
    for (int32_t s : {v, -v}) {
      classB.push_back(s);
      classB.push_back(0);
    }
  }
  for (const auto& [samples, type] : {std::pair{classA, kBandTypeClassA1}, std::pair{classB, kBandTypeClassB131},
                                      std::pair{classB, kBandTypeClassB132}}) {
    const auto decoded = decodeBand(encodeBand(samples, type), static_cast<int>(samples.size()), 1);
    ASSERT_EQ(decoded.error, 0);
    EXPECT_EQ(decoded.samples, asSamples(samples)) << "type " << type;
  }
}

TEST(BandEncoder, ValuesAndRunsWithAllOnesEscapeBitsAreCodedExactly) {
  // With the three tables, no all-ones extra field can complete a 1-bit word, so the coder
  // keeps these values and runs as they are (and the record is no longer than needed).
  const std::vector<int32_t> classA{-124, 0, -252, -2300, 5};
  const auto a = encodeBand(classA, kBandTypeClassA1);
  EXPECT_EQ(decodeBand(a, 5, 1).samples, asSamples(classA));
  for (int type : {kBandTypeClassB131, kBandTypeClassB132}) {
    std::vector<int32_t> classB{-33, -545, 5};
    classB.insert(classB.end(), 61, 0); // escape 250 with its 1 extra bit set
    classB.push_back(-1);
    EXPECT_EQ(decodeBand(encodeBand(classB, type), static_cast<int>(classB.size()), 1).samples, asSamples(classB));
  }
}

TEST(BandEncoder, RunsOfEveryLengthCrossLinesAndReachTheBandEnd) {
  // One value after runs of every length that meets an escape boundary, and a band that
  // ends with a long run (coded with overshoot where that is shorter).
  for (int type : {kBandTypeClassA1, kBandTypeClassB131, kBandTypeClassB132}) {
    for (uint32_t run :
         {1u,   4u,   5u,   19u,  20u,  21u,   59u,   60u,   61u,   62u,   65u,   66u,   73u,    89u,    121u,
          185u, 276u, 277u, 313u, 569u, 1081u, 2105u, 2106u, 4371u, 4372u, 4373u, 9000u, 18489u, 18490u, 70000u}) {
      std::vector<int32_t> samples(run, 0);
      samples.push_back(7);
      samples.insert(samples.end(), run % 97 + 3, 0); // a trailing run
      const int width = 97;
      samples.resize((samples.size() + width - 1) / width * width, 0);
      const int height = static_cast<int>(samples.size()) / width;
      const auto decoded = decodeBand(encodeBand(samples, type), width, height);
      ASSERT_EQ(decoded.error, 0) << "type " << type << " run " << run;
      EXPECT_EQ(decoded.samples, asSamples(samples)) << "type " << type << " run " << run;
    }
  }
}

TEST(BandEncoder, NoCodeOfAnyTableIsAllOnes) {
  // The guarantee against accidental markers rests on this: every code holds a 0 bit.
  for (CodeTableId id : {CodeTableId::ClassA, CodeTableId::ClassBType131, CodeTableId::ClassBType132}) {
    const EncodingTable& table = encodingTable(id);
    for (int symbol = 0; symbol < 256; ++symbol) {
      const EncodingEntry& entry = table.symbols[static_cast<size_t>(symbol)];
      if (entry.length == 0) continue;
      EXPECT_LE(entry.length, 16);
      EXPECT_NE(entry.code, (1u << entry.length) - 1u) << "table " << int(id) << " symbol " << symbol;
    }
  }
}

TEST(BandEncoder, AdversarialBandsContainNoMarkerWord) {
  // Values and runs whose codes and escape bits are richest in 1 bits, back to back, so
  // that a careless coder would produce all-ones words followed by more band data.
  const std::vector<int32_t> onesRich{-2300, -2301, -2299, -252, -253,  -251,  -124,   -125, -123, -33,
                                      -34,   -545,  -546,  -544, -8736, 16383, -16383, 2299, 123,  -1};
  std::mt19937 random(42);
  for (int type : {kBandTypeClassA1, kBandTypeClassB131, kBandTypeClassB132}) {
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<int32_t> samples;
      for (int i = 0; i < 3000; ++i) {
        int32_t v = onesRich[random() % onesRich.size()];
        if (type != kBandTypeClassA1) v = std::clamp(v, -kClassBLargestValue, kClassBLargestValue);
        samples.push_back(v);
        if (random() % 4 == 0) {
          static const uint32_t runs[] = {20, 276, 4372, 61, 65, 73, 89, 121, 185, 313, 569, 1081, 2105, 18489};
          samples.insert(samples.end(), runs[random() % 14], 0);
        }
      }
      // The record followed by the next record's marker and a header word, as in a field.
      std::vector<uint8_t> stream = encodeBand(samples, type);
      const size_t recordWords = stream.size() / 4;
      for (int i = 0; i < 4; ++i) stream.push_back(0xFF);
      stream.insert(stream.end(), {0x00, 0x00, 0x00, 0x8F});
      const auto markers = findMarkers(stream.data(), stream.size());
      ASSERT_EQ(markers.size(), 1u) << "type " << type << " trial " << trial;
      EXPECT_EQ(markers[0], recordWords);
      const auto decoded = decodeBand(stream, static_cast<int>(samples.size()), 1);
      EXPECT_EQ(decoded.error, 0);
    }
  }
}

TEST(BandEncoder, ChoosesEmptyForZerosAndTheCheapestCodingOtherwise) {
  BandEncoder encoder;
  const std::vector<int32_t> zeros(500, 0);
  encoder.setSamples(zeros.data(), zeros.size());
  EXPECT_EQ(encoder.cheapestBandType(), kBandTypeEmpty);

  // Values beyond class B's reach leave only class A.
  std::vector<int32_t> large = sparseSamples(500, 100, 0.5, 7);
  large[10] = 9000;
  encoder.setSamples(large.data(), large.size());
  EXPECT_EQ(encoder.codedBits(kBandTypeClassB131), SIZE_MAX);
  EXPECT_EQ(encoder.cheapestBandType(), kBandTypeClassA1);

  for (double density : {0.01, 0.2, 0.95}) {
    const auto samples = sparseSamples(4000, density > 0.5 ? 120 : 4, density, 9);
    encoder.setSamples(samples.data(), samples.size());
    const int chosen = encoder.cheapestBandType();
    for (int type : {kBandTypeClassA1, kBandTypeClassB131, kBandTypeClassB132})
      EXPECT_LE(encoder.codedBits(chosen), encoder.codedBits(type));
    // The record is the header, the counted bits and less than a word of padding.
    const size_t bits = encoder.codedBits(chosen);
    EXPECT_EQ(encodeBand(samples, chosen).size(), 4 * ((24 + bits + 31) / 32));
  }
}

} // namespace
} // namespace wavelet
