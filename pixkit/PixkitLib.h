#pragma once

#include "pixkit/Pixkit.h"
#include "pixkit/PKTypes.h"
#include "pixkit/PixkitExport.h"

// Facade of the 2D library: owns one core, created by the first successful Init (a later
// Init that fails keeps the core and its objects, without a surface). Every operation
// other than Init and close needs a successful Init; without a core they do nothing and
// return 0 / false. A facade cannot be copied (it is the single owner of its core).
class CAMVIEW_PIXKIT_API CPixkitLib {
public:
  CPixkitLib() = default;
  ~CPixkitLib();
  CPixkitLib(const CPixkitLib&) = delete;
  CPixkitLib& operator=(const CPixkitLib&) = delete;

  bool Init(int width, int height, int pitch, char* buffer, EPKLIBDestinationFormat format, unsigned long redMask,
            unsigned long greenMask, unsigned long blueMask, int flipY, int rowAlign);
  // Destroys the core with its surface and every object.
  void close();

  unsigned long addFont(unsigned char* data);
  void drawText(unsigned long font, int x, int y, int flags, unsigned long colour, const char* text,
                const CPKRectangle* clip = nullptr);
  void getTextSize(unsigned long font, const char* text, CPKRectangle* size, int flags);
  void setFontFixedMulti(unsigned long font, float multi);
  // Always with a row alignment of 4.
  void setNewDestination(int width, int height, int pitch, char* buffer);

  unsigned long iconCreateFromBmpMem(bool infoHeaderOnly, const unsigned char* bmp, int flags, int low, int high);
  void iconPaint(unsigned long icon, int x, int y, unsigned long colour);
  int iconGetWidth(unsigned long icon) const;
  int iconGetHeight(unsigned long icon) const;
  void paintFill(const CPKRectangle* rect, unsigned long value);
  void paintFillAlpha(const CPKRectangle* rect, unsigned long colour, int alpha);
  void paintFillGradient(const CPKRectangle* rect, unsigned long topLeft, unsigned long topRight,
                         unsigned long bottomLeft, unsigned long bottomRight);

  // The core (null before the first Init), for the operations the facade does not forward.
  CPixkit* core() const { return m_core; }

private:
  CPixkit* m_core = nullptr;
};
