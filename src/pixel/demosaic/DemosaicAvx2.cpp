// Interior Bayer interpolation, 16 pixels at a time in 16-bit lanes (AVX2).
// The 9-3-3-1 weights are separable: each colour sum is 3 x (3 a + b) + (3 c + d)
// over the block's site and its partners one column and one row across the
// pixel's corner. Even and odd columns differ only in which of two columns a
// colour sits in, so each lane picks its column with a fixed blend.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/demosaic/DemosaicRows.h"

namespace pixel {

namespace {

using simd::InterleaveControl;

// Shuffle controls per output block and channel (blocks x 3 channels).
template <int PixelBytes, int SampleBytes>
constexpr auto kControls = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = InterleaveControl(PixelBytes, SampleBytes, b, c);
    return t;
}();

template <int PixelBytes, int SampleBytes>
VIDLYN_AVX2_INLINE __m128i Control(int block, int channel) {
    return _mm_loadu_si128(
        reinterpret_cast<const __m128i*>(kControls<PixelBytes, SampleBytes>[block * 3 + channel].data()));
}

// Even lanes (even x) take `right` when Right, odd lanes the other one.
template <bool Right>
VIDLYN_AVX2_INLINE __m256i Sel(__m256i right, __m256i left) {
    if constexpr (Right) {
        return _mm256_blend_epi16(right, left, 0xAA);
    } else {
        return _mm256_blend_epi16(left, right, 0xAA);
    }
}

// 16 samples from column x on, as 16-bit lanes.
template <int InBytes>
VIDLYN_AVX2_INLINE __m256i Load(const uint8_t* row, int x) {
    if constexpr (InBytes == 1) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)));
    } else {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * x));
    }
}

VIDLYN_AVX2_INLINE __m256i Times3Plus(__m256i a, __m256i b) {
    return _mm256_add_epi16(_mm256_add_epi16(_mm256_slli_epi16(a, 1), a), b);
}

// The 9-3-3-1 sum of a colour whose sites lie in row `site` (the block's row)
// and `partner` (two rows away, across the corner). Right: for even x the
// block's site is in column x (partner column x - 2), else in x - 1 (x + 1).
template <int InBytes, bool Right>
VIDLYN_AVX2_INLINE __m256i ColourSum(const uint8_t* site, const uint8_t* partner, int x) {
    const __m256i near = Times3Plus(Sel<Right>(Load<InBytes>(site, x), Load<InBytes>(site, x - 1)),
                                    Sel<Right>(Load<InBytes>(partner, x), Load<InBytes>(partner, x - 1)));
    const __m256i far = Times3Plus(Sel<Right>(Load<InBytes>(site, x - 2), Load<InBytes>(site, x + 1)),
                                   Sel<Right>(Load<InBytes>(partner, x - 2), Load<InBytes>(partner, x + 1)));
    return Times3Plus(near, far);
}

// min(v, 1023) on unsigned 16-bit lanes.
VIDLYN_AVX2_INLINE __m256i Clip10(__m256i v) {
    return _mm256_sub_epi16(v, _mm256_subs_epu16(v, _mm256_set1_epi16(1023)));
}

// Writes 16 pixels of 8-bit channels (values already <= 4095; bytes saturate at 255).
template <int DstBpp>
VIDLYN_AVX2_INLINE void Store8(uint8_t* d, __m256i b, __m256i g, __m256i r) {
    const __m128i ch[3] = {_mm_packus_epi16(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1)),
                           _mm_packus_epi16(_mm256_castsi256_si128(g), _mm256_extracti128_si256(g, 1)),
                           _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1))};
    constexpr int kBlocks = DstBpp;  // 48 or 64 bytes
    for (int k = 0; k < kBlocks; ++k) {
        __m128i out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(ch[0], Control<DstBpp, 1>(k, 0)),
                                                _mm_shuffle_epi8(ch[1], Control<DstBpp, 1>(k, 1))),
                                   _mm_shuffle_epi8(ch[2], Control<DstBpp, 1>(k, 2)));
        __m128i* p = reinterpret_cast<__m128i*>(d + 16 * k);
        if constexpr (DstBpp == 4) {  // the fourth byte stays as it is
            out = _mm_or_si128(out, _mm_and_si128(_mm_loadu_si128(p), _mm_set1_epi32(static_cast<int>(0xFF000000u))));
        }
        _mm_storeu_si128(p, out);
    }
}

