// Byte lookup tables by vectors (AVX2).
//
// A 256-entry byte table is looked up 32 bytes at a time with the 16-entry
// byte shuffle: x - 16k selects entry x & 15 of row k while 0 <= x - 16k < 128
// and gives 0 otherwise (bit 7 set), so XOR-ing the shuffles of the row
// differences T(k) ^ T(k - 1) over k = 0..7 leaves T(x >> 4)[x & 15] for
// x < 128. The upper half does the same with x - 128, and bit 7 of x picks.
// 16-bit samples (10-bit tables of 1024 entries) are gathered.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

void MakeByteTable(ByteTable& out, const uint16_t* table) {
    for (int i = 0; i < 256; ++i) out.bytes[i] = static_cast<uint8_t>(table[i]);
    for (int half = 0; half < 2; ++half)
        for (int k = 0; k < 8; ++k)
            for (int n = 0; n < 16; ++n) {
                const int i = 128 * half + 16 * k + n;
                out.steps[half][k][n] = static_cast<uint8_t>(out.bytes[i] ^ (k ? out.bytes[i - 16] : 0));
            }
}

void MakeWordTable(WordTable& out, const uint16_t* table) {
    for (int v = 0; v < 1024; ++v) {
        out.padded[v] = table[v];
        out.low[v] = static_cast<uint8_t>(table[v]);
        out.high[v] = static_cast<uint8_t>(table[v] >> 8);
    }
    out.padded[1024] = out.padded[1025] = 0;
}

namespace {

VIDLYN_AVX2_INLINE __m256i Broadcast16(const uint8_t* p) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

VIDLYN_AVX2_INLINE __m256i LookUp(__m256i x, const __m256i (&low)[8], const __m256i (&high)[8]) {
    const __m256i sixteen = _mm256_set1_epi8(16);
    __m256i i = x, j = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
    __m256i f = _mm256_shuffle_epi8(low[0], i), g = _mm256_shuffle_epi8(high[0], j);
    for (int k = 1; k < 8; ++k) {
        i = _mm256_sub_epi8(i, sixteen);
        j = _mm256_sub_epi8(j, sixteen);
        f = _mm256_xor_si256(f, _mm256_shuffle_epi8(low[k], i));
        g = _mm256_xor_si256(g, _mm256_shuffle_epi8(high[k], j));
    }
    return _mm256_blendv_epi8(f, g, x);
}

}  // namespace

VIDLYN_AVX2 int ApplyByteTableRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth,
                                      const ByteTable& table) {
    __m256i low[8], high[8];
    for (int k = 0; k < 8; ++k) {
        low[k] = Broadcast16(table.steps[0][k]);
        high[k] = Broadcast16(table.steps[1][k]);
    }
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 32 <= bytes; i += 32) {
        __m256i v = LookUp(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), low, high);
        __m256i* o = reinterpret_cast<__m256i*>(dst + i);
        if (keepFourth) v = _mm256_blendv_epi8(v, _mm256_loadu_si256(o), fourth);
        _mm256_storeu_si256(o, v);
    }
    return i;
}

// 16-bit samples: each 32-bit lane gathers the entries of its even and its odd
// sample (a 4-byte read at the entry, hence the padded table) and keeps the
// low 16 bits of each.
VIDLYN_AVX2 int ApplyWordTableRowAvx2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth,
                                      const WordTable& table) {
    const int* base = reinterpret_cast<const int*>(table.padded);
    const __m256i low = _mm256_set1_epi32(0xFFFF), top = _mm256_set1_epi16(1023);
    int i = 0;
    for (; i + 16 <= samples; i += 16) {
        const __m256i x = _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i)), top);
        const __m256i even = _mm256_i32gather_epi32(base, _mm256_and_si256(x, low), 2);
        const __m256i odd = _mm256_i32gather_epi32(base, _mm256_srli_epi32(x, 16), 2);
        __m256i v = _mm256_or_si256(_mm256_and_si256(even, low), _mm256_slli_epi32(odd, 16));
        __m256i* o = reinterpret_cast<__m256i*>(dst + 2 * i);
        if (keepFourth) v = _mm256_blend_epi16(v, _mm256_loadu_si256(o), 0x88);
        _mm256_storeu_si256(o, v);
    }
    return i;
}

// 8-bit samples through an affine map: u = max(v + offset, 0) in 16-bit
// lanes (the negative offset by a saturating byte subtraction), the high half
// of (u << (16 - shift)) times the multiplier, packed back with unsigned
// saturation (entries above M = 255 become 255).
VIDLYN_AVX2 int ApplyAffineRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth,
                                   const AffineMap& map) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i below = _mm256_set1_epi8(static_cast<char>(map.offset < 0 ? -map.offset : 0));
    const __m256i above = _mm256_set1_epi16(static_cast<short>(map.offset > 0 ? map.offset : 0));
    const __m256i multiplier = _mm256_set1_epi16(static_cast<short>(map.multiplier));
    const __m128i scale = _mm_cvtsi32_si128(16 - map.shift);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i x = _mm256_subs_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), below);
        __m256i lo = _mm256_sll_epi16(_mm256_add_epi16(_mm256_unpacklo_epi8(x, zero), above), scale);
        __m256i hi = _mm256_sll_epi16(_mm256_add_epi16(_mm256_unpackhi_epi8(x, zero), above), scale);
        lo = _mm256_mulhi_epu16(lo, multiplier);
        hi = _mm256_mulhi_epu16(hi, multiplier);
        __m256i v = _mm256_packus_epi16(lo, hi);
        __m256i* o = reinterpret_cast<__m256i*>(dst + i);
        if (keepFourth) v = _mm256_blendv_epi8(v, _mm256_loadu_si256(o), fourth);
        _mm256_storeu_si256(o, v);
    }
    return i;
}

// 16-bit samples through an affine map: u = max(min(s, 1023) + offset, 0),
// the low half of u times the multiplier in 32-bit lanes, shifted, packed with
// unsigned saturation and limited to 1023.
VIDLYN_AVX2 int ApplyAffineWordRowAvx2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth,
                                       const AffineMap& map) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(1023);
    const __m256i below = _mm256_set1_epi16(static_cast<short>(map.offset < 0 ? -map.offset : 0));
    const __m256i above = _mm256_set1_epi16(static_cast<short>(map.offset > 0 ? map.offset : 0));
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(map.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(map.shift);
    int i = 0;
    for (; i + 16 <= samples; i += 16) {
        __m256i x = _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i)), top);
        x = _mm256_add_epi16(_mm256_subs_epu16(x, below), above);
        const __m256i lo = _mm256_srl_epi32(_mm256_mullo_epi32(_mm256_unpacklo_epi16(x, zero), multiplier), shift);
        const __m256i hi = _mm256_srl_epi32(_mm256_mullo_epi32(_mm256_unpackhi_epi16(x, zero), multiplier), shift);
        __m256i v = _mm256_min_epu16(_mm256_packus_epi32(lo, hi), top);
        __m256i* o = reinterpret_cast<__m256i*>(dst + 2 * i);
        if (keepFourth) v = _mm256_blend_epi16(v, _mm256_loadu_si256(o), 0x88);
        _mm256_storeu_si256(o, v);
    }
    return i;
}

}  // namespace pixel
