// Processor detection for the choice of engine, done once per process.
#pragma once

#include "decoder/WaveletEngine.h"

namespace wavelet {

// MMX support by the vendor rules below (CPUID); selects CMmxEngine.
//   "GenuineIntel": leaf 1, EDX bit 23 (MMX) or bit 25 (SSE).
//   "AuthenticAMD": leaf 0x80000001, EDX bit 23 when the extended leaf exists, else leaf 1 EDX bit 23.
//   "CyrixInstead": leaf 0x80000001 EAX bit 23 when the highest standard leaf is 2, else leaf 1 EDX bit 23.
//   No CPUID or any other vendor: no MMX.
// WebAssembly built with SIMD (-msimd128 -msse2) reports MMX and SSE2: the four-lane engine
// runs there on its SSE2 kernels, carried over to WebAssembly SIMD.
bool processorHasMmx();

// Widest SIMD the four-lane engine's kernels may use on this processor and build.
SimdLevel bestSimdLevel();

} // namespace wavelet
