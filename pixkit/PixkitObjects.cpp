// CPixkit operations on fills, icons, images and animations.
#include <cstring>
#include <new>

#include "pixkit/PKAnim.h"
#include "base/LittleEndian.h"
#include "pixkit/PKFill.h"
#include "pixkit/PKIcon.h"
#include "pixkit/PKImage.h"
#include "pixkit/PKMemory.h"
#include "pixkit/Pixkit.h"

// ---- fills ----

void CPixkit::paintFill(const CPKRectangle* rect, unsigned long value) {
  if (m_surface != nullptr && rect != nullptr) pixkit::fillSolid(*m_surface, *rect, value);
}

void CPixkit::paintFillAlpha(const CPKRectangle* rect, unsigned long colour, int alpha) {
  if (m_surface != nullptr && rect != nullptr) pixkit::fillAlpha(*m_surface, *rect, colour, alpha);
}

void CPixkit::paintFillGradient(const CPKRectangle* rect, unsigned long topLeft, unsigned long topRight,
                                unsigned long bottomLeft, unsigned long bottomRight) {
  if (m_surface == nullptr || rect == nullptr) return;
  pixkit::fillGradient(*m_surface, *rect, topLeft, topRight, bottomLeft, bottomRight);
}

// ---- icons ----

unsigned long CPixkit::iconCreateFromMem(const unsigned char* pixels, int width, int height, int stride, int flags,
                                         int low, int high) {
  return m_icons.add(pixkit::makeIcon(pixels, width, height, stride, flags & 0xFF, low, high));
}

unsigned long CPixkit::iconCreateFromBmpMem(bool infoHeaderOnly, const unsigned char* bmp, int flags, int low,
                                            int high) {
  return m_icons.add(pixkit::makeIconFromBmp(infoHeaderOnly, bmp, pixkit::kUnknownSize, flags & 0xFF, low, high));
}

unsigned long CPixkit::iconCreateFromBmpMemChecked(bool infoHeaderOnly, const unsigned char* bmp, std::size_t size,
                                                   int flags, int low, int high) {
  if (size == pixkit::kUnknownSize) return 0;
  return m_icons.add(pixkit::makeIconFromBmp(infoHeaderOnly, bmp, size, flags & 0xFF, low, high));
}

void CPixkit::iconPaint(unsigned long icon, int x, int y, unsigned long colour) {
  const CPKIcon* i = m_icons.find(icon);
  if (i != nullptr && m_surface != nullptr) i->paint(*m_surface, x, y, colour);
}

int CPixkit::iconGetWidth(unsigned long icon) const {
  const CPKIcon* i = m_icons.find(icon);
  return i != nullptr ? i->width() : 0;
}

int CPixkit::iconGetHeight(unsigned long icon) const {
  const CPKIcon* i = m_icons.find(icon);
  return i != nullptr ? i->height() : 0;
}

// ---- images ----

unsigned long CPixkit::imageCreateFromMem(const unsigned char* pixels, int width, int height, int stride, bool raw) {
  unsigned char* block = pixkit::encodeImage(pixels, width, height, stride, raw);
  if (block == nullptr) return 0;
  CPKImage* image = new (std::nothrow) CPKImage(block);
  if (image == nullptr) {
    pkFreeBlock(block);
    return 0;
  }
  return m_images.add(image);
}

void CPixkit::imagePaint(unsigned long image, int x, int y) {
  const CPKImage* i = m_images.find(image);
  if (i != nullptr && m_surface != nullptr) pixkit::paintImage(*m_surface, i->block(), x, y);
}

const unsigned char* CPixkit::imageBlock(unsigned long image) const {
  const CPKImage* i = m_images.find(image);
  return i != nullptr ? i->block() : nullptr;
}

// ---- animations ----

unsigned long CPixkit::animAdd(unsigned char* container, int x, int y) {
  // Only a container with the magic becomes the library's; anything else stays the
  // caller's. From here on every failure frees the container.
  if (!pixkit::hasAnimMagic(container)) return 0;
  const std::int32_t count = le::readI32(container + 4);
  CPKAnim* anim = count > 0 ? new (std::nothrow) CPKAnim(x, y) : nullptr;
  if (anim == nullptr) {
    pkFreeBlock(container);
    return 0;
  }
  anim->adopt(container, count);
  return m_anims.add(anim);
}

unsigned long CPixkit::animAddChecked(unsigned char* container, std::size_t size, int x, int y) {
  if (container == nullptr || size < 4 || !pixkit::hasAnimMagic(container)) return 0;
  if (!pixkit::isValidAnimContainer(container, size)) {
    pkFreeBlock(container);
    return 0;
  }
  return animAdd(container, x, y);
}

unsigned long CPixkit::animCreate(const unsigned long* images, int count) {
  if (count < 0 || (count > 0 && images == nullptr)) return 0;
  // Every handle must be an image of the first one's size.
  std::uint64_t total = 8;
  const unsigned char* first = nullptr;
  for (int i = 0; i < count; ++i) {
    const CPKImage* image = m_images.find(images[i]);
    if (image == nullptr) return 0;
    const unsigned char* block = image->block();
    if (first == nullptr) {
      first = block;
    } else if (pixkit::imageWidth(block) != pixkit::imageWidth(first) ||
               pixkit::imageHeight(block) != pixkit::imageHeight(first)) {
      return 0;
    }
    total += 4 + static_cast<std::uint64_t>(pixkit::imageSize(block));
  }
  if (total > INT32_MAX) return 0;
  unsigned char* container = pkAllocBlock(static_cast<std::size_t>(total));
  if (container == nullptr) return 0;
  std::memcpy(container, pixkit::kAnimMagic, 4);
  le::writeU32(container + 4, static_cast<std::uint32_t>(count));
  std::size_t offset = 8 + 4 * static_cast<std::size_t>(count);
  for (int i = 0; i < count; ++i) {
    const unsigned char* block = m_images.find(images[i])->block();
    const std::size_t size = pixkit::imageSize(block);
    le::writeU32(container + 8 + 4 * static_cast<std::size_t>(i), static_cast<std::uint32_t>(offset));
    std::memcpy(container + offset, block, size);
    offset += size;
  }
  CPKAnim* anim = new (std::nothrow) CPKAnim(0, 0);
  if (anim == nullptr) {
    pkFreeBlock(container);
    return 0;
  }
  anim->adopt(container, count);
  return m_anims.add(anim);
}

int CPixkit::animGetCnt(unsigned long anim) const {
  const CPKAnim* a = m_anims.find(anim);
  return a != nullptr ? a->count() : 0;
}

int CPixkit::animGetPicture(unsigned long anim) const {
  const CPKAnim* a = m_anims.find(anim);
  return a != nullptr ? a->current() : -1;
}

void CPixkit::animNextPicture(unsigned long anim) {
  if (CPKAnim* a = m_anims.find(anim)) a->next();
}

bool CPixkit::animSetPicture(unsigned long anim, int frame) {
  CPKAnim* a = m_anims.find(anim);
  return a != nullptr && a->select(frame);
}

void CPixkit::animPaint(unsigned long anim) {
  CPKAnim* a = m_anims.find(anim);
  if (a != nullptr && m_surface != nullptr) a->paint(*m_surface);
}

void CPixkit::animClose(unsigned long anim) {
  if (CPKAnim* a = m_anims.find(anim)) a->release();
}

void CPixkit::animSetPosition(unsigned long anim, int x, int y) {
  if (CPKAnim* a = m_anims.find(anim)) a->setPosition(x, y);
}
