// The SIMD kernels of both engines against their scalar definitions on random and extreme
// samples, every length.
#include "decoder/MmxKernels.h"
#include "decoder/PortableEngine.h"
#include "decoder/PortableKernels.h"
#include "decoder/SynthesisLine.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace wavelet;
using namespace wavelet::mmx;

namespace {

std::vector<const Kernels*> simdKernels() {
  std::vector<const Kernels*> kernels;
  if (resolveSimdLevel(SimdLevel::Sse2) == SimdLevel::Sse2) kernels.push_back(sse2Kernels());
  if (resolveSimdLevel(SimdLevel::Avx2) == SimdLevel::Avx2) kernels.push_back(avx2Kernels());
  if (wasmKernels() != nullptr) kernels.push_back(wasmKernels());
  return kernels;
}

int16_t randomSample(std::mt19937& rng, bool extreme) {
  if (extreme) return int16_t(std::uniform_int_distribution<int>(-32768, 32767)(rng));
  return int16_t(std::uniform_int_distribution<int>(-3000, 3000)(rng));
}

// Every kernel set's line and column kernels against its scalar definition, for every length
// and lane count that exercises their blocks and tails.
template <typename KernelSet>
void expectKernelsMatch(const KernelSet& scalar, const std::vector<const KernelSet*>& simd, uint32_t seed) {
  std::mt19937 rng(seed);
  constexpr int kLaneStride = 32;
  for (bool extreme : {false, true})
    for (int n = 5; n <= 80; ++n) {
      std::vector<int16_t> line(size_t(n) + 40);
      for (int16_t& v : line) v = randomSample(rng, extreme);
      std::vector<int16_t> scratch(size_t(n) + 16);
      int16_t *low = nullptr, *high = nullptr;
      extendLine(line.data(), 3, line.data() + (n + 1) / 2, -7, n, scratch.data(), low, high);
      std::vector<int16_t> expected(static_cast<size_t>(n));
      scalar.line(low, high, n, expected.data());
      for (const KernelSet* k : simd) {
        std::vector<int16_t> actual(static_cast<size_t>(n));
        k->line(low, high, n, actual.data());
        ASSERT_EQ(actual, expected) << "line of " << n;
      }

      for (int lanes : {1, 4, 8, 13, 16, 31, 32}) {
        const long planeStride = 40;
        std::vector<int16_t> plane(size_t(n) * planeStride);
        for (int16_t& v : plane) v = randomSample(rng, extreme);
        std::vector<int16_t> columnScratch(size_t(n + 8) * kLaneStride);
        extendColumns(plane.data(), plane.data() + ((n + 1) / 2) * planeStride, planeStride, n, lanes, kLaneStride,
                      columnScratch.data(), low, high);
        std::vector<int16_t> want(plane.size(), 0);
        scalar.columns(low, high, n, lanes, kLaneStride, want.data(), planeStride);
        for (const KernelSet* k : simd) {
          std::vector<int16_t> got(plane.size(), 0);
          k->columns(low, high, n, lanes, kLaneStride, got.data(), planeStride);
          ASSERT_EQ(got, want) << "columns of " << n << ", " << lanes << " lanes";
        }
      }
    }
}

} // namespace

#if defined(__wasm_simd128__)
// WebAssembly runs its own SIMD kernels at the SSE2 level, and keeps the SSE2 ones (through the
// compiler's emulation) beside them: without either the page would decode on the scalar ones,
// and the comparisons below would skip them unnoticed.
TEST(MmxKernels, WebAssemblyRunsItsOwnKernelsAndKeepsTheSse2Ones) {
  EXPECT_EQ(resolveSimdLevel(SimdLevel::Automatic), SimdLevel::Sse2);
  EXPECT_EQ(&kernelsFor(SimdLevel::Automatic), wasmKernels());
  EXPECT_NE(sse2Kernels(), nullptr);
}
#endif

TEST(MmxKernels, LineAndColumnKernelsMatchTheScalarModel) {
  const std::vector<const Kernels*> simd = simdKernels();
  if (simd.empty()) GTEST_SKIP() << "no SIMD on this processor";
  expectKernelsMatch(scalarKernels(), simd, 5);
}

TEST(MmxKernels, InPlaceLineSynthesisMatchesTheExtendedCopiesForEveryShape) {
  // Every kernel set rebuilds a line in place as the scalar model does from extended copies:
  // both parities, bands right after the low samples or further on, every tail length, scaled
  // and unscaled bands. What follows the line (and is borrowed for two samples) is unchanged.
  std::vector<const Kernels*> sets = simdKernels();
  sets.push_back(&scalarKernels());
  std::mt19937 rng(17);
  for (bool extreme : {false, true})
    for (int nHigh = 8; nHigh <= 70; ++nHigh)
      for (int nLow : {nHigh, nHigh + 1})
        for (int gap : {0, 3})
          for (int highFactor : {1, -7, 2000}) {
            const int highColumn = nLow + gap, n = nLow + nHigh;
            std::vector<int16_t> row(size_t(highColumn + nHigh) + kLineBlockPairs + 2);
            for (int16_t& v : row) v = randomSample(rng, extreme);
            std::vector<int16_t> scratch(size_t(n) + 8);
            int16_t *low = nullptr, *high = nullptr;
            extendLine(row.data(), 3, row.data() + highColumn, highFactor, n, scratch.data(), low, high);
            std::vector<int16_t> expected = row;
            scalarKernels().line(low, high, n, expected.data());
            for (const Kernels* k : sets) {
              std::vector<int16_t> actual = row;
              synthesiseLine(*k, actual.data(), nLow, highColumn, nHigh, 3, highFactor, scratch.data());
              ASSERT_EQ(actual, expected)
                  << "low " << nLow << " at " << highColumn << " high " << nHigh << " factor " << highFactor;
            }
          }
}

