#include "tests/pixkit/GoldenImage.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#if defined(CAMVIEW_HAVE_PNG)
#include "platform/paint/PngFile.h"
#endif

namespace pixkit_test {

Picture::Picture(int w, int h, std::uint32_t fill)
    : width(w), height(h), stride((w * 3 + 3) & ~3), bytes(static_cast<std::size_t>(stride) * h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) set(x, y, fill);
  }
}

std::uint32_t Picture::at(int x, int y) const {
  const std::uint8_t* p = row(y) + 3 * x;
  return p[0] | (p[1] << 8) | (p[2] << 16);
}

void Picture::set(int x, int y, std::uint32_t rgb) {
  std::uint8_t* p = row(y) + 3 * x;
  p[0] = static_cast<std::uint8_t>(rgb);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb >> 16);
}

namespace {

std::string save(const std::string& name, const Picture& picture) {
#if defined(CAMVIEW_HAVE_PNG)
  const char* folder = std::getenv("CAMVIEW_TEST_OUTPUT");
  if (folder == nullptr || *folder == 0) return "(CAMVIEW_TEST_OUTPUT not set)";
  const std::string directory(folder);
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  const std::string path = directory + "/" + name + ".png";
  const paint::PixelRows rows{picture.width, picture.height, picture.bytes.data(), picture.stride,
                              paint::ChannelOrder::Bgr};
  return paint::writePng(path, rows) ? path : "(could not write into " + directory + ")";
#else
  return "(this build writes no PNG files)";
#endif
}

} // namespace

::testing::AssertionResult picturesEqual(const std::string& name, const Picture& actual, const Picture& expected) {
  if (actual.width != expected.width || actual.height != expected.height) {
    return ::testing::AssertionFailure() << name << ": sizes differ";
  }
  int differing = 0, firstX = -1, firstY = -1;
  for (int y = 0; y < actual.height; ++y) {
    for (int x = 0; x < actual.width; ++x) {
      if (actual.at(x, y) != expected.at(x, y)) {
        if (differing++ == 0) {
          firstX = x;
          firstY = y;
        }
      }
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  std::ostringstream message;
  message << name << ": " << differing << " pixels differ, first at (" << firstX << ", " << firstY << "): actual 0x"
          << std::hex << actual.at(firstX, firstY) << ", expected 0x" << expected.at(firstX, firstY) << std::dec
          << "; written: " << save(name + "-actual", actual) << ", " << save(name + "-expected", expected);
  return ::testing::AssertionFailure() << message.str();
}

} // namespace pixkit_test
