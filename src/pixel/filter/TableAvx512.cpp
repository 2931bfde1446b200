// Lookup tables by AVX-512 vectors. A 256-entry byte table fills four
// registers: the two-register byte permute looks up 128 entries by the low
// seven bits of each byte, and bit 7 picks the half. The 1024 entries of a
// 16-bit table are two planes of 1024 bytes, eight such permutes each.
// GCC 12's AVX-512 intrinsics start from a deliberately undefined register,
// which its flow analysis then reports as used uninitialized.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

using simd::LoadTable256;
using simd::LookUp256;

VIDLYN_AVX512 int ApplyByteTableRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth,
                                          const ByteTable& table) {
    __m512i t[4];
    LoadTable256(t, table.bytes);
    // Rows start on a pixel, and 64 is a multiple of 4: bytes 3, 7, ... are the fourth ones.
    const __mmask64 write = keepFourth ? 0x7777777777777777ull : ~0ull;
    int i = 0;
    for (; i + 64 <= bytes; i += 64) _mm512_mask_storeu_epi8(dst + i, write, LookUp256(t, _mm512_loadu_si512(src + i)));
    return i;
}

// 8-bit samples through an affine map, 64 at a time, as the AVX2 row does it.
VIDLYN_AVX512 int ApplyAffineRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth,
                                       const AffineMap& map) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i below = _mm512_set1_epi8(static_cast<char>(map.offset < 0 ? -map.offset : 0));
    const __m512i above = _mm512_set1_epi16(static_cast<short>(map.offset > 0 ? map.offset : 0));
    const __m512i multiplier = _mm512_set1_epi16(static_cast<short>(map.multiplier));
    const __m128i scale = _mm_cvtsi32_si128(16 - map.shift);
    const __mmask64 write = keepFourth ? 0x7777777777777777ull : ~0ull;
    int i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m512i x = _mm512_subs_epu8(_mm512_loadu_si512(src + i), below);
        __m512i lo = _mm512_sll_epi16(_mm512_add_epi16(_mm512_unpacklo_epi8(x, zero), above), scale);
        __m512i hi = _mm512_sll_epi16(_mm512_add_epi16(_mm512_unpackhi_epi8(x, zero), above), scale);
        lo = _mm512_mulhi_epu16(lo, multiplier);
        hi = _mm512_mulhi_epu16(hi, multiplier);
        _mm512_mask_storeu_epi8(dst + i, write, _mm512_packus_epi16(lo, hi));
    }
    return i;
}

namespace {

// Index k of the byte permute that takes the low (high) bytes of 64 words held
// in two registers, and index k of the one that interleaves two byte
// registers into words 0..31 (32..63) of their pairs.
constexpr std::array<uint8_t, 64> Bytes(int byte) {
    std::array<uint8_t, 64> c{};
    for (int k = 0; k < 64; ++k) c[k] = static_cast<uint8_t>(2 * k + byte);
    return c;
}
constexpr std::array<uint8_t, 64> Pairs(int half) {
    std::array<uint8_t, 64> c{};
    for (int k = 0; k < 64; ++k) c[k] = static_cast<uint8_t>(32 * half + k / 2 + (k % 2) * 64);
    return c;
}
constexpr std::array<uint8_t, 64> kLowBytes = Bytes(0), kHighBytes = Bytes(1), kFirstPairs = Pairs(0),
                                  kSecondPairs = Pairs(1);

VIDLYN_AVX512_INLINE __m512i Load(const std::array<uint8_t, 64>& c) { return _mm512_loadu_si512(c.data()); }

// One byte plane of the 1024-entry table (16 registers) at 64 indices: eight
// permutes of 128 entries by bits 0..6, then bits 7, 8 and 9 pick.
VIDLYN_AVX512_INLINE __m512i LookUp1024(const __m512i (&plane)[16], __m512i index, __mmask64 bit7, __mmask64 bit8,
                                        __mmask64 bit9) {
    __m512i p[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) p[k] = _mm512_permutex2var_epi8(plane[2 * k], index, plane[2 * k + 1]);
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) p[k] = _mm512_mask_blend_epi8(bit7, p[2 * k], p[2 * k + 1]);
#pragma GCC unroll 2
    for (int k = 0; k < 2; ++k) p[k] = _mm512_mask_blend_epi8(bit8, p[2 * k], p[2 * k + 1]);
    return _mm512_mask_blend_epi8(bit9, p[0], p[1]);
}

}  // namespace

// 16-bit samples, 64 at a time: the table as a plane of low and one of high
// bytes, each looked up by the sample's low byte and its bits 8 and 9.
VIDLYN_AVX512 int ApplyWordTableRowAvx512(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth,
                                          const WordTable& table) {
    __m512i low[16], high[16];
    for (int k = 0; k < 16; ++k) {
        low[k] = _mm512_loadu_si512(table.low + 64 * k);
        high[k] = _mm512_loadu_si512(table.high + 64 * k);
    }
    const __m512i top = _mm512_set1_epi16(1023), one = _mm512_set1_epi8(1), two = _mm512_set1_epi8(2);
    const __m512i lowBytes = Load(kLowBytes), highBytes = Load(kHighBytes);
    const __m512i firstPairs = Load(kFirstPairs), secondPairs = Load(kSecondPairs);
    const __mmask32 write = keepFourth ? 0x77777777u : ~0u;  // 64 is a multiple of 4: samples 3, 7, ... are fourth
    int i = 0;
    for (; i + 64 <= samples; i += 64) {
        const __m512i a = _mm512_min_epu16(_mm512_loadu_si512(src + 2 * i), top);
        const __m512i b = _mm512_min_epu16(_mm512_loadu_si512(src + 2 * i + 64), top);
        const __m512i index = _mm512_permutex2var_epi8(a, lowBytes, b);
        const __m512i upper = _mm512_permutex2var_epi8(a, highBytes, b);
        const __mmask64 bit7 = _mm512_movepi8_mask(index), bit8 = _mm512_test_epi8_mask(upper, one),
                        bit9 = _mm512_test_epi8_mask(upper, two);
        const __m512i l = LookUp1024(low, index, bit7, bit8, bit9), h = LookUp1024(high, index, bit7, bit8, bit9);
        _mm512_mask_storeu_epi16(dst + 2 * i, write, _mm512_permutex2var_epi8(l, firstPairs, h));
        _mm512_mask_storeu_epi16(dst + 2 * i + 64, write, _mm512_permutex2var_epi8(l, secondPairs, h));
    }
    return i;
}

}  // namespace pixel
