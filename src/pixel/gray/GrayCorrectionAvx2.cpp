// Gray correction by AVX2 vectors: trunc(v * gain / 128) + offset of 32 bytes
// at a time in 16-bit lanes, clipped by the saturating pack (which keeps the
// byte order within each 16-byte half, as the unpacking did).
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/gray/GrayLanes.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

namespace {

VIDLYN_AVX2_INLINE __m256i Correct(__m256i v, __m256i gain, __m256i negative, __m256i offset) {
    const __m256i p = _mm256_mulhi_epu16(_mm256_slli_epi16(v, 8), gain);
    return _mm256_add_epi16(_mm256_sub_epi16(_mm256_xor_si256(p, negative), negative), offset);
}

}  // namespace

VIDLYN_AVX2 int GrayCorrectionRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites) {
    int32_t g, n, o;
    if (!GrayLanes(sites, g, n, o)) return 0;
    const __m256i gain = _mm256_set1_epi32(g), negative = _mm256_set1_epi32(n), offset = _mm256_set1_epi32(o);
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i lo = Correct(_mm256_unpacklo_epi8(v, zero), gain, negative, offset);
        const __m256i hi = Correct(_mm256_unpackhi_epi8(v, zero), gain, negative, offset);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
    }
    return i;
}

}  // namespace pixel
