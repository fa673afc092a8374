// BMP data from outside: the checked reader must stay inside the data and reject what it
// cannot read; accepted icons must paint safely.
#include <cstdint>
#include <vector>

#include "fuzz/pixkit/FuzzCanvas.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the call's options; the rest is the BMP data.
  const std::uint8_t options = data[0];
  std::vector<unsigned char> bmp(data + 1, data + size);
  FuzzCanvas canvas((options & 0x10) != 0);
  const bool infoHeaderOnly = (options & 0x08) != 0;
  const int flags = options & 0x07;
  const int low = (options & 0x20) ? 255 : 0;
  const int high = 255 - low;
  const unsigned long icon =
      canvas.kit.iconCreateFromBmpMemChecked(infoHeaderOnly, bmp.data(), bmp.size(), flags, low, high);
  if (icon == 0) return 0;
  canvas.kit.iconPaint(icon, -3, -2, 0x40FF40);
  canvas.kit.iconPaint(icon, FuzzCanvas::kWidth - 4, FuzzCanvas::kHeight - 4, 0xFFFFFF);
  return 0;
}
