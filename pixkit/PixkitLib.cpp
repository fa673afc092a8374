#include "pixkit/PixkitLib.h"

#include <new>

CPixkitLib::~CPixkitLib() { close(); }

bool CPixkitLib::Init(int width, int height, int pitch, char* buffer, EPKLIBDestinationFormat format,
                      unsigned long redMask, unsigned long greenMask, unsigned long blueMask, int flipY, int rowAlign) {
  const bool freshCore = m_core == nullptr;
  if (freshCore) {
    m_core = new (std::nothrow) CPixkit();
    if (m_core == nullptr) return false;
  }
  const bool ok = m_core->Init(width, height, pitch, buffer, format, redMask, greenMask, blueMask, flipY, rowAlign);
  if (!ok && freshCore) close(); // a failed first Init leaves the facade empty
  return ok;
}

void CPixkitLib::close() {
  delete m_core;
  m_core = nullptr;
}

unsigned long CPixkitLib::addFont(unsigned char* data) { return m_core != nullptr ? m_core->addFont(data, false) : 0; }

void CPixkitLib::drawText(unsigned long font, int x, int y, int flags, unsigned long colour, const char* text,
                          const CPKRectangle* clip) {
  if (m_core != nullptr) m_core->drawText(font, x, y, flags, colour, text, clip);
}

void CPixkitLib::getTextSize(unsigned long font, const char* text, CPKRectangle* size, int flags) {
  if (m_core != nullptr) m_core->getTextSize(font, text, size, flags);
}

void CPixkitLib::setFontFixedMulti(unsigned long font, float multi) {
  if (m_core != nullptr) m_core->fontSetFixedMulti(font, multi);
}

void CPixkitLib::setNewDestination(int width, int height, int pitch, char* buffer) {
  if (m_core != nullptr) m_core->setNewDestination(width, height, pitch, buffer, 4);
}

unsigned long CPixkitLib::iconCreateFromBmpMem(bool infoHeaderOnly, const unsigned char* bmp, int flags, int low,
                                               int high) {
  return m_core != nullptr ? m_core->iconCreateFromBmpMem(infoHeaderOnly, bmp, flags, low, high) : 0;
}

void CPixkitLib::iconPaint(unsigned long icon, int x, int y, unsigned long colour) {
  if (m_core != nullptr) m_core->iconPaint(icon, x, y, colour);
}

int CPixkitLib::iconGetWidth(unsigned long icon) const { return m_core != nullptr ? m_core->iconGetWidth(icon) : 0; }

int CPixkitLib::iconGetHeight(unsigned long icon) const { return m_core != nullptr ? m_core->iconGetHeight(icon) : 0; }

void CPixkitLib::paintFill(const CPKRectangle* rect, unsigned long value) {
  if (m_core != nullptr) m_core->paintFill(rect, value);
}

void CPixkitLib::paintFillAlpha(const CPKRectangle* rect, unsigned long colour, int alpha) {
  if (m_core != nullptr) m_core->paintFillAlpha(rect, colour, alpha);
}

void CPixkitLib::paintFillGradient(const CPKRectangle* rect, unsigned long topLeft, unsigned long topRight,
                                   unsigned long bottomLeft, unsigned long bottomRight) {
  if (m_core != nullptr) m_core->paintFillGradient(rect, topLeft, topRight, bottomLeft, bottomRight);
}
