// Font blocks from outside: the checked reader must reject anything whose glyph bitmaps
// do not lie inside the block, and whatever it accepts must measure and draw safely.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/pixkit/FuzzCanvas.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  std::vector<unsigned char> block(data, data + size);
  FuzzCanvas canvas(size % 2 == 1);
  const unsigned long font = canvas.kit.addFontChecked(block.data(), block.size(), false);
  if (font == 0) return 0;

  // Every code once, with line feeds, proportional and in fixed cells.
  char text[300];
  int n = 0;
  for (int code = 1; code < 256; ++code) {
    text[n++] = static_cast<char>(code);
    if (code % 64 == 0) text[n++] = '\n';
  }
  text[n] = 0;
  CPKRectangle size1;
  canvas.kit.getTextSize(font, text, &size1, 0);
  canvas.kit.drawText(font, 3, 2, PKTEXT_HCENTER | PKTEXT_VCENTER, 0xFFFFFF, text);
  canvas.kit.fontSetFixedMulti(font, 0.64f);
  canvas.kit.drawText(font, -5, 7, PKTEXT_FIXED, 0x123456, text);
  const CPKRectangle clip{2, 3, 30, 20};
  canvas.kit.drawText(font, 0, 0, 0, 0xABCDEF, text, &clip);
  canvas.kit.fontSetTabPosition(font, 13);
  const CPKRectangle box{1, 1, 40, 30};
  canvas.kit.fontTextOutput(font, &box, "a\tb c\n\td", 0xFFFFFF, true, 0);
  return 0;
}