TEST(MmxKernels, InPlaceColumnSynthesisMatchesTheExtendedCopiesForEveryShape) {
  // The same for columns, for every lane count the blocks and the overlapping last block meet.
  std::vector<const Kernels*> sets = simdKernels();
  sets.push_back(&scalarKernels());
  constexpr int kLaneStride = 32;
  constexpr long kPlaneStride = 40;
  std::mt19937 rng(19);
  for (bool extreme : {false, true})
    for (int nHigh = 4; nHigh <= 40; ++nHigh)
      for (int nLow : {nHigh, nHigh + 1})
        for (int gap : {0, 2})
          for (int lanes : {1, 7, 8, 13, 16, 25, 32}) {
            const int highLine = nLow + gap, n = nLow + nHigh;
            std::vector<int16_t> plane(size_t(highLine + nHigh + 1) * kPlaneStride);
            for (int16_t& v : plane) v = randomSample(rng, extreme);
            std::vector<int16_t> scratch(size_t(n + 24) * kLaneStride);
            int16_t *low = nullptr, *high = nullptr;
            extendColumns(plane.data(), plane.data() + highLine * kPlaneStride, kPlaneStride, n, lanes, kLaneStride,
                          scratch.data(), low, high);
            std::vector<int16_t> expected = plane;
            scalarKernels().columns(low, high, n, lanes, kLaneStride, expected.data(), kPlaneStride);
            for (const Kernels* k : sets) {
              std::vector<int16_t> actual = plane;
              synthesiseColumns(*k, actual.data(), kPlaneStride, nLow, highLine, nHigh, lanes, kLaneStride,
                                scratch.data());
              ASSERT_EQ(actual, expected)
                  << "low " << nLow << " at " << highLine << " high " << nHigh << " lanes " << lanes;
            }
          }
}

TEST(PortableKernels, LineAndColumnKernelsMatchTheScalarDefinition) {
  if (portable::sse2Kernels() == nullptr) GTEST_SKIP() << "no SIMD in this build";
  expectKernelsMatch(portable::scalarKernels(), {portable::sse2Kernels()}, 6);
}

TEST(MmxKernels, ColourConversionMatchesTheScalarModelIncludingSaturation) {
  const std::vector<const Kernels*> simd = simdKernels();
  if (simd.empty()) GTEST_SKIP() << "no SIMD on this processor";
  std::mt19937 rng(9);
  for (bool extreme : {false, true}) {
    std::vector<int16_t> y(8 * 40), u(4 * 40), v(4 * 40);
    for (int16_t& s : y) s = randomSample(rng, extreme);
    for (int16_t& s : u) s = randomSample(rng, extreme);
    for (int16_t& s : v) s = randomSample(rng, extreme);
    y[0] = 32767; // saturating luminance offset
    y[1] = -32768;
    for (int16_t offset : {int16_t(0), int16_t(-300), int16_t(32000)})
      for (int groups : {1, 3, 6, 39, 40}) { // every tail of the wider kernels' 4- and 2-group steps
        std::vector<uint8_t> expected(24 * 40, 0xCD);
        convertScalar(y.data(), u.data(), v.data(), groups, offset, int16_t(-offset), offset, expected.data());
        for (const Kernels* k : simd) {
          std::vector<uint8_t> actual(24 * 40, 0xCD);
          k->convert(y.data(), u.data(), v.data(), groups, offset, int16_t(-offset), offset, actual.data());
          ASSERT_EQ(actual, expected) << groups << " groups";
        }
      }
  }
  // Studio black and mid grey at the doubled scale.
  const int16_t black[8] = {-7168, -7168, -7168, -7168, -7168, -7168, -7168, -7168};
  const int16_t grey[8] = {};
  const int16_t zero[4] = {};
  uint8_t out[24];
  convertScalar(black, zero, zero, 1, 0, 0, 0, out);
  EXPECT_EQ(out[0], 0);
  convertScalar(grey, zero, zero, 1, 0, 0, 0, out);
  EXPECT_EQ(out[0], 130); // floor(7168 * 1191 / 65536)
}

TEST(PortableColour, FastPathMatchesTheScalarDefinition) {
  std::mt19937 rng(13);
  for (bool extreme : {false, true})
    for (int pairs : {1, 3, 4, 5, 8, 31, 348}) {
      std::vector<int16_t> y(2 * static_cast<size_t>(pairs)), u(static_cast<size_t>(pairs)),
          v(static_cast<size_t>(pairs));
      for (int16_t& s : y) s = randomSample(rng, extreme);
      for (int16_t& s : u) s = randomSample(rng, extreme);
      for (int16_t& s : v) s = randomSample(rng, extreme);
      y[0] = -3584; // studio black: 0 before clamping
      std::vector<uint8_t> expected(size_t(6 * pairs)), actual(size_t(6 * pairs));
      portableConvertPairsScalar(y.data(), u.data(), v.data(), pairs, expected.data());
      portableConvertPairs(y.data(), u.data(), v.data(), pairs, actual.data());
      ASSERT_EQ(actual, expected) << pairs << " pairs";
    }
  const int16_t grey[2] = {0, 0};
  const int16_t zero[1] = {0};
  uint8_t out[6];
  portableConvertPairs(grey, zero, zero, 1, out);
  EXPECT_EQ(out[0], 130); // 0.036375 * 3584 = 130.368
}
