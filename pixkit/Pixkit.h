#pragma once

#include <cstddef>

#include "pixkit/PKFont.h"
#include "pixkit/PKObjectTable.h"
#include "pixkit/PKSurface.h"
#include "pixkit/PKTypes.h"
#include "pixkit/PixkitExport.h"

class CPKImage;
class CPKAnim;
class CPKIcon;

// The core of the 2D library: the current destination surface and the four object tables
// (images, fonts, animations, icons). Create operations return a handle, 0 when nothing
// was created; every operation taking a handle looks it up in its own kind's table and
// does nothing (getters 0, boolean operations false) when it is not there. Handles are
// unique in the process and never 0. Every object draws on the core's current surface;
// without a surface (before a successful Init) drawing operations do nothing.
//
// Operations whose name ends in "Checked" take data from untrusted sources together with
// its real size and reject anything that does not fit; the others trust their data.
//
// One thread at a time per core; nothing here locks.
class CAMVIEW_PIXKIT_API CPixkit {
public:
  CPixkit();
  ~CPixkit();
  CPixkit(const CPixkit&) = delete;
  CPixkit& operator=(const CPixkit&) = delete;

  // Replaces the surface by a new one for the format (masks as 0x00RRGGBB-style channel
  // masks; flipY bit 0 only). Objects stay. False, and no surface, when the format is
  // unknown, an allocation fails or a mask is rejected.
  bool Init(int width, int height, int pitch, char* buffer, EPKLIBDestinationFormat format, unsigned long redMask,
            unsigned long greenMask, unsigned long blueMask, int flipY, int rowAlign);
  // Points the surface at another buffer (flipY, channels and colour table stay).
  void setNewDestination(int width, int height, int pitch, char* buffer, int rowAlign);
  void setFlipY(bool flip);
  // Destroys the surface and every object; the tables start empty again.
  void close();
  // Destroys every object; the surface stays.
  void closeObjects();
  CPKSurface* surface() const { return m_surface; }

  // ---- fonts ----
  // A font from a trusted block; with own = true the block (from pkAllocBlock) belongs to
  // the library from this call on, also when the call fails.
  unsigned long addFont(unsigned char* data, bool own);
  // The same for a block of `size` bytes from an untrusted source (CPKFont::isValidBlock).
  unsigned long addFontChecked(unsigned char* data, std::size_t size, bool own);
  // The font of a handle, or null (read-only view of its metrics).
  const CPKFont* font(unsigned long handle) const;
  int fontCount() const { return m_fonts.count(); }

  // ---- text ----
  void drawText(unsigned long font, int x, int y, int flags, unsigned long colour, const char* text,
                const CPKRectangle* clip = nullptr);
  void getTextSize(unsigned long font, const char* text, CPKRectangle* size, int flags);
  void fontSetFixedMulti(unsigned long font, float multi);
  void fontSetTabPosition(unsigned long font, int tab);
  CPKRectangle fontTextOutput(unsigned long font, const CPKRectangle* box, const char* text, unsigned long colour,
                              bool shadow, unsigned long shadowColour);

  // ---- fills (edges inclusive; colours reach the surface unchanged) ----
  void paintFill(const CPKRectangle* rect, unsigned long value);
  void paintFillAlpha(const CPKRectangle* rect, unsigned long colour, int alpha);
  void paintFillGradient(const CPKRectangle* rect, unsigned long topLeft, unsigned long topRight,
                         unsigned long bottomLeft, unsigned long bottomRight);

  // ---- icons ----
  unsigned long iconCreateFromMem(const unsigned char* pixels, int width, int height, int stride, int flags, int low,
                                  int high);
  unsigned long iconCreateFromBmpMem(bool infoHeaderOnly, const unsigned char* bmp, int flags, int low, int high);
  unsigned long iconCreateFromBmpMemChecked(bool infoHeaderOnly, const unsigned char* bmp, std::size_t size, int flags,
                                            int low, int high);
  void iconPaint(unsigned long icon, int x, int y, unsigned long colour);
  int iconGetWidth(unsigned long icon) const;
  int iconGetHeight(unsigned long icon) const;

  // ---- images ----
  // Encodes a picture of three bytes per pixel (first byte to the red field) as a 5-6-5
  // image: palette and run-length codes, or raw when raw is set or the codes do not fit.
  unsigned long imageCreateFromMem(const unsigned char* pixels, int width, int height, int stride, bool raw);
  void imagePaint(unsigned long image, int x, int y);
  // The image's block (16-byte header and data), or null.
  const unsigned char* imageBlock(unsigned long image) const;

  // ---- animations ----
  // Takes a trusted "ANRL" container from pkAllocBlock. When its first four bytes are
  // "ANRL" the container belongs to the library from this call on (also on failure);
  // otherwise it stays the caller's.
  unsigned long animAdd(unsigned char* container, int x, int y);
  // The same for a container of `size` bytes from an untrusted source: every offset,
  // frame block and run code is checked before the animation is made.
  unsigned long animAddChecked(unsigned char* container, std::size_t size, int x, int y);
  unsigned long animCreate(const unsigned long* images, int count);
  int animGetCnt(unsigned long anim) const;
  // The current frame, or -1 for a handle that is not in the table.
  int animGetPicture(unsigned long anim) const;
  void animNextPicture(unsigned long anim);
  bool animSetPicture(unsigned long anim, int frame);
  void animPaint(unsigned long anim);
  void animClose(unsigned long anim);
  void animSetPosition(unsigned long anim, int x, int y);

private:
  unsigned long adoptFont(unsigned char* data, bool own);

  CPKSurface* m_surface = nullptr;
  CPKObjectTable<CPKImage> m_images;
  CPKObjectTable<CPKFont> m_fonts;
  CPKObjectTable<CPKAnim> m_anims;
  CPKObjectTable<CPKIcon> m_icons;
};
