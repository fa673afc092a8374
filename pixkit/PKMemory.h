#pragma once

#include <cstddef>

#include "pixkit/PixkitExport.h"

// The library's allocator for byte blocks whose ownership passes between caller and
// library (fonts added with own = true, animation containers). Allocation failure
// returns null; nothing throws.
CAMVIEW_PIXKIT_API unsigned char* pkAllocBlock(std::size_t size);
CAMVIEW_PIXKIT_API void pkFreeBlock(unsigned char* block);
