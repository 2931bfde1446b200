// Gray from colour with 64-byte vectors: byte permutes gather each channel of
// 64 pixels, (59 g + 30 r + 11 b) / 100 in 16-bit lanes as in the AVX2 row.
#include <immintrin.h>

#include <array>

#include "pixel/core/SimdCommon.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

namespace {

// Permute indices of channel c: byte PixelBytes * p + c of the pixels, taken
// modulo 128 from the pair of input vectors that holds it.
template <int PixelBytes>
constexpr auto kGather = [] {
    std::array<std::array<uint8_t, 64>, 3> t{};
    for (int c = 0; c < 3; ++c)
        for (int p = 0; p < 64; ++p) t[c][p] = static_cast<uint8_t>((PixelBytes * p + c) & 127);
    return t;
}();

template <int PixelBytes>
VIDLYN_AVX512_INLINE __m512i Channel(const __m512i* in, int c) {
    const __m512i index = _mm512_loadu_si512(kGather<PixelBytes>[c].data());
    const __m512i first = _mm512_permutex2var_epi8(in[0], index, in[1]);
    // The pixels whose byte lies beyond the first 128 (PixelBytes * p + c >= 128)
    // take it from the third (and fourth) vector.
    const __mmask64 later = ~0ull << ((128 - c + PixelBytes - 1) / PixelBytes);
    if constexpr (PixelBytes == 4) {
        return _mm512_mask_blend_epi8(later, first, _mm512_permutex2var_epi8(in[2], index, in[3]));
    } else {
        return _mm512_mask_permutexvar_epi8(first, later, index, in[2]);
    }
}

// Gray of 16-bit lanes b, g, r.
VIDLYN_AVX512_INLINE __m512i Gray16(__m512i b, __m512i g, __m512i r) {
    const __m512i sum = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_mullo_epi16(g, _mm512_set1_epi16(59)), _mm512_mullo_epi16(r, _mm512_set1_epi16(30))),
        _mm512_mullo_epi16(b, _mm512_set1_epi16(11)));
    return _mm512_srli_epi16(_mm512_mulhi_epu16(sum, _mm512_set1_epi16(5243)), 3);  // / 100 for sums <= 25500
}

template <int PixelBytes>
VIDLYN_AVX512 int GrayRow(uint8_t* dst, const uint8_t* src, int count) {
    const __m512i zero = _mm512_setzero_si512();
    int x = 0;
    for (; x + 64 <= count; x += 64) {
        __m512i in[PixelBytes];
        for (int k = 0; k < PixelBytes; ++k) in[k] = _mm512_loadu_si512(src + PixelBytes * x + 64 * k);
        const __m512i b = Channel<PixelBytes>(in, 0), g = Channel<PixelBytes>(in, 1), r = Channel<PixelBytes>(in, 2);
        // Widened and packed again within each 16-byte lane: the pixel order comes back.
        const __m512i lo =
            Gray16(_mm512_unpacklo_epi8(b, zero), _mm512_unpacklo_epi8(g, zero), _mm512_unpacklo_epi8(r, zero));
        const __m512i hi =
            Gray16(_mm512_unpackhi_epi8(b, zero), _mm512_unpackhi_epi8(g, zero), _mm512_unpackhi_epi8(r, zero));
        _mm512_storeu_si512(dst + x, _mm512_packus_epi16(lo, hi));
    }
    return x;
}

}  // namespace

int GrayFromColorRowAvx512(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, bool) {
    const int done = pixelBytes == 4 ? GrayRow<4>(dst, src, count) : GrayRow<3>(dst, src, count);
    return done + GrayFromColorRowAvx2(dst + done, src + done * pixelBytes, count - done, pixelBytes, false);
}

}  // namespace pixel
