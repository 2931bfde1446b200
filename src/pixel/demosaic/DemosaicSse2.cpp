// Interior Bayer interpolation, 8 pixels at a time in 16-bit lanes (SSE2, the
// instructions every x64 processor has). Same sums as the AVX2 version; the
// output pixels are packed with shifts and masks, as SSE2 has no byte shuffle.
#include <emmintrin.h>

#include "pixel/demosaic/DemosaicRows.h"

namespace pixel {

namespace {

// Even lanes (even x) take `right` when Right, odd lanes the other one.
template <bool Right>
inline __m128i Sel(__m128i right, __m128i left) {
    const __m128i odd = _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0);
    const __m128i even = Right ? right : left, other = Right ? left : right;
    return _mm_or_si128(_mm_andnot_si128(odd, even), _mm_and_si128(odd, other));
}

template <int InBytes>
inline __m128i Load(const uint8_t* row, int x) {
    if constexpr (InBytes == 1) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x)), _mm_setzero_si128());
    } else {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * x));
    }
}

inline __m128i Times3Plus(__m128i a, __m128i b) { return _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(a, 1), a), b); }

template <int InBytes, bool Right>
inline __m128i ColourSum(const uint8_t* site, const uint8_t* partner, int x) {
    const __m128i near = Times3Plus(Sel<Right>(Load<InBytes>(site, x), Load<InBytes>(site, x - 1)),
                                    Sel<Right>(Load<InBytes>(partner, x), Load<InBytes>(partner, x - 1)));
    const __m128i far = Times3Plus(Sel<Right>(Load<InBytes>(site, x - 2), Load<InBytes>(site, x + 1)),
                                   Sel<Right>(Load<InBytes>(partner, x - 2), Load<InBytes>(partner, x + 1)));
    return Times3Plus(near, far);
}

inline __m128i Clip10(__m128i v) { return _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(1023))); }

// Two 8-byte pixels (6 bytes used each) -> their 12 bytes at the start.
inline __m128i Pack2Of6(__m128i v) {
    const __m128i low6 = _mm_set_epi64x(0, 0x0000FFFFFFFFFFFFll);
    const __m128i next6 = _mm_set_epi64x(0x00000000FFFFFFFFll, static_cast<long long>(0xFFFF000000000000ull));
    return _mm_or_si128(_mm_and_si128(v, low6), _mm_and_si128(_mm_srli_si128(v, 2), next6));
}

// Four 4-byte pixels (3 bytes used each) -> their 12 bytes at the start.
inline __m128i Pack4Of3(__m128i v) {
    const __m128i low3 = _mm_set1_epi64x(0x0000000000FFFFFFll);
    const __m128i next3 = _mm_set1_epi64x(0x0000FFFFFF000000ll);
    return Pack2Of6(_mm_or_si128(_mm_and_si128(v, low3), _mm_and_si128(_mm_srli_epi64(v, 8), next3)));
}

// Four 12-byte groups -> 48 contiguous bytes.
inline void Store4x12(uint8_t* d, __m128i a, __m128i b, __m128i c, __m128i e) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(a, _mm_slli_si128(b, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(e, 4)));
}

