// Byte lookup tables by vectors (AVX2).
//
// A 256-entry byte table is looked up 32 bytes at a time with the 16-entry
// byte shuffle: each of the table's 16 rows is shuffled by the low four bits
// of x (the upper eight rows by x ^ 0x80, as a shuffle index with bit 7 set
// gives 0), and bits 4, 5, 6 and 7 of x pick among the 16 results, 8 + 4 + 2 + 1
// selects. Two vectors share each row's load.
// 16-bit samples (10-bit tables of 1024 entries) are gathered.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

void MakeByteTable(ByteTable& out, const uint16_t* table) {
    for (int i = 0; i < 256; ++i) out.bytes[i] = static_cast<uint8_t>(table[i]);
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

VIDLYN_AVX2_INLINE __m256i Sel(__m256i a, __m256i b, __m256i m) { return _mm256_blendv_epi8(a, b, m); }

// rows[h] = row h of the table (entries 16h .. 16h + 15), both lanes.
VIDLYN_AVX2_INLINE __m256i LookUp(__m256i x, const __m256i* rows) {
    const __m256i y = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
    const __m256i m4 = _mm256_slli_epi16(x, 3), m5 = _mm256_slli_epi16(x, 2), m6 = _mm256_add_epi16(x, x);
    __m256i p[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        const __m256i idx = j < 4 ? x : y;
        p[j] = Sel(_mm256_shuffle_epi8(_mm256_load_si256(rows + 2 * j), idx),
                   _mm256_shuffle_epi8(_mm256_load_si256(rows + 2 * j + 1), idx), m4);
    }
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) p[j] = Sel(p[2 * j], p[2 * j + 1], m5);
    p[0] = Sel(p[0], p[1], m6);
    p[1] = Sel(p[2], p[3], m6);
    return Sel(p[0], p[1], x);
}

VIDLYN_AVX2_INLINE void LookUp2(__m256i x, __m256i z, const __m256i* rows, __m256i& ox, __m256i& oz) {
    const __m256i flip = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i y = _mm256_xor_si256(x, flip), w = _mm256_xor_si256(z, flip);
    const __m256i m4 = _mm256_slli_epi16(x, 3), m5 = _mm256_slli_epi16(x, 2), m6 = _mm256_add_epi16(x, x);
    const __m256i n4 = _mm256_slli_epi16(z, 3), n5 = _mm256_slli_epi16(z, 2), n6 = _mm256_add_epi16(z, z);
    __m256i p[8], q[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        const __m256i a = _mm256_load_si256(rows + 2 * j), b = _mm256_load_si256(rows + 2 * j + 1);
        p[j] = Sel(_mm256_shuffle_epi8(a, j < 4 ? x : y), _mm256_shuffle_epi8(b, j < 4 ? x : y), m4);
        q[j] = Sel(_mm256_shuffle_epi8(a, j < 4 ? z : w), _mm256_shuffle_epi8(b, j < 4 ? z : w), n4);
    }
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        p[j] = Sel(p[2 * j], p[2 * j + 1], m5);
        q[j] = Sel(q[2 * j], q[2 * j + 1], n5);
    }
    p[0] = Sel(p[0], p[1], m6);
    p[1] = Sel(p[2], p[3], m6);
    q[0] = Sel(q[0], q[1], n6);
    q[1] = Sel(q[2], q[3], n6);
    ox = Sel(p[0], p[1], x);
    oz = Sel(q[0], q[1], z);
}

}  // namespace

VIDLYN_AVX2 int ApplyByteTableRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth,
                                      const ByteTable& table) {
    alignas(32) __m256i rows[16];
    for (int k = 0; k < 16; ++k) rows[k] = Broadcast16(table.bytes + 16 * k);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 64 <= bytes; i += 64) {
        // The rows are read from memory at each use: held in registers they
        // would crowd out the work (AVX2 has 16).
        const __m256i* at = rows;
        asm("" : "+r"(at));
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        __m256i v0, v1;
        LookUp2(x0, x1, at, v0, v1);
        __m256i* o = reinterpret_cast<__m256i*>(dst + i);
        if (keepFourth) {
            v0 = _mm256_blendv_epi8(v0, _mm256_loadu_si256(o), fourth);
            v1 = _mm256_blendv_epi8(v1, _mm256_loadu_si256(o + 1), fourth);
        }
        _mm256_storeu_si256(o, v0);
        _mm256_storeu_si256(o + 1, v1);
    }
    for (; i + 32 <= bytes; i += 32) {
        const __m256i* at = rows;
        asm("" : "+r"(at));
        __m256i v = LookUp(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), at);
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
