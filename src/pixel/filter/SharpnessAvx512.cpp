// The unsharp mask by vectors of 16-bit lanes. Per sample: the 4 x 4 box sum
// >> 4 is the blur, d = v - blur, and the table's trunc(s d / 10) is formed
// as sign x ((|s| |d| x kSharpenTenth) >> 19).
// AVX-512: 32 samples a step, the row's last ones by masks.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

// 32 samples of a row from position p (only the lanes of m are read).
template <bool Wide>
VIDLYN_AVX512_INLINE __m512i Load512(const uint8_t* row, int p, __mmask32 m) {
    if constexpr (Wide) {
        return _mm512_min_epu16(_mm512_maskz_loadu_epi16(m, row + 2 * p), _mm512_set1_epi16(1023));
    } else {
        return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(m, row + p));
    }
}

VIDLYN_AVX512_INLINE __mmask32 Lanes(int left) { return left >= 32 ? ~__mmask32{0} : (__mmask32{1} << left) - 1; }

// The four-row sums of the 32 positions from c: afresh from rows[], or by
// adding the entering row and taking away the leaving one (copying the
// entering row's bytes to `save` on the way).
template <bool Wide, bool Fresh, bool Save>
VIDLYN_AVX512_INLINE void ColumnVector(const SharpenRowJob& j, int c, __mmask32 m) {
    __m512i* column = reinterpret_cast<__m512i*>(j.columns + c);
    __m512i sum;
    if constexpr (Fresh) {
        sum = _mm512_add_epi16(_mm512_add_epi16(Load512<Wide>(j.rows[0], c, m), Load512<Wide>(j.rows[1], c, m)),
                               _mm512_add_epi16(Load512<Wide>(j.rows[2], c, m), Load512<Wide>(j.rows[3], c, m)));
    } else {
        __m512i in;
        if constexpr (Wide) {
            const __m512i raw = _mm512_maskz_loadu_epi16(m, j.enter + 2 * c);
            if constexpr (Save) _mm512_mask_storeu_epi16(j.save + 2 * c, m, raw);
            in = _mm512_min_epu16(raw, _mm512_set1_epi16(1023));
        } else {
            const __m256i raw = _mm256_maskz_loadu_epi8(m, j.enter + c);
            if constexpr (Save) _mm256_mask_storeu_epi8(j.save + c, m, raw);
            in = _mm512_cvtepu8_epi16(raw);
        }
        sum = _mm512_sub_epi16(_mm512_add_epi16(_mm512_loadu_si512(column), in), Load512<Wide>(j.leave, c, m));
    }
    _mm512_storeu_si512(column, sum);  // whole vectors: the buffer has room
}

VIDLYN_AVX512_INLINE __m512i Columns512(const uint16_t* columns, int at) { return _mm512_loadu_si512(columns + at); }

// Sharpened positions p .. p + 31 (the lanes of m) of the output row.
template <bool Wide, bool KeepFourth>
VIDLYN_AVX512_INLINE void SharpenVector(const SharpenRowJob& j, int p, __mmask32 m, __m512i s, __mmask32 flip) {
    const int t = j.tap;
    const __m512i box =
        _mm512_add_epi16(_mm512_add_epi16(Columns512(j.columns, p - 2 * t), Columns512(j.columns, p - t)),
                         _mm512_add_epi16(Columns512(j.columns, p), Columns512(j.columns, p + t)));
    const __m512i v = Load512<Wide>(j.rows[2], p, m);
    const __m512i d = _mm512_sub_epi16(v, _mm512_srli_epi16(box, 4));
    const __m512i q = _mm512_srli_epi16(
        _mm512_mulhi_epu16(_mm512_mullo_epi16(_mm512_abs_epi16(d), s), _mm512_set1_epi16(kSharpenTenth)), 3);
    const __mmask32 negative = _mm512_movepi16_mask(d) ^ flip;
    const __m512i out = _mm512_mask_sub_epi16(_mm512_add_epi16(v, q), negative, v, q);
    // Positions start at a multiple of 4 (begin = 2 tap) and go 32 at a time.
    // Whole vectors are stored whole (a masked store is slow), the fourth
    // samples blended back from the output.
    constexpr __mmask32 kFourth = KeepFourth ? 0x88888888u : 0;
    const bool whole = m == ~__mmask32{0};
    if constexpr (Wide) {
        __m512i r = _mm512_min_epi16(_mm512_max_epi16(out, _mm512_setzero_si512()), _mm512_set1_epi16(1023));
        uint8_t* o = j.dst + 2 * p;
        if (whole) {
            if constexpr (KeepFourth) r = _mm512_mask_blend_epi16(kFourth, r, _mm512_loadu_si512(o));
            _mm512_storeu_si512(o, r);
        } else {
            _mm512_mask_storeu_epi16(o, m & ~kFourth, r);
        }
    } else {
        // Saturated to bytes per 128-bit lane, then the lanes' low halves in order.
        const __m512i packed = _mm512_packus_epi16(out, out);
        const __m512i r = _mm512_maskz_permutexvar_epi64(0x0F, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packed);
        uint8_t* o = j.dst + p;
        if (whole) {
            __m256i r8 = _mm512_maskz_extracti64x4_epi64(0x0F, r, 0);
            if constexpr (KeepFourth)
                r8 = _mm256_mask_blend_epi8(kFourth, r8, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), r8);
        } else {
            _mm512_mask_storeu_epi8(o, m & ~kFourth, r);
        }
    }
}

template <bool Wide, bool KeepFourth, bool Fresh, bool Save>
VIDLYN_AVX512_INLINE void Pass512(const SharpenRowJob& j) {
    const __m512i s = _mm512_set1_epi16(static_cast<short>(j.sharpness < 0 ? -j.sharpness : j.sharpness));
    const __mmask32 flip = j.sharpness < 0 ? ~__mmask32{0} : 0;
    const __mmask32 all = ~__mmask32{0};
    const int n = j.end + j.tap;
    int p = j.begin, c = 0;
    for (; c + 32 <= n; c += 32) {
        if (j.ahead != nullptr) _mm_prefetch(reinterpret_cast<const char*>(j.ahead + (Wide ? 2 : 1) * c), _MM_HINT_T0);
        ColumnVector<Wide, Fresh, Save>(j, c, all);
        if (p + 32 <= j.end && p + j.tap + kSharpenLagSamples <= c) {
            SharpenVector<Wide, KeepFourth>(j, p, all, s, flip);
            p += 32;
        }
    }
    if (c < n) ColumnVector<Wide, Fresh, Save>(j, c, Lanes(n - c));
    for (; p < j.end; p += 32) SharpenVector<Wide, KeepFourth>(j, p, Lanes(j.end - p), s, flip);
}

template <bool Wide, bool KeepFourth>
VIDLYN_AVX512 int Row512(SharpenRowJob j) {  // a copy: not reloaded after every store
    if (j.enter == nullptr) {
        Pass512<Wide, KeepFourth, true, false>(j);
    } else if (j.save != nullptr) {
        Pass512<Wide, KeepFourth, false, true>(j);
    } else {
        Pass512<Wide, KeepFourth, false, false>(j);
    }
    return j.end;
}

}  // namespace

VIDLYN_AVX512 int SharpenRowAvx512(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? Row512<true, true>(j) : Row512<true, false>(j);
    return j.keepFourth ? Row512<false, true>(j) : Row512<false, false>(j);
}

}  // namespace pixel
