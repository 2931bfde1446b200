// Interior Bayer interpolation with 64-byte vectors (AVX-512 with byte
// permutes): the sums of the AVX2 version twice as wide, and the output
// pixels put together by permutes that take each byte (or sample) straight
// from its channel vector. 32- and 64-bit pixels are written with a mask, so
// their fourth byte or sample is neither read nor changed. The rest of a row
// goes to the AVX2 rows.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/demosaic/DemosaicRows.h"

namespace pixel {

namespace {

// For output vector `block` of pixels of Channels channels (the fourth not
// written): lane j takes lane `pixel` of channel 0 (index pixel) or channel 1
// (index 64 / 32 + pixel, the second source of a two-source permute) in
// `firstTwo`, and lane `pixel` of channel 2 in `third`; `thirdMask` marks the
// lanes of channel 2 and `writeMask` the lanes of channels 0 to 2.
template <int Lanes, int PixelLanes>
struct Placement {
    uint8_t firstTwo[Lanes];
    uint8_t third[Lanes];
    uint64_t thirdMask;
    uint64_t writeMask;
};

template <int Lanes, int PixelLanes>
constexpr Placement<Lanes, PixelLanes> MakePlacement(int block) {
    Placement<Lanes, PixelLanes> p{};
    for (int j = 0; j < Lanes; ++j) {
        const int g = Lanes * block + j, pixel = g / PixelLanes, channel = g % PixelLanes;
        p.firstTwo[j] = static_cast<uint8_t>(channel == 1 ? Lanes + pixel : pixel);
        p.third[j] = static_cast<uint8_t>(pixel);
        if (channel == 2) p.thirdMask |= uint64_t{1} << j;
        if (channel < 3) p.writeMask |= uint64_t{1} << j;
    }
    return p;
}

template <int Lanes, int PixelLanes>
constexpr auto kPlacements = [] {
    std::array<Placement<Lanes, PixelLanes>, PixelLanes> t{};
    for (int k = 0; k < PixelLanes; ++k) t[k] = MakePlacement<Lanes, PixelLanes>(k);
    return t;
}();

// How far ahead of the stores the output is prefetched (measured on Zen 4).
constexpr int kPrefetchBytes = 1024;

VIDLYN_AVX512_INLINE __m512i Load512(const uint8_t* p) { return _mm512_loadu_si512(p); }

// 16-bit lanes of a Lanes-byte index table (indices below 64).
VIDLYN_AVX512_INLINE __m512i WordIndex(const uint8_t* t) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t)));
}

// 64 pixels of 8-bit channels (bytes in pixel order) to DstBpp vectors.
template <int DstBpp>
VIDLYN_AVX512_INLINE void Store64(uint8_t* d, __m512i b, __m512i g, __m512i r) {
    for (int k = 0; k < DstBpp; ++k) {
        const auto& p = kPlacements<64, DstBpp>[k];
        __m512i out = _mm512_permutex2var_epi8(b, Load512(p.firstTwo), g);
        out = _mm512_mask_permutexvar_epi8(out, p.thirdMask, Load512(p.third), r);
        if constexpr (DstBpp == 4) {
            _mm512_mask_storeu_epi8(d + 64 * k, p.writeMask, out);
        } else {
            _mm512_storeu_si512(d + 64 * k, out);
        }
    }
}

// 32 pixels of 16-bit channels to DstBpp / 2 vectors.
template <int DstBpp>
VIDLYN_AVX512_INLINE void Store32x16(uint8_t* d, __m512i b, __m512i g, __m512i r) {
    constexpr int kSamples = DstBpp / 2;
    for (int k = 0; k < kSamples; ++k) {
        const auto& p = kPlacements<32, kSamples>[k];
        __m512i out = _mm512_permutex2var_epi16(b, WordIndex(p.firstTwo), g);
        out = _mm512_mask_permutexvar_epi16(out, static_cast<__mmask32>(p.thirdMask), WordIndex(p.third), r);
        if constexpr (DstBpp == 8) {
            _mm512_mask_storeu_epi16(d + 64 * k, static_cast<__mmask32>(p.writeMask), out);
        } else {
            _mm512_storeu_si512(d + 64 * k, out);
        }
    }
}

VIDLYN_AVX512_INLINE __m512i Times3Plus(__m512i a, __m512i b) {
    return _mm512_add_epi16(_mm512_add_epi16(_mm512_slli_epi16(a, 1), a), b);
}

// ---- 8-bit samples, 64 pixels per step (the column-pair scheme of the AVX2 rows) ----

