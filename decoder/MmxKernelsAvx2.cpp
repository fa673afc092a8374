// AVX2 version of the four-lane arithmetic (sixteen 16-bit lanes), chosen at run time.
// Windows builds leave it out (see CpuFeatures.cpp).
#include "decoder/MmxKernels.h"

namespace wavelet::mmx {
const Kernels* Avx2Kernels() { return nullptr; }
}  // namespace wavelet::mmx
