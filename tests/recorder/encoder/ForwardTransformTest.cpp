// The analysis must be undone by the decoder's synthesis: checked here against the synthesis
// equations in double precision (the decoder's fixed-point version is covered by the round
// trips of PictureRoundTripTest).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "decoder/SubbandGeometry.h"
#include "recorder/encoder/ForwardTransform.h"

namespace wavelet {
namespace {

// One-dimensional 9/7 synthesis: low-pass samples in the first ceil(n/2) positions,
// high-pass after them; symmetric extension about the end samples.
std::vector<double> synthesise(const std::vector<float>& bands) {
  const int n = static_cast<int>(bands.size());
  const int lowCount = (n + 1) / 2;
  std::vector<double> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    x[static_cast<size_t>(i)] =
        (i % 2 == 0) ? bands[static_cast<size_t>(i / 2)] : bands[static_cast<size_t>(lowCount + i / 2)];
  auto at = [&](int i) {
    while (i < 0 || i >= n) i = i < 0 ? -i : 2 * (n - 1) - i;
    return x[static_cast<size_t>(i)];
  };
  std::vector<double> y(static_cast<size_t>(n));
  for (int m = 0; m < n; ++m) {
    if (m % 2 == 0)
      y[static_cast<size_t>(m)] = 1.115087 * at(m) - 0.533728 * (at(m - 1) + at(m + 1)) -
                                  0.057544 * (at(m - 2) + at(m + 2)) + 0.033728 * (at(m - 3) + at(m + 3));
    else
      y[static_cast<size_t>(m)] = 1.205898 * at(m) + 0.591272 * (at(m - 1) + at(m + 1)) -
                                  0.156447 * (at(m - 2) + at(m + 2)) - 0.091272 * (at(m - 3) + at(m + 3)) +
                                  0.053498 * (at(m - 4) + at(m + 4));
  }
  return y;
}

TEST(ForwardTransform, SynthesisRebuildsEveryLengthIncludingOddOnes) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> sample(-3584.0f, 3424.0f);
  ForwardTransform transform;
  for (int n = 5; n <= 41; ++n) {
    std::vector<float> original(static_cast<size_t>(n));
    for (auto& s : original) s = sample(random);
    std::vector<float> bands = original;
    transform.analyseSequence(bands.data(), n, 1);
    const std::vector<double> rebuilt = synthesise(bands);
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(rebuilt[static_cast<size_t>(i)], original[static_cast<size_t>(i)], 0.05) << "n " << n << " i " << i;
  }
}

TEST(ForwardTransform, StridedSequencesMatchContiguousOnes) {
  std::vector<float> contiguous{5, -7, 100, 3, 3, 8, -40, 12, 0, 9, 1};
  std::vector<float> strided(contiguous.size() * 3, 1234.0f);
  for (size_t i = 0; i < contiguous.size(); ++i) strided[3 * i] = contiguous[i];
  ForwardTransform transform;
  transform.analyseSequence(contiguous.data(), static_cast<int>(contiguous.size()), 1);
  transform.analyseSequence(strided.data(), static_cast<int>(contiguous.size()), 3);
  for (size_t i = 0; i < contiguous.size(); ++i) {
    EXPECT_FLOAT_EQ(strided[3 * i], contiguous[i]);
    EXPECT_EQ(strided[3 * i + 1], 1234.0f); // samples between are not touched
  }
}

TEST(ForwardTransform, FlatPlaneLeavesOnlyTheLowestBandWithTheSampleValue) {
  // Low-pass bands keep the sample scale, so a flat plane gives its value in the lowest band
  // and nothing in the detail bands, including the odd-sized ones of a 486-line field.
  for (int lines : {288, 243}) {
    const SubbandGeometry geometry = buildSubbandGeometry(720, lines, 0);
    std::vector<float> plane(720 * static_cast<size_t>(lines), 1000.0f);
    ForwardTransform transform;
    transform.analysePlane(plane.data(), 720, 720, lines);
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const SubbandDescriptor& band = geometry.bands[static_cast<size_t>(bandIndex(slot, 0))];
      const float expected = slot == kSlotCount - 1 ? 1000.0f : 0.0f;
      for (int y = 0; y < band.height; ++y)
        for (int x = 0; x < band.width; ++x)
          ASSERT_NEAR(plane[static_cast<size_t>(band.line + y) * 720 + static_cast<size_t>(band.column + x)], expected,
                      0.05)
              << "slot " << slot << " at " << x << "," << y;
    }
  }
}

} // namespace
} // namespace wavelet
