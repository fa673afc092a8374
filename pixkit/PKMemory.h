#pragma once

#include <cstddef>

#include "pixkit/PixkitExport.h"

// The library's allocator for byte blocks whose ownership passes between caller and
// library (fonts added with own = true, animation containers). Allocation failure
// returns null; nothing throws.
PIXKIT_API unsigned char* pkAllocBlock(std::size_t size);
PIXKIT_API void pkFreeBlock(unsigned char* block);
