#pragma once

#include <cstdint>

#include "pixkit/PKChannel.h"
#include "pixkit/PixkitExport.h"

// The library's view of the caller's pixel buffer: size, row layout and channel layout,
// plus the pixel primitives through which every drawing operation writes. Each primitive
// addresses, clips and converts one pixel (or one run); pixels outside the surface are
// dropped. The surface never allocates or frees the caller's buffer.
class CAMVIEW_PIXKIT_API CPKSurface {
public:
  static constexpr int kColourTableSize = 65536;

  virtual ~CPKSurface();
  CPKSurface(const CPKSurface&) = delete;
  CPKSurface& operator=(const CPKSurface&) = delete;

  // Blends the colour word 0x00RRGGBB into the pixel with alpha 0..255 (values outside
  // are clamped).
  virtual void blendPixel(int x, int y, unsigned long colour, int alpha) = 0;
  // Stores a value in the surface's pixel layout.
  virtual void setPixel(int x, int y, unsigned long value) = 0;
  // Stores colourTable[index] for a 16-bit 5-6-5 colour index.
  virtual void setPixelIndexed(int x, int y, unsigned short index) = 0;
  // Sets the three channels and builds the colour table. False (and no table) when a
  // mask is rejected or the table cannot be allocated.
  virtual bool setChannelMasks(unsigned long redMask, unsigned long greenMask, unsigned long blueMask);
  // setPixelIndexed for count pixels from x to the right.
  virtual void fillSpanIndexed(int x, int y, unsigned short index, int count) = 0;
  // Points the surface at another buffer; keeps flipY, the channels and the colour table.
  virtual void setDestination(int width, int height, int pitch, char* buffer, int rowAlign);

  // A colour word converted to this surface's channel layout (used for text colours).
  unsigned long mapColour(unsigned long colour) const;

  int width() const { return m_width; }
  int height() const { return m_height; }
  int pitch() const { return m_pitch; }
  int stride() const { return m_stride; }
  int bytesPerPixel() const { return m_bytesPerPixel; }
  bool flipY() const { return m_flipY; }
  void setFlipY(bool flip) { m_flipY = flip; }
  char* buffer() const { return m_buffer; }
  const CPKChannel& red() const { return m_red; }
  const CPKChannel& green() const { return m_green; }
  const CPKChannel& blue() const { return m_blue; }
  // Null until setChannelMasks succeeded.
  const std::uint32_t* colourTable() const { return m_colourTable; }

  // The clipped range of a rectangle with inclusive edges, as the half-open column and
  // row ranges of pixels that exist on the surface. False when nothing is visible.
  // Walking only this range gives the same result as walking the whole rectangle,
  // because the primitives drop every pixel outside.
  bool visibleRange(long long left, long long top, long long right, long long bottom, int& x0, int& y0, int& x1,
                    int& y1) const;

protected:
  CPKSurface(int bytesPerPixel, int width, int height, int pitch, char* buffer, bool flipY, int rowAlign);

  // Row y in buffer order (after the vertical flip) when (x, y) lies on the surface.
  bool address(int x, int y, int& rowInBuffer) const {
    if (x < 0 || x >= m_width) return false;
    const int row = m_flipY ? m_height - 1 - y : y;
    if (row < 0 || row >= m_height) return false;
    rowInBuffer = row;
    return true;
  }
  static int clampAlpha(int alpha) { return alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha); }

  int m_width = 0;
  int m_height = 0;
  char* m_buffer = nullptr;
  bool m_flipY = false;
  CPKChannel m_red;
  CPKChannel m_green;
  CPKChannel m_blue;
  int m_pitch = 0;
  int m_stride = 0;
  int m_bytesPerPixel;
  std::uint32_t* m_colourTable = nullptr;

  // Stores the geometry; a null buffer or a negative size leaves nothing drawable.
  void layOut(int width, int height, int pitch, char* buffer, int rowAlign);
};
