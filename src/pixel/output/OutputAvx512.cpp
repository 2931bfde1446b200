// 16-bit samples to their bytes by AVX-512 vectors: shift each sample right
// by two, then keep the low byte by a byte permute of two registers, which
// also drops the fourth sample of 64-bit pixels.
// GCC 12's AVX-512 intrinsics start from a deliberately undefined register,
// which its flow analysis then reports as used uninitialized.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>

#include "pixel/core/KernelRows.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/output/OutputRows.h"

namespace pixel {

namespace {

// Byte k of the output from byte 2 w of two registers of 64 samples, w the
// sample of output byte k: every sample, or three of each four.
constexpr std::array<uint8_t, 64> LowBytes(int samplesPerPixel) {
    std::array<uint8_t, 64> c{};
    for (int k = 0; k < 64; ++k) c[k] = static_cast<uint8_t>(2 * ((k / 3) * samplesPerPixel + k % 3) & 127);
    return c;
}
constexpr std::array<uint8_t, 64> kEverySample = LowBytes(3);  // 3 samples per pixel: sample k itself
constexpr std::array<uint8_t, 64> kThreeOfFour = LowBytes(4);

// 64 samples (128 bytes) from p to the bytes `pick` chooses.
VIDLYN_AVX512_INLINE __m512i Narrow(const uint8_t* p, __m512i pick) {
    const __m512i a = _mm512_srli_epi16(_mm512_loadu_si512(p), 2), b = _mm512_srli_epi16(_mm512_loadu_si512(p + 64), 2);
    return _mm512_permutex2var_epi8(a, pick, b);
}

VIDLYN_AVX512_INLINE void Put(uint8_t* p, __m512i v, bool stream) {
    if (stream) {
        _mm512_stream_si512(reinterpret_cast<__m512i*>(p), v);
    } else {
        _mm512_storeu_si512(p, v);
    }
}

}  // namespace

VIDLYN_AVX512 int NarrowSamplesAvx512(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending) {
    const __m512i pick = _mm512_loadu_si512(kEverySample.data());
    // Streaming stores need whole aligned lines: the row's start up to one goes byte by byte, as does its end.
    int head = 0;
    while (stream && head < samples && (reinterpret_cast<uintptr_t>(dst + head) & 63) != 0) ++head;
    const int end = head + (samples - head) / 64 * 64;
    const auto one = [&](int k) { dst[k] = Reduce10To8(Load16(src + 2 * k)); };
    if (descending) {
        for (int k = samples - 1; k >= end; --k) one(k);
        for (int i = end - 64; i >= head; i -= 64) Put(dst + i, Narrow(src + 2 * i, pick), stream);
        for (int k = head - 1; k >= 0; --k) one(k);
    } else {
        for (int k = 0; k < head; ++k) one(k);
        for (int i = head; i < end; i += 64) Put(dst + i, Narrow(src + 2 * i, pick), stream);
        for (int k = end; k < samples; ++k) one(k);
    }
    return samples;
}

VIDLYN_AVX512 int NarrowPixels64Avx512(uint8_t* dst, const uint8_t* src, int pixels) {
    const __m512i pick = _mm512_loadu_si512(kThreeOfFour.data());
    int x = 0;
    for (; x + 16 <= pixels; x += 16) {
        _mm512_mask_storeu_epi8(dst + 3 * x, (1ull << 48) - 1, Narrow(src + 8 * x, pick));
    }
    return x;
}

}  // namespace pixel