VIDLYN_AVX512_INLINE __m512i EvenColumns(__m512i v) { return _mm512_and_si512(v, _mm512_set1_epi16(0x00FF)); }
VIDLYN_AVX512_INLINE __m512i OddColumns(__m512i v) { return _mm512_srli_epi16(v, 8); }

template <bool OnEven>
VIDLYN_AVX512_INLINE void PairSums(const uint8_t* site, const uint8_t* partner, int x, __m512i& even, __m512i& odd) {
    if constexpr (OnEven) {
        const __m512i left = Times3Plus(EvenColumns(Load512(site + x - 2)), EvenColumns(Load512(partner + x - 2)));
        const __m512i here = Times3Plus(EvenColumns(Load512(site + x)), EvenColumns(Load512(partner + x)));
        const __m512i right = Times3Plus(EvenColumns(Load512(site + x + 2)), EvenColumns(Load512(partner + x + 2)));
        const __m512i three = _mm512_add_epi16(_mm512_slli_epi16(here, 1), here);
        even = _mm512_add_epi16(three, left);
        odd = _mm512_add_epi16(three, right);
    } else {
        const __m512i left = Times3Plus(OddColumns(Load512(site + x - 2)), OddColumns(Load512(partner + x - 2)));
        const __m512i here = Times3Plus(OddColumns(Load512(site + x)), OddColumns(Load512(partner + x)));
        even = Times3Plus(left, here);
        odd = Times3Plus(here, left);
    }
}

VIDLYN_AVX512_INLINE __m512i JoinBytes(__m512i even, __m512i odd) {
    const __m512i max = _mm512_set1_epi16(255);
    return _mm512_or_si512(_mm512_min_epu16(even, max), _mm512_slli_epi16(_mm512_min_epu16(odd, max), 8));
}

// The 64 pixels from an even x on.
template <int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX512_INLINE void Step8(const DemosaicRowJob& j, int x) {
    const auto [above2, above, row, below, blueSite, bluePartner, redSite, redPartner] = BayerRows<BlueTop>(j);
    constexpr bool kBlueOnEven = BlueRight;
    constexpr bool kTopGreenOnEven = BlueTop != BlueRight;
    const __m512i kb = _mm512_set1_epi16(static_cast<short>(j.kb << 5));
    const __m512i kr = _mm512_set1_epi16(static_cast<short>(j.kr << 5));
    __m512i blueEven, blueOdd, redEven, redOdd;
    PairSums<kBlueOnEven>(blueSite, bluePartner, x, blueEven, blueOdd);
    PairSums<!kBlueOnEven>(redSite, redPartner, x, redEven, redOdd);
    const __m512i b = JoinBytes(_mm512_mulhi_epu16(blueEven, kb), _mm512_mulhi_epu16(blueOdd, kb));
    const __m512i r = JoinBytes(_mm512_mulhi_epu16(redEven, kr), _mm512_mulhi_epu16(redOdd, kr));
    const __m512i top = Load512(above + x), bottom = Load512(row + x);
    __m512i greenEven, greenOdd;
    if constexpr (kTopGreenOnEven) {
        greenEven = _mm512_add_epi16(EvenColumns(top), OddColumns(Load512(row + x - 2)));
        greenOdd = _mm512_add_epi16(EvenColumns(top), OddColumns(bottom));
    } else {
        greenEven = _mm512_add_epi16(OddColumns(Load512(above + x - 2)), EvenColumns(bottom));
        greenOdd = _mm512_add_epi16(OddColumns(top), EvenColumns(bottom));
    }
    const __m512i g = JoinBytes(_mm512_srli_epi16(greenEven, 1), _mm512_srli_epi16(greenOdd, 1));
    Store64<DstBpp>(j.dst + x * DstBpp, b, g, r);
}

template <int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX512 int Row8(const DemosaicRowJob& j) {
    const int last = j.width - 3;
    int x = 2;
    if (x + 63 <= last) {
        // The first step, then on from the first even x whose output starts a
        // cache line (a few pixels are computed twice): stores that straddle two
        // lines cost some 3% of a frame that is bound by memory anyway.
        Step8<DstBpp, BlueTop, BlueRight>(j, x);
        int next = x + 2;
        while (next < x + 64 && (reinterpret_cast<uintptr_t>(j.dst + next * DstBpp) & 63) != 0) next += 2;
        x = next;
    }
    for (; x + 63 <= last; x += 64) {
        // The output lines a few steps ahead are claimed for writing early: a
        // frame's output does not fit in the cache and every line is read first.
        const uint8_t* ahead = j.dst + x * DstBpp + kPrefetchBytes;
        for (int k = 0; k < DstBpp; ++k) _mm_prefetch(reinterpret_cast<const char*>(ahead + 64 * k), _MM_HINT_ET0);
        Step8<DstBpp, BlueTop, BlueRight>(j, x);
    }
    return DemosaicRow8Avx2From(j, x);
}

