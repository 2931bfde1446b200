// The unsharp mask by vectors of 16-bit lanes. Per sample: the 4 x 4 box sum
// >> 4 is the blur, d = v - blur, and the table's trunc(s d / 10) is formed
// as sign x ((|s| |d| x kSharpenTenth) >> 19).
// SSE2: 8 samples a step, every sum afresh.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

template <bool Wide>
inline __m128i LoadSse2(const uint8_t* row, int p) {
    if constexpr (Wide) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * p));
        return _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(1023)));  // min(v, 1023)
    } else {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + p)), _mm_setzero_si128());
    }
}

template <bool Wide, bool KeepFourth>
int RowSse2(const SharpenRowJob& j) {
    const int t = j.tap;
    const __m128i s = _mm_set1_epi16(static_cast<short>(j.sharpness < 0 ? -j.sharpness : j.sharpness));
    const __m128i sNegative = _mm_set1_epi16(j.sharpness < 0 ? -1 : 0);
    const __m128i tenth = _mm_set1_epi16(kSharpenTenth);
    // Lanes of the fourth sample of a pixel (positions start at a multiple of 4).
    const __m128i fourth = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i zero = _mm_setzero_si128();
    int p = j.begin;
    for (; p + 8 <= j.end; p += 8) {
        __m128i box = zero;
        for (int i = 0; i < 4; ++i)
            for (int k = -2; k <= 1; ++k) box = _mm_add_epi16(box, LoadSse2<Wide>(j.rows[i], p + k * t));
        const __m128i v = LoadSse2<Wide>(j.rows[2], p);
        const __m128i d = _mm_sub_epi16(v, _mm_srli_epi16(box, 4));
        const __m128i magnitude = _mm_max_epi16(d, _mm_sub_epi16(zero, d));
        const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(magnitude, s), tenth), 3);
        const __m128i negative = _mm_xor_si128(_mm_cmpgt_epi16(zero, d), sNegative);
        const __m128i out = _mm_add_epi16(v, _mm_sub_epi16(_mm_xor_si128(q, negative), negative));
        if constexpr (Wide) {
            __m128i r = _mm_min_epi16(_mm_max_epi16(out, zero), _mm_set1_epi16(1023));
            __m128i* o = reinterpret_cast<__m128i*>(j.dst + 2 * p);
            if constexpr (KeepFourth)
                r = _mm_or_si128(_mm_andnot_si128(fourth, r), _mm_and_si128(fourth, _mm_loadu_si128(o)));
            _mm_storeu_si128(o, r);
        } else {
            __m128i r = _mm_packus_epi16(out, out);
            __m128i* o = reinterpret_cast<__m128i*>(j.dst + p);
            if constexpr (KeepFourth) {
                const __m128i fourth8 = _mm_packs_epi16(fourth, fourth);
                r = _mm_or_si128(_mm_andnot_si128(fourth8, r), _mm_and_si128(fourth8, _mm_loadl_epi64(o)));
            }
            _mm_storel_epi64(o, r);
        }
    }
    return p;
}

}  // namespace

int SharpenRowSse2(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? RowSse2<true, true>(j) : RowSse2<true, false>(j);
    return j.keepFourth ? RowSse2<false, true>(j) : RowSse2<false, false>(j);
}

}  // namespace pixel
