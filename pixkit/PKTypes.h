#pragma once

#include "pixkit/PixkitExport.h"

// Plain types shared by every part of the 2D library.

// A rectangle of four signed edges. Fills and text clip rectangles treat all four edges
// as inclusive; text measurement returns {0, 0, width, height}.
struct CAMVIEW_PIXKIT_API CPKRectangle {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Pixel format of the destination buffer.
enum EPKLIBDestinationFormat {
  PKLIB_DEST_RGB16 = 0,  // 16-bit pixels, two bytes
  PKLIB_DEST_RGB24 = 1,  // packed 24-bit pixels, three bytes
  PKLIB_DEST_YUV422 = 2, // planar YCbCr 4:2:2; the buffer points to a CPKPlanes record
};

// The buffer argument for PKLIB_DEST_YUV422: three plane pointers. Y has one byte per
// pixel; Cb and Cr one byte per horizontal pixel pair, as many rows as Y.
struct CAMVIEW_PIXKIT_API CPKPlanes {
  unsigned char* y = nullptr;
  unsigned char* cb = nullptr;
  unsigned char* cr = nullptr;
};

// Flags of drawText and getTextSize.
enum : int {
  PKTEXT_VCENTER = 1, // drawText moves y up by half the measured height
  PKTEXT_HCENTER = 2, // drawText moves x left by half the measured width
  PKTEXT_FIXED = 4,   // every character takes one fixed-width cell
};

// Flags of the icon creation operations (only the low byte is looked at).
enum : int {
  PKICON_FLIPY = 1,  // source rows are stored bottom-up
  PKICON_MIRROR = 2, // mirror the columns
  PKICON_INVERT = 4, // grey level g becomes 255 - g before the alpha mapping
};
