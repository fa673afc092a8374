// Processor features as the WebAssembly build sees them. The decoder's CPUID detection finds
// no x86 processor here and would choose the portable engine, whose arithmetic differs from
// the four-lane engine every Windows host runs; a page must show what they show. WebAssembly
// SIMD carries the four-lane engine's SSE2 kernels (built with -msimd128 -msse2), so this
// build reports MMX and SSE2. This file takes the place of decoder/CpuFeatures.cpp, whose
// two functions it defines, in every program of the WebAssembly build.
#include "decoder/CpuFeatures.h"

#if !defined(__wasm_simd128__) || !defined(__SSE2__)
#error "the WebAssembly build needs -msimd128 -msse2"
#endif

namespace wavelet {

bool ProcessorHasMmx() { return true; }

SimdLevel BestSimdLevel() { return SimdLevel::Sse2; }

} // namespace wavelet
