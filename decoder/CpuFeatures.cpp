#include "decoder/CpuFeatures.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define CAMVIEW_X86 1
#endif

namespace wavelet {
namespace {

#if defined(CAMVIEW_X86)
bool detectMmx() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const unsigned maxStandard = __get_cpuid_max(0, nullptr);
  if (maxStandard == 0) return false; // no CPUID
  __cpuid(0, eax, ebx, ecx, edx);
  char vendor[13];
  std::memcpy(vendor + 0, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  vendor[12] = 0;
  constexpr unsigned kBit23 = 1u << 23;
  constexpr unsigned kBit25 = 1u << 25;
  auto leaf = [&](unsigned number) { __cpuid(number, eax, ebx, ecx, edx); };
  if (std::strcmp(vendor, "GenuineIntel") == 0) {
    leaf(1);
    return (edx & (kBit23 | kBit25)) != 0;
  }
  if (std::strcmp(vendor, "AuthenticAMD") == 0) {
    if (static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) >= 0x80000001u) {
      leaf(0x80000001u);
      return (edx & kBit23) != 0;
    }
    leaf(1);
    return (edx & kBit23) != 0;
  }
  if (std::strcmp(vendor, "CyrixInstead") == 0) {
    if (maxStandard == 2) {
      leaf(0x80000001u);
      return (eax & kBit23) != 0;
    }
    leaf(1);
    return (edx & kBit23) != 0;
  }
  return false;
}

SimdLevel detectSimd() {
  __builtin_cpu_init();
#if !defined(_WIN32)
  // Windows builds leave AVX2 out: GCC does not keep 32-byte stack alignment there.
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
#endif
  if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
  return SimdLevel::Scalar;
}
#elif defined(__wasm_simd128__) && defined(__SSE2__)
// WebAssembly built with -msimd128 -msse2: the compiler carries the SSE2 intrinsics over to
// WebAssembly SIMD, which every browser that runs this build has. The four-lane engine runs
// there as it runs on every Windows host (a page must decode to the same pixels), with its
// SSE2 kernels.
bool detectMmx() { return true; }
SimdLevel detectSimd() { return SimdLevel::Sse2; }
#else
bool detectMmx() { return false; }
SimdLevel detectSimd() { return SimdLevel::Scalar; }
#endif

// Computed at load, before any decoder exists.
const bool gHasMmx = detectMmx();

} // namespace

bool processorHasMmx() { return gHasMmx; }

SimdLevel bestSimdLevel() {
  static const SimdLevel level = detectSimd();
  return level;
}

} // namespace wavelet
