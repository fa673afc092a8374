#pragma once
// Exact picture comparison for the presentation suites: on a mismatch the actual and the
// expected picture are written as PNG files under $CAMVIEW_TEST_OUTPUT so a person can look.
#include "platform/paint/SoftwareCanvas.h"

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// Compares two canvases pixel by pixel. On a difference writes NAME-actual.png and
// NAME-expected.png and returns a failure naming the first differing pixel.
::testing::AssertionResult sameImage(const std::string& name, const paint::SoftwareCanvas& actual,
                                     const paint::SoftwareCanvas& expected);

// The colour word 0x00RRGGBB that a GDI colour reference 0x00BBGGRR paints.
constexpr std::uint32_t colourOfColorRef(std::uint32_t colorRef) {
  return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

} // namespace testsupport
