// "ANRL" containers (with their image blocks) from outside: the checked entry point must
// reject every inconsistent offset, size and run code; accepted animations must paint
// every frame safely.
#include <cstdint>
#include <cstring>

#include "fuzz/pixkit/FuzzCanvas.h"
#include "pixkit/PKMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzCanvas canvas(size % 2 == 1);
  // The container becomes the library's when it has the magic: give it a block of the
  // library's allocator, of exactly the input's size.
  unsigned char* container = pkAllocBlock(size);
  if (container == nullptr) return 0;
  if (size != 0) std::memcpy(container, data, size);
  const bool magic = size >= 4 && std::memcmp(container, "ANRL", 4) == 0;
  const unsigned long anim = canvas.kit.animAddChecked(container, size, -2, 3);
  if (!magic) pkFreeBlock(container); // still ours
  if (anim == 0) return 0;
  const int count = canvas.kit.animGetCnt(anim);
  for (int i = 0; i < count && i < 64; ++i) {
    canvas.kit.animPaint(anim);
    canvas.kit.animNextPicture(anim);
  }
  canvas.kit.animSetPosition(anim, -1000, 5);
  canvas.kit.animPaint(anim);
  canvas.kit.animClose(anim);
  canvas.kit.animPaint(anim);
  return 0;
}
