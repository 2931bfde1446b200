// Gray from colour by vectors (AVX2), 32 pixels a step: each pixel's bytes
// b, g, r weighted 11, 59, 30 and summed by two multiply-adds (bytes to
// 16-bit pairs, pairs to 32 bits), the sums narrowed to 16 bits and divided
// by 100 as (x * 5243) >> 19, exact for x <= 25500.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

namespace {

// 59 g + 30 r + 11 b of the eight 4-byte pixels b, g, r, x in v: one per 32-bit lane.
VIDLYN_AVX2_INLINE __m256i Sums(__m256i v) {
    const __m256i weights = _mm256_set1_epi32(30 << 16 | 59 << 8 | 11);
    return _mm256_madd_epi16(_mm256_maddubs_epi16(v, weights), _mm256_set1_epi16(1));
}

// Eight pixels at p as 4-byte pixels, four in each 128-bit lane.
template <int PixelBytes>
VIDLYN_AVX2_INLINE __m256i Load8(const uint8_t* p) {
    if constexpr (PixelBytes == 4) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else {
        // Bytes 0..15 and 8..23 of the 24: pixels 0..3 from byte 0 of the
        // first lane, pixels 4..7 from byte 4 of the second; a zero fourth byte.
        const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                                4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
        const __m256i v =
            _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8), reinterpret_cast<const __m128i*>(p));
        return _mm256_shuffle_epi8(v, spread);
    }
}

// Gray of 16 pixels from the sums of pixels 0..7 in a and 8..15 in b: 16-bit
// lanes in the order 0..3, 8..11 | 4..7, 12..15.
VIDLYN_AVX2_INLINE __m256i Gray16(__m256i a, __m256i b) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_packs_epi32(a, b), _mm256_set1_epi16(5243)), 3);
}

// 32 pixels from x on.
template <int PixelBytes, bool Stream>
VIDLYN_AVX2_INLINE void Step(uint8_t* dst, const uint8_t* src, int x) {
    // Packing twice within the lanes leaves the 4-pixel groups in the order 0 2 4 6 | 1 3 5 7.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const uint8_t* s = src + PixelBytes * x;
    __m256i sum[4];
    for (int k = 0; k < 4; ++k) sum[k] = Sums(Load8<PixelBytes>(s + 8 * PixelBytes * k));
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_packus_epi16(Gray16(sum[0], sum[1]), Gray16(sum[2], sum[3])), order);
    if constexpr (Stream) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(dst + x), bytes);
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), bytes);
    }
}

template <int PixelBytes>
VIDLYN_AVX2 int GrayRow(uint8_t* dst, const uint8_t* src, int count, bool stream) {
    int x = 0;
    if (stream && count >= 64) {
        // The first step as it falls, then on from the output's first 32-byte
        // boundary (a few pixels computed twice).
        Step<PixelBytes, false>(dst, src, 0);
        x = static_cast<int>((32 - (reinterpret_cast<uintptr_t>(dst) & 31)) & 31);
        for (; x + 32 <= count; x += 32) Step<PixelBytes, true>(dst, src, x);
        return x;
    }
    for (; x + 32 <= count; x += 32) Step<PixelBytes, false>(dst, src, x);
    return x;
}

}  // namespace

VIDLYN_AVX2 int GrayFromColorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, bool stream) {
    return pixelBytes == 4 ? GrayRow<4>(dst, src, count, stream) : GrayRow<3>(dst, src, count, stream);
}

}  // namespace pixel