// Writes 16 pixels of 16-bit channels (values <= 1023), 8 pixels per half.
template <int DstBpp>
VIDLYN_AVX2_INLINE void Store16(uint8_t* d, __m256i b, __m256i g, __m256i r) {
    constexpr int kBlocks = DstBpp / 2;  // per 8 pixels: 48 or 64 bytes
    for (int half = 0; half < 2; ++half) {
        const __m128i ch[3] = {half ? _mm256_extracti128_si256(b, 1) : _mm256_castsi256_si128(b),
                               half ? _mm256_extracti128_si256(g, 1) : _mm256_castsi256_si128(g),
                               half ? _mm256_extracti128_si256(r, 1) : _mm256_castsi256_si128(r)};
        for (int k = 0; k < kBlocks; ++k) {
            __m128i out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(ch[0], Control<DstBpp, 2>(k, 0)),
                                                    _mm_shuffle_epi8(ch[1], Control<DstBpp, 2>(k, 1))),
                                       _mm_shuffle_epi8(ch[2], Control<DstBpp, 2>(k, 2)));
            __m128i* p = reinterpret_cast<__m128i*>(d + 8 * DstBpp * half + 16 * k);
            if constexpr (DstBpp == 8) {  // the fourth sample stays as it is
                out = _mm_or_si128(out, _mm_and_si128(_mm_loadu_si128(p),
                                                      _mm_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull))));
            }
            _mm_storeu_si128(p, out);
        }
    }
}

// True when every sample of columns x - 2 .. x + 16 of the four rows is at most 4095.
VIDLYN_AVX2_INLINE bool Narrow16(const uint8_t* const* rows, int x) {
    __m256i any = _mm256_setzero_si256();
    for (int i = 0; i < 4; ++i)
        any = _mm256_or_si256(any, _mm256_or_si256(Load<2>(rows[i], x - 2), Load<2>(rows[i], x + 1)));
    return _mm256_testz_si256(any, _mm256_set1_epi16(static_cast<short>(0xF000)));
}

// ---- 8-bit samples, 32 pixels per step ---------------------------------------------
//
// A 32-byte load of a row at an even x holds 16 column pairs: as 16-bit lanes,
// the low bytes are the even columns x + 2k and the high bytes the odd columns
// x + 2k + 1, already widened. The loads at x - 2 and x + 2 give the same
// lanes one pair to the left and to the right. Even and odd output pixels are
// computed in separate lanes and joined byte by byte at the end.

VIDLYN_AVX2_INLINE __m256i Row8(const uint8_t* row, int x) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
}
VIDLYN_AVX2_INLINE __m256i EvenColumns(__m256i v) { return _mm256_and_si256(v, _mm256_set1_epi16(0x00FF)); }
VIDLYN_AVX2_INLINE __m256i OddColumns(__m256i v) { return _mm256_srli_epi16(v, 8); }
VIDLYN_AVX2_INLINE __m256i Times3(__m256i a) { return _mm256_add_epi16(_mm256_slli_epi16(a, 1), a); }

// One colour's sums for the even output pixels (first) and the odd ones
// (second), from its site row and partner row. OnEven: the colour's sites are
// on even columns.
// 3 x site + partner on the even (Odd: odd) columns of the 32 bytes from x,
// as 16-bit lanes: each lane's site byte and partner byte put side by side and
// weighted by one multiply-add of bytes.
template <bool Odd>
VIDLYN_AVX2_INLINE __m256i Vertical(const uint8_t* site, const uint8_t* partner, int x) {
    const __m256i s = Row8(site, x), p = Row8(partner, x);
    const __m256i highBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i pair = Odd ? _mm256_blendv_epi8(_mm256_srli_epi16(s, 8), p, highBytes)
                             : _mm256_blendv_epi8(s, _mm256_slli_epi16(p, 8), highBytes);
    return _mm256_maddubs_epi16(pair, _mm256_set1_epi16(0x0103));
}

