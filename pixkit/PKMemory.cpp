#include "pixkit/PKMemory.h"

#include <new>

unsigned char* pkAllocBlock(std::size_t size) { return new (std::nothrow) unsigned char[size == 0 ? 1 : size]; }

void pkFreeBlock(unsigned char* block) { delete[] block; }
