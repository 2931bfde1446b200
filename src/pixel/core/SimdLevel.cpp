// Processor feature probe: CPUID for SSE2, AVX2 and AVX-512 (F, BW, VL and the
// byte permutes of VBMI), XGETBV for the operating system saving the 256-bit
// and 512-bit registers and the mask registers across thread switches.
#include "pixel/core/SimdLevel.h"

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace pixel {

namespace {

SimdLevel Probe() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return SimdLevel::Scalar;
    if (!(d & bit_SSE2)) return SimdLevel::Scalar;
    const bool osxsave = (c & bit_OSXSAVE) != 0, avx = (c & bit_AVX) != 0;
    if (!osxsave || !avx) return SimdLevel::Sse2;
    uint32_t xcr0Low = 0, xcr0High = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & 6) != 6) return SimdLevel::Sse2;  // XMM and YMM state not both saved
    if (__get_cpuid_max(0, nullptr) < 7) return SimdLevel::Sse2;
    __cpuid_count(7, 0, a, b, c, d);
    if (!(b & bit_AVX2)) return SimdLevel::Sse2;
    const bool avx512 = (b & bit_AVX512F) && (b & bit_AVX512BW) && (b & bit_AVX512VL) && (c & bit_AVX512VBMI);
    if (!avx512 || (xcr0Low & 0xE0) != 0xE0) return SimdLevel::Avx2;  // opmask, upper ZMM, ZMM16-31 state
    return SimdLevel::Avx512;
#else
    return SimdLevel::Scalar;
#endif
}

std::atomic<int> gCeiling{static_cast<int>(SimdLevel::Avx512)};

}  // namespace

SimdLevel DetectedSimdLevel() {
    static const SimdLevel detected = Probe();
    return detected;
}

SimdLevel ActiveSimdLevel() {
    const int detected = static_cast<int>(DetectedSimdLevel());
    const int ceiling = gCeiling.load(std::memory_order_relaxed);
    return static_cast<SimdLevel>(detected < ceiling ? detected : ceiling);
}

void SetSimdCeiling(SimdLevel ceiling) { gCeiling.store(static_cast<int>(ceiling), std::memory_order_relaxed); }

}  // namespace pixel