template <bool OnEven>
VIDLYN_AVX2_INLINE void PairSums(const uint8_t* site, const uint8_t* partner, int x, __m256i& even, __m256i& odd) {
    if constexpr (OnEven) {
        // Z(k) = 3 P(x + 2k, site) + P(x + 2k, partner); even pixel: 3 Z(k) + Z(k - 1), odd: 3 Z(k) + Z(k + 1).
        const __m256i left = Vertical<false>(site, partner, x - 2);
        const __m256i here = Vertical<false>(site, partner, x);
        const __m256i right = Vertical<false>(site, partner, x + 2);
        const __m256i three = Times3(here);
        even = _mm256_add_epi16(three, left);
        odd = _mm256_add_epi16(three, right);
    } else {
        // W(k) at column x + 2k + 1; even pixel: 3 W(k - 1) + W(k), odd: 3 W(k) + W(k - 1).
        const __m256i left = Vertical<true>(site, partner, x - 2);
        const __m256i here = Vertical<true>(site, partner, x);
        even = Times3Plus(left, here);
        odd = Times3Plus(here, left);
    }
}

// Even and odd results (16-bit lanes, saturating at 255) as 32 bytes in pixel order.
VIDLYN_AVX2_INLINE __m256i JoinBytes(__m256i even, __m256i odd) {
    const __m256i max = _mm256_set1_epi16(255);
    return _mm256_or_si256(_mm256_min_epu16(even, max), _mm256_slli_epi16(_mm256_min_epu16(odd, max), 8));
}

// A 32-byte store; with `stream` past the caches (`p` then 32-byte aligned).
VIDLYN_AVX2_INLINE void Put256(uint8_t* p, __m256i v, bool stream) {
    if (stream) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
}

// 32 pixels of 3 bytes from three channel vectors of 32 bytes each, with
// Stream past the caches (d then 32-byte aligned); the same 96 bytes also at
// c when Copy (1: as d is written, 2: streamed). Each channel is shuffled once
// so that every 16-byte block of a lane's 48 interleaved bytes takes each byte
// from the same place in one of the three; two blends per block pick them,
// and the lanes' blocks are put in order.
template <bool Stream, int Copy = 0>
VIDLYN_AVX2_INLINE void Store32x3(uint8_t* d, uint8_t* c, __m256i b, __m256i g, __m256i r) {
    const __m256i shB = _mm256_setr_epi8(0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15, 10, 5,  //
                                         0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15, 10, 5);
    const __m256i shG = _mm256_setr_epi8(5, 0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15, 10,  //
                                         5, 0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15, 10);
    const __m256i shR = _mm256_setr_epi8(10, 5, 0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15,  //
                                         10, 5, 0, 11, 6, 1, 12, 7, 2, 13, 8, 3, 14, 9, 4, 15);
    const __m256i m0 = _mm256_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0,  //
                                        0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0);
    const __m256i m1 = _mm256_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0,  //
                                        0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
    const __m256i b0 = _mm256_shuffle_epi8(b, shB), g0 = _mm256_shuffle_epi8(g, shG), r0 = _mm256_shuffle_epi8(r, shR);
    // Blocks 0, 1, 2 of each lane's 48 bytes.
    const __m256i p0 = _mm256_blendv_epi8(_mm256_blendv_epi8(b0, g0, m0), r0, m1);
    const __m256i p1 = _mm256_blendv_epi8(_mm256_blendv_epi8(g0, r0, m0), b0, m1);
    const __m256i p2 = _mm256_blendv_epi8(_mm256_blendv_epi8(r0, b0, m0), g0, m1);
    const __m256i out[3] = {_mm256_permute2x128_si256(p0, p1, 0x20), _mm256_permute2x128_si256(p2, p0, 0x30),
                            _mm256_permute2x128_si256(p1, p2, 0x31)};
    for (int k = 0; k < 3; ++k) {
        Put256(d + 32 * k, out[k], Stream);
        if constexpr (Copy != 0) Put256(c + 32 * k, out[k], Copy == 2);
    }
}

