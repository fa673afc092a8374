#include "tests/support/GoldenImage.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace testsupport {
namespace {

// The colour word 0x00RRGGBB of a pixel.
std::uint32_t pixelAt(const paint::PixelRows& rows, int x, int y) {
  const std::uint8_t* p = rows.top + y * rows.stride + 3 * x;
  const std::uint32_t first = p[0], last = p[2];
  const std::uint32_t red = rows.order == paint::ChannelOrder::Bgr ? last : first;
  const std::uint32_t blue = rows.order == paint::ChannelOrder::Bgr ? first : last;
  return red << 16 | std::uint32_t(p[1]) << 8 | blue;
}

// Where the picture was written, or why it was not.
std::string save(const std::string& name, const paint::PixelRows& rows) {
#if defined(CAMVIEW_HAVE_PNG)
  const char* folder = std::getenv("CAMVIEW_TEST_OUTPUT");
  if (folder == nullptr || *folder == 0) return "(CAMVIEW_TEST_OUTPUT not set)";
  const std::string directory(folder);
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  const std::string path = directory + "/" + name + ".png";
  return paint::writePng(path, rows) ? path : "(could not write into " + directory + ")";
#else
  (void)name;
  (void)rows;
  return "(this build writes no PNG files)";
#endif
}

} // namespace

::testing::AssertionResult sameImage(const std::string& name, const paint::PixelRows& actual,
                                     const paint::PixelRows& expected) {
  if (actual.width != expected.width || actual.height != expected.height) {
    return ::testing::AssertionFailure() << name << ": size " << actual.width << "x" << actual.height << ", expected "
                                         << expected.width << "x" << expected.height;
  }
  int differing = 0, firstX = -1, firstY = -1;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
      if (pixelAt(actual, x, y) != pixelAt(expected, x, y) && differing++ == 0) {
        firstX = x;
        firstY = y;
      }
  if (differing == 0) return ::testing::AssertionSuccess();
  std::ostringstream why;
  why << name << ": " << differing << " pixels differ, first at (" << firstX << ", " << firstY << "): 0x" << std::hex
      << pixelAt(actual, firstX, firstY) << " instead of 0x" << pixelAt(expected, firstX, firstY) << std::dec
      << "; written: " << save(name + "-actual", actual) << ", " << save(name + "-expected", expected);
  return ::testing::AssertionFailure() << why.str();
}

} // namespace testsupport
