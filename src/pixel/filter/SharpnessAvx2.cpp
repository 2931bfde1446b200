// The unsharp mask by vectors of 16-bit lanes. Per sample: the 4 x 4 box sum
// >> 4 is the blur, d = v - blur, and the table's trunc(s d / 10) is formed
// as sign x ((|s| |d| x kSharpenTenth) >> 19).
// AVX2: 16 samples a step, the four-row column sums kept from row to row.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

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

// The sharpened values of the 16 positions from p, as 16-bit lanes (not yet
// clipped). Negative: the setting is below 0, so d is formed the other way
// round (blur - v) and the sign of s d is the sign of that difference.
template <bool Wide, bool Negative>
VIDLYN_AVX2_INLINE __m256i SharpenedAvx2(const SharpenRowJob& j, int p, __m256i s) {
    const int t = j.tap;
    const __m256i box = _mm256_add_epi16(_mm256_add_epi16(Columns(j.columns, p - 2 * t), Columns(j.columns, p - t)),
                                         _mm256_add_epi16(Columns(j.columns, p), Columns(j.columns, p + t)));
    const __m256i v = LoadAvx2<Wide>(j.rows[2], p);
    const __m256i blur = _mm256_srli_epi16(box, 4);
    const __m256i d = Negative ? _mm256_sub_epi16(blur, v) : _mm256_sub_epi16(v, blur);
    const __m256i q = _mm256_srli_epi16(
        _mm256_mulhi_epu16(_mm256_mullo_epi16(_mm256_abs_epi16(d), s), _mm256_set1_epi16(kSharpenTenth)), 3);
    // q with the sign of d (0 where d is 0, and q is 0 there anyway).
    return _mm256_add_epi16(v, _mm256_sign_epi16(q, d));
}

// 16 positions from p (16-bit samples, or bytes when Wide is false).
template <bool Wide, bool KeepFourth, bool Negative>
VIDLYN_AVX2_INLINE void SharpenVectorAvx2(const SharpenRowJob& j, int p, __m256i s) {
    const __m256i out = SharpenedAvx2<Wide, Negative>(j, p, s);
    // Positions start at a multiple of 4 (begin = 2 tap) and go 16 at a time.
    if constexpr (Wide) {
        __m256i r = _mm256_min_epi16(_mm256_max_epi16(out, _mm256_setzero_si256()), _mm256_set1_epi16(1023));
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

// 32 positions from p: two vectors of 16, and for bytes one pack and one store.
template <bool Wide, bool KeepFourth, bool Negative>
VIDLYN_AVX2_INLINE void SharpenPairAvx2(const SharpenRowJob& j, int p, __m256i s) {
    if constexpr (Wide) {
        SharpenVectorAvx2<Wide, KeepFourth, Negative>(j, p, s);
        SharpenVectorAvx2<Wide, KeepFourth, Negative>(j, p + 16, s);
    } else {
        const __m256i lo = SharpenedAvx2<Wide, Negative>(j, p, s), hi = SharpenedAvx2<Wide, Negative>(j, p + 16, s);
        // The pack works within lanes: 0..7 16..23 8..15 24..31, put back in order.
        __m256i r = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
        __m256i* o = reinterpret_cast<__m256i*>(j.dst + p);
        if constexpr (KeepFourth)
            r = _mm256_blendv_epi8(r, _mm256_loadu_si256(o), _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
        _mm256_storeu_si256(o, r);
    }
}

// One pass along the row: the column sums of positions 0 .. end + tap - 1,
// 32 at a time, and behind them the output positions whose sums are all
// there; the positions left for the caller's tail are returned.
template <bool Wide, bool KeepFourth, bool Fresh, bool Save, bool Negative>
VIDLYN_AVX2_INLINE int PassAvx2(const SharpenRowJob& j) {
    const __m256i s = _mm256_set1_epi16(static_cast<short>(j.sharpness < 0 ? -j.sharpness : j.sharpness));
    const int n = j.end + j.tap;
    int p = j.begin, c = 0;
    for (; c + 32 <= n; c += 32) {
        if (j.ahead != nullptr) _mm_prefetch(reinterpret_cast<const char*>(j.ahead + (Wide ? 2 : 1) * c), _MM_HINT_T0);
        ColumnVectorAvx2<Wide, Fresh, Save>(j, c);
        ColumnVectorAvx2<Wide, Fresh, Save>(j, c + 16);
        if (p + 32 <= j.end && p + 16 + j.tap + kSharpenLagSamples <= c) {
            SharpenPairAvx2<Wide, KeepFourth, Negative>(j, p, s);
            p += 32;
        }
    }
    for (; c + 16 <= n; c += 16) ColumnVectorAvx2<Wide, Fresh, Save>(j, c);
    for (; c < n; ++c) ColumnSample<Wide, Fresh, Save>(j, c);
    for (; p + 32 <= j.end; p += 32) SharpenPairAvx2<Wide, KeepFourth, Negative>(j, p, s);
    for (; p + 16 <= j.end; p += 16) SharpenVectorAvx2<Wide, KeepFourth, Negative>(j, p, s);
    return p;
}

template <bool Wide, bool KeepFourth, bool Negative>
VIDLYN_AVX2_INLINE int RowSignAvx2(const SharpenRowJob& j) {
    if (j.enter == nullptr) return PassAvx2<Wide, KeepFourth, true, false, Negative>(j);
    if (j.save != nullptr) return PassAvx2<Wide, KeepFourth, false, true, Negative>(j);
    return PassAvx2<Wide, KeepFourth, false, false, Negative>(j);
}

template <bool Wide, bool KeepFourth>
VIDLYN_AVX2 int RowAvx2(SharpenRowJob j) {  // a copy: not reloaded after every store
    return j.sharpness < 0 ? RowSignAvx2<Wide, KeepFourth, true>(j) : RowSignAvx2<Wide, KeepFourth, false>(j);
}

}  // namespace

VIDLYN_AVX2 int SharpenRowAvx2(const SharpenRowJob& j) {
    if (j.wide) return j.keepFourth ? RowAvx2<true, true>(j) : RowAvx2<true, false>(j);
    return j.keepFourth ? RowAvx2<false, true>(j) : RowAvx2<false, false>(j);
}

}  // namespace pixel
