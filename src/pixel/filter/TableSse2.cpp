// Affine lookup tables (contrast, brightness) by SSE2 vectors: the byte
// shuffle a table lookup needs comes only with later levels, but the map
// itself is a multiply per 16-bit lane.
#include <emmintrin.h>

#include "pixel/filter/FilterRows.h"

namespace pixel {

int ApplyAffineRowSse2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const AffineMap& map) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i below = _mm_set1_epi8(static_cast<char>(map.offset < 0 ? -map.offset : 0));
    const __m128i above = _mm_set1_epi16(static_cast<short>(map.offset > 0 ? map.offset : 0));
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(map.multiplier));
    const __m128i scale = _mm_cvtsi32_si128(16 - map.shift);
    const __m128i fourth = _mm_set1_epi32(keepFourth ? static_cast<int>(0xFF000000u) : 0);
    int i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i x = _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), below);
        __m128i lo = _mm_sll_epi16(_mm_add_epi16(_mm_unpacklo_epi8(x, zero), above), scale);
        __m128i hi = _mm_sll_epi16(_mm_add_epi16(_mm_unpackhi_epi8(x, zero), above), scale);
        lo = _mm_mulhi_epu16(lo, multiplier);
        hi = _mm_mulhi_epu16(hi, multiplier);
        __m128i v = _mm_packus_epi16(lo, hi);
        __m128i* o = reinterpret_cast<__m128i*>(dst + i);
        if (keepFourth) v = _mm_or_si128(_mm_andnot_si128(fourth, v), _mm_and_si128(fourth, _mm_loadu_si128(o)));
        _mm_storeu_si128(o, v);
    }
    return i;
}

namespace {

// 16-bit samples: the 32-bit product u m (below 2^32) from 16-bit halves,
// u (m mod 2^16) by the low and high product and u (m >> 16) added to the
// high half, then shifted right across the halves; from a shift of 16 on the
// low half drops out. The inputs are limited to 1023 and the results to M by
// unsigned saturating subtraction (SSE2 has no unsigned 16-bit minimum).
template <bool HighOnly>
int AffineWords(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const AffineMap& map) {
    const __m128i top = _mm_set1_epi16(1023);
    const __m128i below = _mm_set1_epi16(static_cast<short>(map.offset < 0 ? -map.offset : 0));
    const __m128i above = _mm_set1_epi16(static_cast<short>(map.offset > 0 ? map.offset : 0));
    const __m128i low = _mm_set1_epi16(static_cast<short>(map.multiplier & 0xFFFF));
    const __m128i high = _mm_set1_epi16(static_cast<short>(map.multiplier >> 16));
    const int shift = map.shift;
    const __m128i left = _mm_cvtsi32_si128(shift < 16 ? 16 - shift : 0);
    const __m128i right = _mm_cvtsi32_si128(shift > 16 ? shift - 16 : 0);
    const __m128i lowRight = _mm_cvtsi32_si128(shift);
    const __m128i fourth = _mm_set1_epi64x(keepFourth ? static_cast<long long>(0xFFFF000000000000ull) : 0);
    int i = 0;
    for (; i + 8 <= samples; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        x = _mm_sub_epi16(x, _mm_subs_epu16(x, top));  // min(x, 1023)
        x = _mm_add_epi16(_mm_subs_epu16(x, below), above);
        const __m128i productHigh = _mm_add_epi16(_mm_mulhi_epu16(x, low), _mm_mullo_epi16(x, high));
        __m128i v;
        if constexpr (HighOnly) {
            v = _mm_srl_epi16(productHigh, right);
        } else {
            v = _mm_or_si128(_mm_sll_epi16(productHigh, left), _mm_srl_epi16(_mm_mullo_epi16(x, low), lowRight));
        }
        v = _mm_sub_epi16(v, _mm_subs_epu16(v, top));
        __m128i* o = reinterpret_cast<__m128i*>(dst + 2 * i);
        if (keepFourth) v = _mm_or_si128(_mm_andnot_si128(fourth, v), _mm_and_si128(fourth, _mm_loadu_si128(o)));
        _mm_storeu_si128(o, v);
    }
    return i;
}

}  // namespace

int ApplyAffineWordRowSse2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const AffineMap& map) {
    return map.shift >= 16 ? AffineWords<true>(dst, src, samples, keepFourth, map)
                           : AffineWords<false>(dst, src, samples, keepFourth, map);
}

}  // namespace pixel
