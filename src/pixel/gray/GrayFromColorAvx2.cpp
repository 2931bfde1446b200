// Gray from colour by vectors (AVX2): 16 pixels split into their channels
// with byte shuffles, (59 g + 30 r + 11 b) / 100 in 16-bit lanes, the
// division as (x * 5243) >> 19, exact for x <= 25500.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

namespace {

// Byte control gathering byte `channel` of 16 pixels of `pixelBytes` bytes
// from input block `block` into bytes 0..15, 0x80 elsewhere.
template <int PixelBytes>
constexpr auto kSplit = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = simd::DeinterleaveControl(PixelBytes, b, c);
    return t;
}();

template <int PixelBytes>
VIDLYN_AVX2 int GrayRow(uint8_t* dst, const uint8_t* src, int count) {
    const __m256i kBlue = _mm256_set1_epi16(11), kGreen = _mm256_set1_epi16(59), kRed = _mm256_set1_epi16(30);
    const __m256i hundredth = _mm256_set1_epi16(5243);  // (x * 5243) >> 19 = x / 100 for x <= 25500
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const uint8_t* s = src + PixelBytes * x;
        __m128i in[PixelBytes];
        for (int k = 0; k < PixelBytes; ++k) in[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k));
        __m256i ch[3];
        for (int c = 0; c < 3; ++c) {
            __m128i v = _mm_shuffle_epi8(
                in[0], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSplit<PixelBytes>[c].data())));
            for (int k = 1; k < PixelBytes; ++k)
                v = _mm_or_si128(v, _mm_shuffle_epi8(in[k], _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                                kSplit<PixelBytes>[k * 3 + c].data()))));
            ch[c] = _mm256_cvtepu8_epi16(v);
        }
        const __m256i sum =
            _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(ch[1], kGreen), _mm256_mullo_epi16(ch[2], kRed)),
                             _mm256_mullo_epi16(ch[0], kBlue));
        const __m256i gray = _mm256_srli_epi16(_mm256_mulhi_epu16(sum, hundredth), 3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                         _mm_packus_epi16(_mm256_castsi256_si128(gray), _mm256_extracti128_si256(gray, 1)));
    }
    return x;
}

}  // namespace

VIDLYN_AVX2 int GrayFromColorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes) {
    return pixelBytes == 4 ? GrayRow<4>(dst, src, count) : GrayRow<3>(dst, src, count);
}

}  // namespace pixel
