// Gray correction by SSE2 vectors: trunc(v * gain / 128) + offset of 16 bytes
// at a time in 16-bit lanes, clipped by the saturating pack.
#include <emmintrin.h>

#include "pixel/gray/GrayLanes.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

namespace {

inline __m128i Correct(__m128i v, __m128i gain, __m128i negative, __m128i offset) {
    const __m128i p = _mm_mulhi_epu16(_mm_slli_epi16(v, 8), gain);
    return _mm_add_epi16(_mm_sub_epi16(_mm_xor_si128(p, negative), negative), offset);
}

}  // namespace

int GrayCorrectionRowSse2(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites) {
    int32_t g, n, o;
    if (!GrayLanes(sites, g, n, o)) return 0;
    const __m128i gain = _mm_set1_epi32(g), negative = _mm_set1_epi32(n), offset = _mm_set1_epi32(o);
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i lo = Correct(_mm_unpacklo_epi8(v, zero), gain, negative, offset);
        const __m128i hi = Correct(_mm_unpackhi_epi8(v, zero), gain, negative, offset);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
    }
    return i;
}

}  // namespace pixel
