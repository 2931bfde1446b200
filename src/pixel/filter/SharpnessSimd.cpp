// The unsharp mask by vectors of 16-bit lanes. Per sample: the 4 x 4 box sum
// >> 4 is the blur, d = v - blur, and the table's trunc(s d / 10) is formed
// as sign x ((|s| |d| x 52429) >> 19), exact for |s| |d| < 262144.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterSimd.h"

namespace pixel {

namespace {

constexpr short kTenth = static_cast<short>(0xCCCD);  // 52429 = ceil(2^19 / 10)

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
    const __m128i tenth = _mm_set1_epi16(kTenth);
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

template <bool Wide>
VIDLYN_AVX2_INLINE __m256i LoadAvx2(const uint8_t* row, int p) {
    if constexpr (Wide) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * p));
        return _mm256_min_epu16(v, _mm256_set1_epi16(1023));
    } else {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + p)));
    }
}

VIDLYN_AVX2_INLINE __m256i Columns(const uint16_t* columns, int at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + at));
}

inline int Sample16(const uint8_t* row, int q) {
    uint16_t v;
    std::memcpy(&v, row + 2 * q, 2);
    return v;
}

// How far (in samples) the output positions run behind the column sums of
// a pass: the sums read are stored well before, since a load over a store
// still in flight waits for it.
constexpr int kLagSamples = 128;

// The four-row sums of the 16 positions from c: afresh from rows[], or by
// adding the entering row and taking away the leaving one (copying the
// entering row's bytes to `save` on the way).
template <bool Wide, bool Fresh, bool Save>
VIDLYN_AVX2_INLINE void ColumnVectorAvx2(const SharpenRowJob& j, int c) {
    __m256i* column = reinterpret_cast<__m256i*>(j.columns + c);
    __m256i sum;
    if constexpr (Fresh) {
        sum = _mm256_add_epi16(_mm256_add_epi16(LoadAvx2<Wide>(j.rows[0], c), LoadAvx2<Wide>(j.rows[1], c)),
                               _mm256_add_epi16(LoadAvx2<Wide>(j.rows[2], c), LoadAvx2<Wide>(j.rows[3], c)));
    } else {
        __m256i in;
        if constexpr (Wide) {
            const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.enter + 2 * c));
            if constexpr (Save) _mm256_storeu_si256(reinterpret_cast<__m256i*>(j.save + 2 * c), raw);
            in = _mm256_min_epu16(raw, _mm256_set1_epi16(1023));
        } else {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(j.enter + c));
            if constexpr (Save) _mm_storeu_si128(reinterpret_cast<__m128i*>(j.save + c), raw);
            in = _mm256_cvtepu8_epi16(raw);
        }
        sum = _mm256_sub_epi16(_mm256_add_epi16(_mm256_loadu_si256(column), in), LoadAvx2<Wide>(j.leave, c));
    }
    _mm256_storeu_si256(column, sum);
}

// The same for one position (the row's last few).
template <bool Wide, bool Fresh, bool Save>
inline void ColumnSample(const SharpenRowJob& j, int c) {
    const auto at = [](const uint8_t* row, int q) { return Wide ? std::min(Sample16(row, q), 1023) : int{row[q]}; };
    if constexpr (Fresh) {
        j.columns[c] = static_cast<uint16_t>(at(j.rows[0], c) + at(j.rows[1], c) + at(j.rows[2], c) + at(j.rows[3], c));
    } else {
        if constexpr (Save) std::memcpy(j.save + (Wide ? 2 : 1) * c, j.enter + (Wide ? 2 : 1) * c, Wide ? 2 : 1);
        j.columns[c] = static_cast<uint16_t>(j.columns[c] + at(j.enter, c) - at(j.leave, c));
    }
}

