#include "GoldenImage.h"

#if defined(CAMVIEW_HAVE_PNG)
#include "platform/paint/PngFile.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace testsupport {

::testing::AssertionResult sameImage(const std::string& name, const paint::SoftwareCanvas& actual,
                                     const paint::SoftwareCanvas& expected) {
  std::ostringstream why;
  bool same = actual.width() == expected.width() && actual.height() == expected.height();
  if (!same) {
    why << name << ": size " << actual.width() << "x" << actual.height() << ", expected " << expected.width() << "x"
        << expected.height();
  } else {
    int differing = 0;
    for (int y = 0; y < actual.height(); ++y)
      for (int x = 0; x < actual.width(); ++x)
        if (actual.pixel(x, y) != expected.pixel(x, y)) {
          if (differing == 0)
            why << name << ": first difference at (" << x << ", " << y << "): " << std::hex << actual.pixel(x, y)
                << " instead of " << expected.pixel(x, y) << std::dec;
          ++differing;
        }
    same = differing == 0;
    if (!same) why << "; " << differing << " pixels differ";
  }
  if (same) return ::testing::AssertionSuccess();
#if defined(CAMVIEW_HAVE_PNG)
  if (const char* folder = std::getenv("CAMVIEW_TEST_OUTPUT")) {
    std::string base = std::string(folder) + "/" + name;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    paint::writePng(base + "-actual.png", actual);
    paint::writePng(base + "-expected.png", expected);
    why << " (written " << base << "-actual.png and -expected.png)";
  }
#endif
  return ::testing::AssertionFailure() << why.str();
}

} // namespace testsupport
