// Row stretching: every output pixel is source pixel floor(j x sourceWidth / destWidth), and
// nothing outside the two rows is read or written (the sanitizer builds see the reads: the
// source row is a buffer of exactly its size).
#include "decoder/RowStretch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using wavelet::RowStretch;

TEST(RowStretch, EveryPixelIsTheNearestSourcePixelAndNothingBeyondTheRowIsTouched) {
  // The last three copy runs of 5 to 6, 4 to 5 and about 174 pixels piece by piece.
  const int widths[][2] = {{696, 768}, {696, 720}, {720, 696}, {704, 720}, {8, 1024},  {1024, 8},  {100, 100}, {5, 17},
                           {17, 5},    {1, 1},     {3, 64},    {90, 180},  {600, 720}, {100, 125}, {696, 700}};
  constexpr std::uint8_t kGuard = 0xA5;
  constexpr int kGuardBytes = 64;
  RowStretch stretch;
  for (const auto& w : widths) {
    const int sourceWidth = w[0];
    const int destWidth = w[1];
    SCOPED_TRACE(std::to_string(sourceWidth) + " -> " + std::to_string(destWidth));
    std::vector<std::uint8_t> source(std::size_t(sourceWidth) * 3);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = std::uint8_t(i * 7 + i / 3);
    std::vector<std::uint8_t> dest(std::size_t(destWidth) * 3 + kGuardBytes, kGuard);
    ASSERT_TRUE(stretch.prepare(sourceWidth, destWidth));
    stretch.apply(source.data(), dest.data());
    for (int j = 0; j < destWidth; ++j) {
      const std::size_t from = std::size_t((long long)j * sourceWidth / destWidth) * 3;
      for (int c = 0; c < 3; ++c) ASSERT_EQ(dest[std::size_t(j) * 3 + c], source[from + c]) << "pixel " << j;
    }
    for (std::size_t i = std::size_t(destWidth) * 3; i < dest.size(); ++i) ASSERT_EQ(dest[i], kGuard) << "byte " << i;
  }
}
