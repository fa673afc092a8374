#pragma once

#include <cstdint>

#include "pixkit/PixkitExport.h"

// Full-range ITU-R BT.601 (JFIF) conversions in 16.16 fixed point, truncating.
// RGB words are 0x00RRGGBB; YCbCr words hold Y in bits 0-7, Cb in 8-15, Cr in 16-23.
CAMVIEW_PIXKIT_API std::uint32_t rgbToYCbCr(std::uint32_t rgb);
CAMVIEW_PIXKIT_API std::uint32_t yCbCrToRgb(std::uint32_t ycbcr);
