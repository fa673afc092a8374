#pragma once
// A test picture with a Pixkit core drawing into it (24-bit, top-down, rows 4-byte aligned).
#include <gtest/gtest.h>

#include <cstdint>

#include "pixkit/Pixkit.h"
#include "tests/pixkit/TestPicture.h"

namespace pixkit_test {

struct Canvas {
  Picture picture;
  CPixkit kit;
  Canvas(int w, int h, std::uint32_t fill = 0) : picture(w, h, fill) {
    EXPECT_TRUE(kit.Init(w, h, w, picture.buffer(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 4));
  }
};

} // namespace pixkit_test
