#include "pixkit/Pixkit.h"

#include <atomic>
#include <new>

#include "pixkit/PKAnim.h"
#include "pixkit/PKIcon.h"
#include "pixkit/PKImage.h"
#include "pixkit/PKMemory.h"
#include "pixkit/PKSurface16.h"
#include "pixkit/PKSurfaceRGB24.h"
#include "pixkit/PKSurfaceYUV422.h"
#include "pixkit/PKText.h"

unsigned long pkNextHandle() {
  // Handles are serial numbers rather than addresses: an address does not fit an
  // unsigned long on 64-bit Windows. Process-wide, so a handle of one core is never
  // found in another core's tables.
  static std::atomic<unsigned long> counter{0};
  unsigned long handle = ++counter;
  while (handle == 0) handle = ++counter;
  return handle;
}

namespace {

CPKSurface* makeSurface(EPKLIBDestinationFormat format, int width, int height, int pitch, char* buffer, bool flipY,
                        int rowAlign) {
  switch (format) {
  case PKLIB_DEST_RGB16:
    return new (std::nothrow) CPKSurface16(width, height, pitch, buffer, flipY, rowAlign);
  case PKLIB_DEST_RGB24:
    return new (std::nothrow) CPKSurfaceRGB24(width, height, pitch, buffer, flipY, rowAlign);
  case PKLIB_DEST_YUV422:
    return new (std::nothrow) CPKSurfaceYUV422(width, height, pitch, buffer, flipY, rowAlign);
  }
  return nullptr;
}

} // namespace

CPixkit::CPixkit() = default;

CPixkit::~CPixkit() { close(); }

bool CPixkit::Init(int width, int height, int pitch, char* buffer, EPKLIBDestinationFormat format,
                   unsigned long redMask, unsigned long greenMask, unsigned long blueMask, int flipY, int rowAlign) {
  m_images.setGrowBy(10);
  m_fonts.setGrowBy(10);
  m_anims.setGrowBy(10);
  m_icons.setGrowBy(10);
  delete m_surface;
  m_surface = makeSurface(format, width, height, pitch, buffer, (flipY & 1) != 0, rowAlign);
  if (m_surface == nullptr) return false;
  if (!m_surface->setChannelMasks(redMask, greenMask, blueMask)) {
    // A surface without channels or colour table is never drawn on.
    delete m_surface;
    m_surface = nullptr;
    return false;
  }
  return true;
}

void CPixkit::setNewDestination(int width, int height, int pitch, char* buffer, int rowAlign) {
  if (m_surface != nullptr) m_surface->setDestination(width, height, pitch, buffer, rowAlign);
}

void CPixkit::setFlipY(bool flip) {
  if (m_surface != nullptr) m_surface->setFlipY(flip);
}

void CPixkit::close() {
  delete m_surface;
  m_surface = nullptr;
  closeObjects();
}

void CPixkit::closeObjects() {
  m_icons.clear();
  m_anims.clear();
  m_fonts.clear();
  m_images.clear();
}

// ---- fonts ----

unsigned long CPixkit::adoptFont(unsigned char* data, bool own) {
  CPKFont* font = new (std::nothrow) CPKFont(data, own ? data : nullptr);
  if (font == nullptr) {
    if (own) pkFreeBlock(data);
    return 0;
  }
  // add() destroys the font (and an owned block) when the table cannot grow.
  return m_fonts.add(font);
}

unsigned long CPixkit::addFont(unsigned char* data, bool own) {
  if (data == nullptr) return 0;
  if (!CPKFont::hasFourBitPixels(data)) {
    if (own) pkFreeBlock(data);
    return 0;
  }
  return adoptFont(data, own);
}

unsigned long CPixkit::addFontChecked(unsigned char* data, std::size_t size, bool own) {
  if (!CPKFont::isValidBlock(data, size)) {
    if (own) pkFreeBlock(data);
    return 0;
  }
  return adoptFont(data, own);
}

const CPKFont* CPixkit::font(unsigned long handle) const { return m_fonts.find(handle); }

// ---- text ----

void CPixkit::drawText(unsigned long font, int x, int y, int flags, unsigned long colour, const char* text,
                       const CPKRectangle* clip) {
  const CPKFont* f = m_fonts.find(font);
  if (f == nullptr || m_surface == nullptr) return;
  pixkit::drawText(*m_surface, *f, x, y, flags, colour, text, clip);
}

void CPixkit::getTextSize(unsigned long font, const char* text, CPKRectangle* size, int flags) {
  const CPKFont* f = m_fonts.find(font);
  if (f == nullptr || size == nullptr) return;
  *size = pixkit::measureText(*f, text, flags);
}

void CPixkit::fontSetFixedMulti(unsigned long font, float multi) {
  if (CPKFont* f = m_fonts.find(font)) f->setFixedMulti(multi);
}

void CPixkit::fontSetTabPosition(unsigned long font, int tab) {
  if (CPKFont* f = m_fonts.find(font)) f->setTabPosition(tab);
}

CPKRectangle CPixkit::fontTextOutput(unsigned long font, const CPKRectangle* box, const char* text,
                                     unsigned long colour, bool shadow, unsigned long shadowColour) {
  const CPKFont* f = m_fonts.find(font);
  CPKRectangle empty;
  if (box != nullptr) {
    empty.left = empty.right = box->left;
    empty.top = empty.bottom = box->top;
  }
  if (f == nullptr || box == nullptr || m_surface == nullptr) return empty;
  return pixkit::textOutput(*m_surface, *f, *box, text, colour, shadow, shadowColour);
}