template <bool Wide, bool KeepFourth>
VIDLYN_AVX2_INLINE void SharpenVectorAvx2(const SharpenRowJob& j, int p, __m256i s, __m256i sNegative) {
    const int t = j.tap;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i box = _mm256_add_epi16(_mm256_add_epi16(Columns(j.columns, p - 2 * t), Columns(j.columns, p - t)),
                                         _mm256_add_epi16(Columns(j.columns, p), Columns(j.columns, p + t)));
    const __m256i v = LoadAvx2<Wide>(j.rows[2], p);
    const __m256i d = _mm256_sub_epi16(v, _mm256_srli_epi16(box, 4));
    const __m256i q =
        _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(_mm256_abs_epi16(d), s), _mm256_set1_epi16(kTenth)), 3);
    const __m256i negative = _mm256_xor_si256(_mm256_cmpgt_epi16(zero, d), sNegative);
    const __m256i out = _mm256_add_epi16(v, _mm256_sub_epi16(_mm256_xor_si256(q, negative), negative));
    // Positions start at a multiple of 4 (begin = 2 tap) and go 16 at a time.
    if constexpr (Wide) {
        __m256i r = _mm256_min_epi16(_mm256_max_epi16(out, zero), _mm256_set1_epi16(1023));
        __m256i* o = reinterpret_cast<__m256i*>(j.dst + 2 * p);
        if constexpr (KeepFourth)
            r = _mm256_blendv_epi8(r, _mm256_loadu_si256(o),
                                   _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull)));
        _mm256_storeu_si256(o, r);
    } else {
        __m128i r = _mm_packus_epi16(_mm256_castsi256_si128(out), _mm256_extracti128_si256(out, 1));
        __m128i* o = reinterpret_cast<__m128i*>(j.dst + p);
        if constexpr (KeepFourth)
            r = _mm_blendv_epi8(r, _mm_loadu_si128(o), _mm_set1_epi32(static_cast<int>(0xFF000000u)));
        _mm_storeu_si128(o, r);
    }
}

// One pass along the row: the column sums of positions 0 .. end + tap - 1,
// 16 at a time, and behind them the output positions whose sums are all
// there; the positions left for the caller's tail are returned.
template <bool Wide, bool KeepFourth, bool Fresh, bool Save>
VIDLYN_AVX2_INLINE int PassAvx2(const SharpenRowJob& j) {
    const __m256i s = _mm256_set1_epi16(static_cast<short>(j.sharpness < 0 ? -j.sharpness : j.sharpness));
    const __m256i sNegative = _mm256_set1_epi16(j.sharpness < 0 ? -1 : 0);
    const int n = j.end + j.tap;
    int p = j.begin, c = 0;
    for (; c + 16 <= n; c += 16) {
        if (j.ahead != nullptr) _mm_prefetch(reinterpret_cast<const char*>(j.ahead + (Wide ? 2 : 1) * c), _MM_HINT_T0);
        ColumnVectorAvx2<Wide, Fresh, Save>(j, c);
        if (p + 16 <= j.end && p + j.tap + kLagSamples <= c) {
            SharpenVectorAvx2<Wide, KeepFourth>(j, p, s, sNegative);
            p += 16;
        }
    }
    for (; c < n; ++c) ColumnSample<Wide, Fresh, Save>(j, c);
    for (; p + 16 <= j.end; p += 16) SharpenVectorAvx2<Wide, KeepFourth>(j, p, s, sNegative);
    return p;
}

template <bool Wide, bool KeepFourth>
VIDLYN_AVX2 int RowAvx2(SharpenRowJob j) {  // a copy: not reloaded after every store
    if (j.enter == nullptr) return PassAvx2<Wide, KeepFourth, true, false>(j);
    if (j.save != nullptr) return PassAvx2<Wide, KeepFourth, false, true>(j);
    return PassAvx2<Wide, KeepFourth, false, false>(j);
}

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
    const __m512i q =
        _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_mullo_epi16(_mm512_abs_epi16(d), s), _mm512_set1_epi16(kTenth)), 3);
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
        if (p + 32 <= j.end && p + j.tap + kLagSamples <= c) {
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

int SharpenRowSse2(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? RowSse2<true, true>(j) : RowSse2<true, false>(j);
    return j.keepFourth ? RowSse2<false, true>(j) : RowSse2<false, false>(j);
}

VIDLYN_AVX2 int SharpenRowAvx2(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? RowAvx2<true, true>(j) : RowAvx2<true, false>(j);
    return j.keepFourth ? RowAvx2<false, true>(j) : RowAvx2<false, false>(j);
}

VIDLYN_AVX512 int SharpenRowAvx512(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? Row512<true, true>(j) : Row512<true, false>(j);
    return j.keepFourth ? Row512<false, true>(j) : Row512<false, false>(j);
}

}  // namespace pixel
