#pragma once
// Exact picture comparison for the suites that paint: on a mismatch the actual and the expected
// picture are written as PNG files under $CAMVIEW_TEST_OUTPUT (in builds with the PNG writer)
// so a person can look.
#include "platform/paint/PngFile.h"
#include "platform/paint/SoftwareCanvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace testsupport {

// Compares two 24-bit pictures pixel by pixel. On a difference writes NAME-actual.png and
// NAME-expected.png and returns a failure naming the first differing pixel and their count.
::testing::AssertionResult sameImage(const std::string& name, const paint::PixelRows& actual,
                                     const paint::PixelRows& expected);

inline paint::PixelRows rowsOf(const paint::SoftwareCanvas& canvas) {
  return {canvas.width(), canvas.height(), canvas.pixels(), canvas.stride(), paint::ChannelOrder::Bgr};
}
inline ::testing::AssertionResult sameImage(const std::string& name, const paint::SoftwareCanvas& actual,
                                            const paint::SoftwareCanvas& expected) {
  return sameImage(name, rowsOf(actual), rowsOf(expected));
}

// The colour word 0x00RRGGBB that a GDI colour reference 0x00BBGGRR paints.
constexpr std::uint32_t colourOfColorRef(std::uint32_t colorRef) {
  return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

} // namespace testsupport
