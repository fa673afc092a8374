#pragma once

#include <cstddef>
#include <cstdint>

#include "pixkit/PKSurface.h"
#include "pixkit/PixkitExport.h"

// An animation: an "ANRL" container of image blocks with a current frame and a position.
//   offset 0  "ANRL"   4  frame count (int32)   8  count offsets (int32) of the frame
//   blocks from the start of the container, then the frame blocks.
class CAMVIEW_PIXKIT_API CPKAnim {
public:
  CPKAnim(int x, int y) : m_x(x), m_y(y) {}
  ~CPKAnim();
  CPKAnim(const CPKAnim&) = delete;
  CPKAnim& operator=(const CPKAnim&) = delete;

  // Takes ownership of the container (from pkAllocBlock) with count frames.
  void adopt(unsigned char* container, int count);
  // Releases the container; the animation then has 0 frames.
  void release();

  int count() const { return m_count; }
  int current() const { return m_current; }
  void next();
  bool select(int frame);
  void setPosition(int x, int y) {
    m_x = x;
    m_y = y;
  }
  int x() const { return m_x; }
  int y() const { return m_y; }
  // Block of frame `frame` inside the container.
  const unsigned char* frameBlock(int frame) const;
  void paint(CPKSurface& surface);

  unsigned long handle = 0;

private:
  unsigned char* m_container = nullptr;
  const unsigned char* m_frameView = nullptr; // the current frame's block, not owned
  int m_count = 0;
  int m_current = 0;
  int m_x;
  int m_y;
};

namespace pixkit {

constexpr unsigned char kAnimMagic[4] = {0x41, 0x4E, 0x52, 0x4C}; // "ANRL"

// True when the first four bytes are "ANRL".
bool hasAnimMagic(const unsigned char* container);

// True when a container of `size` bytes is well-formed: magic, count > 0, an offset table
// inside the container and every frame block inside it and valid (isValidImageBlock).
bool isValidAnimContainer(const unsigned char* container, std::size_t size);

} // namespace pixkit
