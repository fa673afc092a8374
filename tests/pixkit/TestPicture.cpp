#include "tests/pixkit/TestPicture.h"

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

} // namespace pixkit_test