// 8 pixels of 8-bit channels; b and r are at most 4095 and saturate at 255.
template <int DstBpp>
inline void Store8(uint8_t* d, __m128i b, __m128i g, __m128i r) {
    const __m128i max = _mm_set1_epi16(255);
    const __m128i bg = _mm_or_si128(_mm_min_epi16(b, max), _mm_slli_epi16(g, 8));
    r = _mm_min_epi16(r, max);
    const __m128i lo = _mm_unpacklo_epi16(bg, r), hi = _mm_unpackhi_epi16(bg, r);  // b g r 0 per pixel
    if constexpr (DstBpp == 4) {                                                   // the fourth byte stays as it is
        const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        __m128i* p = reinterpret_cast<__m128i*>(d);
        _mm_storeu_si128(p, _mm_or_si128(lo, _mm_and_si128(_mm_loadu_si128(p), keep)));
        _mm_storeu_si128(p + 1, _mm_or_si128(hi, _mm_and_si128(_mm_loadu_si128(p + 1), keep)));
    } else {
        const __m128i a = Pack4Of3(lo), c = Pack4Of3(hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(a, _mm_slli_si128(c, 12)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm_srli_si128(c, 4));
    }
}

// 8 pixels of 16-bit channels (values <= 1023).
template <int DstBpp>
inline void Store16(uint8_t* d, __m128i b, __m128i g, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgLo = _mm_unpacklo_epi16(b, g), bgHi = _mm_unpackhi_epi16(b, g);
    const __m128i rLo = _mm_unpacklo_epi16(r, zero), rHi = _mm_unpackhi_epi16(r, zero);
    const __m128i q[4] = {_mm_unpacklo_epi32(bgLo, rLo), _mm_unpackhi_epi32(bgLo, rLo), _mm_unpacklo_epi32(bgHi, rHi),
                          _mm_unpackhi_epi32(bgHi, rHi)};  // b g r 0 per pixel, two pixels each
    if constexpr (DstBpp == 8) {                           // the fourth sample stays as it is
        const __m128i keep = _mm_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
        __m128i* p = reinterpret_cast<__m128i*>(d);
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(p + k, _mm_or_si128(q[k], _mm_and_si128(_mm_loadu_si128(p + k), keep)));
    } else {
        Store4x12(d, Pack2Of6(q[0]), Pack2Of6(q[1]), Pack2Of6(q[2]), Pack2Of6(q[3]));
    }
}

// True when every sample of columns x - 2 .. x + 8 of the four rows is at most 4095.
inline bool Narrow16(const uint8_t* const* rows, int x) {
    __m128i any = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) any = _mm_or_si128(any, _mm_or_si128(Load<2>(rows[i], x - 2), Load<2>(rows[i], x + 1)));
    const __m128i high = _mm_and_si128(any, _mm_set1_epi16(static_cast<short>(0xF000)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}

template <int InBytes, int DstBpp, bool BlueTop, bool BlueRight>
int Row(const DemosaicRowJob& j) {
    const auto [above2, above, row, below, blueSite, bluePartner, redSite, redPartner] = BayerRows<BlueTop>(j);
    constexpr bool kGreenTopRight = BlueTop != BlueRight;
    const __m128i kb = _mm_set1_epi16(static_cast<short>(j.kb << 5));
    const __m128i kr = _mm_set1_epi16(static_cast<short>(j.kr << 5));
    const int last = j.width - 3;
    int x = 2;
    for (; x + 7 <= last; x += 8) {
        if constexpr (InBytes == 2) {
            if (!Narrow16(j.rows, x)) break;
        }
        const __m128i b = _mm_mulhi_epu16(ColourSum<InBytes, BlueRight>(blueSite, bluePartner, x), kb);
        const __m128i r = _mm_mulhi_epu16(ColourSum<InBytes, !BlueRight>(redSite, redPartner, x), kr);
        const __m128i greenTop = Sel<kGreenTopRight>(Load<InBytes>(above, x), Load<InBytes>(above, x - 1));
        const __m128i greenBottom = Sel<kGreenTopRight>(Load<InBytes>(row, x - 1), Load<InBytes>(row, x));
        const __m128i g = _mm_srli_epi16(_mm_add_epi16(greenTop, greenBottom), 1);
        if constexpr (InBytes == 1) {
            Store8<DstBpp>(j.dst + x * DstBpp, b, g, r);
        } else {
            Store16<DstBpp>(j.dst + x * DstBpp, Clip10(b), Clip10(g), Clip10(r));
        }
    }
    return x;
}

template <int InBytes, int DstBpp>
int RowOf(const DemosaicRowJob& j) {
    if (j.blueTop) return j.blueRight ? Row<InBytes, DstBpp, true, true>(j) : Row<InBytes, DstBpp, true, false>(j);
    return j.blueRight ? Row<InBytes, DstBpp, false, true>(j) : Row<InBytes, DstBpp, false, false>(j);
}

}  // namespace

int DemosaicRow8Sse2(const DemosaicRowJob& j) { return j.dstBpp == 4 ? RowOf<1, 4>(j) : RowOf<1, 3>(j); }
int DemosaicRow16Sse2(const DemosaicRowJob& j) { return j.dstBpp == 8 ? RowOf<2, 8>(j) : RowOf<2, 6>(j); }

}  // namespace pixel