// 32 pixels of 4 bytes, their fourth byte kept: the channels interleaved by
// unpacking (the dword permute puts pixels 0-3 and 4-7 into the two lanes of
// the first output vector, and so on), the fourth byte blended in from the output.
// How far ahead of the 32-bit stores their output is fetched (1024 and 4096
// bytes measured slower and about the same on Zen 4 at AVX2).
constexpr int kOutputAhead = 2048;
constexpr int kSourceAhead = 1024;

VIDLYN_AVX2_INLINE void Store32x4(uint8_t* d, __m256i b, __m256i g, __m256i r) {
    const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    b = _mm256_permutevar8x32_epi32(b, order);
    g = _mm256_permutevar8x32_epi32(g, order);
    r = _mm256_permutevar8x32_epi32(r, order);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bgLo = _mm256_unpacklo_epi8(b, g), bgHi = _mm256_unpackhi_epi8(b, g);
    const __m256i rLo = _mm256_unpacklo_epi8(r, zero), rHi = _mm256_unpackhi_epi8(r, zero);
    const __m256i out[4] = {_mm256_unpacklo_epi16(bgLo, rLo), _mm256_unpackhi_epi16(bgLo, rLo),
                            _mm256_unpacklo_epi16(bgHi, rHi), _mm256_unpackhi_epi16(bgHi, rHi)};
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // The output is read for its fourth bytes: fetched well ahead.
    _mm_prefetch(reinterpret_cast<const char*>(d + kOutputAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(d + kOutputAhead + 64), _MM_HINT_T0);
    for (int k = 0; k < 4; ++k) {
        __m256i* p = reinterpret_cast<__m256i*>(d + 32 * k);
        _mm256_storeu_si256(p, _mm256_blendv_epi8(out[k], _mm256_loadu_si256(p), fourth));
    }
}

template <int DstBpp, bool Stream, int Copy>
VIDLYN_AVX2_INLINE void Store32(uint8_t* d, uint8_t* c, __m256i b, __m256i g, __m256i r) {
    if constexpr (DstBpp == 4) {
        Store32x4(d, b, g, r);
    } else {
        Store32x3<Stream, Copy>(d, c, b, g, r);
    }
}

// 32 pixels from an even x on.
template <int DstBpp, bool BlueTop, bool BlueRight, bool Stream, int Copy = 0>
VIDLYN_AVX2_INLINE void Step8(const DemosaicRowJob& j, int x) {
    const auto [above2, above, row, below, blueSite, bluePartner, redSite, redPartner] = BayerRows<BlueTop>(j);
    // The row below is the one the rows before did not read yet.
    _mm_prefetch(reinterpret_cast<const char*>(below + x + kSourceAhead), _MM_HINT_T0);
    // For an even x the block's right column is even: blue there when BlueRight.
    constexpr bool kBlueOnEven = BlueRight;
    // The upper row's green sites are on even columns when blue and red sit on the block's other diagonal.
    constexpr bool kTopGreenOnEven = BlueTop != BlueRight;
    const __m256i kb = _mm256_set1_epi16(static_cast<short>(j.kb << 5));
    const __m256i kr = _mm256_set1_epi16(static_cast<short>(j.kr << 5));
    __m256i blueEven, blueOdd, redEven, redOdd;
    PairSums<kBlueOnEven>(blueSite, bluePartner, x, blueEven, blueOdd);
    PairSums<!kBlueOnEven>(redSite, redPartner, x, redEven, redOdd);
    const __m256i b = JoinBytes(_mm256_mulhi_epu16(blueEven, kb), _mm256_mulhi_epu16(blueOdd, kb));
    const __m256i r = JoinBytes(_mm256_mulhi_epu16(redEven, kr), _mm256_mulhi_epu16(redOdd, kr));
    // Green: the two green sites of the block, one in each row.
    const __m256i top = Row8(above, x), bottom = Row8(row, x);
    __m256i greenEven, greenOdd;
    if constexpr (kTopGreenOnEven) {
        // even pixel: top (x + 2k) + bottom (x + 2k - 1); odd pixel: top (x + 2k) + bottom (x + 2k + 1)
        greenEven = _mm256_add_epi16(EvenColumns(top), OddColumns(Row8(row, x - 2)));
        greenOdd = _mm256_add_epi16(EvenColumns(top), OddColumns(bottom));
    } else {
        greenEven = _mm256_add_epi16(OddColumns(Row8(above, x - 2)), EvenColumns(bottom));
        greenOdd = _mm256_add_epi16(OddColumns(top), EvenColumns(bottom));
    }
    const __m256i g = JoinBytes(_mm256_srli_epi16(greenEven, 1), _mm256_srli_epi16(greenOdd, 1));
    Store32<DstBpp, Stream, Copy>(j.dst + x * DstBpp, Copy != 0 ? j.copy + x * DstBpp : nullptr, b, g, r);
}

// The 24-bit row written also to j.copy, from x on: the first step as it
// falls, then streamed from the first x at which both outputs are aligned
// (the copy cached where its alignment differs from the output's).
template <bool BlueTop, bool BlueRight>
VIDLYN_AVX2 int Row8PairsCopied(const DemosaicRowJob& j, int x) {
    const int last = j.width - 3;
    if (x + 63 > last) {
        for (; x + 31 <= last; x += 32) Step8<3, BlueTop, BlueRight, false, 1>(j, x);
        return x;
    }
    Step8<3, BlueTop, BlueRight, false, 1>(j, x);
    int next = x + 2;
    while (next <= x + 32 && (reinterpret_cast<uintptr_t>(j.dst + next * 3) & 31) != 0) next += 2;
    if (next > x + 32) {
        for (x += 32; x + 31 <= last; x += 32) Step8<3, BlueTop, BlueRight, false, 1>(j, x);
        return x;
    }
    const bool copyAligned = ((reinterpret_cast<uintptr_t>(j.copy) - reinterpret_cast<uintptr_t>(j.dst)) & 31) == 0;
    if (!j.stream) {
        for (x = next; x + 31 <= last; x += 32) Step8<3, BlueTop, BlueRight, false, 1>(j, x);
    } else if (copyAligned) {
        for (x = next; x + 31 <= last; x += 32) Step8<3, BlueTop, BlueRight, true, 2>(j, x);
    } else {
        for (x = next; x + 31 <= last; x += 32) Step8<3, BlueTop, BlueRight, true, 1>(j, x);
    }
    return x;
}

template <int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX2 int Row8Pairs(const DemosaicRowJob& j, int x) {
    if constexpr (DstBpp == 3) {
        if (j.copy != nullptr) return Row8PairsCopied<BlueTop, BlueRight>(j, x);
    }
    const int last = j.width - 3;
    // 32-byte stores.
    constexpr uintptr_t kAlign = 31;
    if (x + 63 <= last) {
        // The first step as it falls, then on from the first even x whose
        // output is aligned to the stores (a few pixels computed twice): stores
        // that straddle two cache lines cost time, and streaming stores need
        // the alignment. An output row at an odd address has no such x.
        Step8<DstBpp, BlueTop, BlueRight, false>(j, x);
        int next = x + 2;
        while (next <= x + 32 && (reinterpret_cast<uintptr_t>(j.dst + next * DstBpp) & kAlign) != 0) next += 2;
        if (next > x + 32) {
            next = x + 32;
        } else if (DstBpp == 3 && j.stream) {
            for (x = next; x + 31 <= last; x += 32) Step8<DstBpp, BlueTop, BlueRight, true>(j, x);
            return x;
        }
        x = next;
    }
    for (; x + 31 <= last; x += 32) Step8<DstBpp, BlueTop, BlueRight, false>(j, x);
    return x;
}

// ---- 16 pixels per step (16-bit samples, and the rest of an 8-bit row) ------------------

template <int InBytes, int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX2 int Row(const DemosaicRowJob& j, int x) {
    const auto [above2, above, row, below, blueSite, bluePartner, redSite, redPartner] = BayerRows<BlueTop>(j);
    constexpr bool kGreenTopRight = BlueTop != BlueRight;
    const __m256i kb = _mm256_set1_epi16(static_cast<short>(j.kb << 5));  // mulhi by k << 5 = (s * k) >> 11
    const __m256i kr = _mm256_set1_epi16(static_cast<short>(j.kr << 5));
    const int last = j.width - 3;
    for (; x + 15 <= last; x += 16) {
        if constexpr (InBytes == 2) {
            if (!Narrow16(j.rows, x)) break;
        }
        __m256i b = _mm256_mulhi_epu16(ColourSum<InBytes, BlueRight>(blueSite, bluePartner, x), kb);
        __m256i r = _mm256_mulhi_epu16(ColourSum<InBytes, !BlueRight>(redSite, redPartner, x), kr);
        const __m256i greenTop = Sel<kGreenTopRight>(Load<InBytes>(above, x), Load<InBytes>(above, x - 1));
        const __m256i greenBottom = Sel<kGreenTopRight>(Load<InBytes>(row, x - 1), Load<InBytes>(row, x));
        __m256i g = _mm256_srli_epi16(_mm256_add_epi16(greenTop, greenBottom), 1);
        if constexpr (InBytes == 1) {
            Store8<DstBpp>(j.dst + x * DstBpp, b, g, r);
        } else {
            Store16<DstBpp>(j.dst + x * DstBpp, Clip10(b), Clip10(g), Clip10(r));
        }
    }
    return x;
}

template <int DstBpp, bool BlueTop, bool BlueRight>
VIDLYN_AVX2 int Row8(const DemosaicRowJob& j, int x) {
    const int done = Row8Pairs<DstBpp, BlueTop, BlueRight>(j, x);
    if (DstBpp == 3 && j.copy != nullptr) return done;  // the rest by the caller, who copies it
    return Row<1, DstBpp, BlueTop, BlueRight>(j, done);
}

template <int DstBpp>
int Row8Of(const DemosaicRowJob& j, int x) {
    if (j.blueTop) return j.blueRight ? Row8<DstBpp, true, true>(j, x) : Row8<DstBpp, true, false>(j, x);
    return j.blueRight ? Row8<DstBpp, false, true>(j, x) : Row8<DstBpp, false, false>(j, x);
}

template <int InBytes, int DstBpp>
int RowOf(const DemosaicRowJob& j, int x) {
    if (j.blueTop)
        return j.blueRight ? Row<InBytes, DstBpp, true, true>(j, x) : Row<InBytes, DstBpp, true, false>(j, x);
    return j.blueRight ? Row<InBytes, DstBpp, false, true>(j, x) : Row<InBytes, DstBpp, false, false>(j, x);
}

}  // namespace

int DemosaicRow8Avx2From(const DemosaicRowJob& j, int x) { return j.dstBpp == 4 ? Row8Of<4>(j, x) : Row8Of<3>(j, x); }
int DemosaicRow16Avx2From(const DemosaicRowJob& j, int x) {
    return j.dstBpp == 8 ? RowOf<2, 8>(j, x) : RowOf<2, 6>(j, x);
}
int DemosaicRow8Avx2(const DemosaicRowJob& j) { return DemosaicRow8Avx2From(j, 2); }
int DemosaicRow16Avx2(const DemosaicRowJob& j) { return DemosaicRow16Avx2From(j, 2); }

}  // namespace pixel