// ---- 16-bit samples, 32 pixels per step ------------------------------------------------

// Even lanes (even x) take `right` when Right, odd lanes the other one.
template <bool Right>
VIDLYN_AVX512_INLINE __m512i Sel(__m512i right, __m512i left) {
    return Right ? _mm512_mask_blend_epi16(0xAAAAAAAAu, right, left)
                 : _mm512_mask_blend_epi16(0xAAAAAAAAu, left, right);
}

VIDLYN_AVX512_INLINE __m512i Load16(const uint8_t* row, int x) { return Load512(row + 2 * x); }

template <bool Right>
VIDLYN_AVX512_INLINE __m512i ColourSum(const uint8_t* site, const uint8_t* partner, int x) {
    const __m512i near = Times3Plus(Sel<Right>(Load16(site, x), Load16(site, x - 1)),
                                    Sel<Right>(Load16(partner, x), Load16(partner, x - 1)));
    const __m512i far = Times3Plus(Sel<Right>(Load16(site, x - 2), Load16(site, x + 1)),
                                   Sel<Right>(Load16(partner, x - 2), Load16(partner, x + 1)));
    return Times3Plus(near, far);
}

// True when every sample of columns x - 2 .. x + 32 of the four rows is at most 4095.
VIDLYN_AVX512_INLINE bool Narrow16(const uint8_t* const* rows, int x) {
    __m512i any = _mm512_setzero_si512();
    for (int i = 0; i < 4; ++i)
        any = _mm512_or_si512(any, _mm512_or_si512(Load16(rows[i], x - 2), Load16(rows[i], x + 1)));
    return _mm512_test_epi16_mask(any, _mm512_set1_epi16(static_cast<short>(0xF000))) == 0;
}

template <int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX512 int Row16(const DemosaicRowJob& j) {
    const auto [above2, above, row, below, blueSite, bluePartner, redSite, redPartner] = BayerRows<BlueTop>(j);
    constexpr bool kGreenTopRight = BlueTop != BlueRight;
    const __m512i kb = _mm512_set1_epi16(static_cast<short>(j.kb << 5));
    const __m512i kr = _mm512_set1_epi16(static_cast<short>(j.kr << 5));
    const __m512i max = _mm512_set1_epi16(1023);
    const int last = j.width - 3;
    int x = 2;
    for (; x + 31 <= last; x += 32) {
        if (!Narrow16(j.rows, x)) break;
        const __m512i b = _mm512_mulhi_epu16(ColourSum<BlueRight>(blueSite, bluePartner, x), kb);
        const __m512i r = _mm512_mulhi_epu16(ColourSum<!BlueRight>(redSite, redPartner, x), kr);
        const __m512i greenTop = Sel<kGreenTopRight>(Load16(above, x), Load16(above, x - 1));
        const __m512i greenBottom = Sel<kGreenTopRight>(Load16(row, x - 1), Load16(row, x));
        const __m512i g = _mm512_srli_epi16(_mm512_add_epi16(greenTop, greenBottom), 1);
        Store32x16<DstBpp>(j.dst + x * DstBpp, _mm512_min_epu16(b, max), _mm512_min_epu16(g, max),
                           _mm512_min_epu16(r, max));
    }
    return DemosaicRow16Avx2From(j, x);
}

template <int DstBpp>
int Row8Of(const DemosaicRowJob& j) {
    if (j.blueTop) return j.blueRight ? Row8<DstBpp, true, true>(j) : Row8<DstBpp, true, false>(j);
    return j.blueRight ? Row8<DstBpp, false, true>(j) : Row8<DstBpp, false, false>(j);
}

template <int DstBpp>
int Row16Of(const DemosaicRowJob& j) {
    if (j.blueTop) return j.blueRight ? Row16<DstBpp, true, true>(j) : Row16<DstBpp, true, false>(j);
    return j.blueRight ? Row16<DstBpp, false, true>(j) : Row16<DstBpp, false, false>(j);
}

}  // namespace

int DemosaicRow8Avx512(const DemosaicRowJob& j) { return j.dstBpp == 4 ? Row8Of<4>(j) : Row8Of<3>(j); }
int DemosaicRow16Avx512(const DemosaicRowJob& j) { return j.dstBpp == 8 ? Row16Of<8>(j) : Row16Of<6>(j); }

}  // namespace pixel
