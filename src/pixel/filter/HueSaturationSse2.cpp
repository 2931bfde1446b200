// The integer hexcone transform by SSE2 vectors, 8 pixels to a register of
// 16-bit lanes. Four-sample pixels are transposed by unpacking; for three-
// sample pixels, without byte shuffles, the channels are split by masks: in three registers of eight interleaved samples each,
// blue lies at words {0, 3, 6}, {1, 4, 7} and {2, 5}, which together fill one
// register (pixels 0, 3, 6, 1, 4, 7, 2, 5 in word order); green and red fill
// theirs the same way, one and two words further on, and a rotation of the
// register lines their pixels up with blue's. Selects are AND, AND-NOT and OR.
#include <emmintrin.h>

#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Words {first, first + 3, first + 6} of eight set.
inline __m128i Every3(int first) {
    alignas(16) int16_t w[8] = {};
    for (int i = first; i < 8; i += 3) w[i] = -1;
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w));
}

struct Masks {
    __m128i m0 = Every3(0), m1 = Every3(1), m2 = Every3(2);
};

// Three registers of interleaved samples (eight pixels) into the channels.
inline void Split(const Masks& k, __m128i x0, __m128i x1, __m128i x2, __m128i& b, __m128i& g, __m128i& r) {
    const auto pick = [](__m128i a, __m128i ma, __m128i c, __m128i mc, __m128i e, __m128i me) {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(a, ma), _mm_and_si128(c, mc)), _mm_and_si128(e, me));
    };
    b = pick(x0, k.m0, x1, k.m1, x2, k.m2);
    g = pick(x0, k.m1, x1, k.m2, x2, k.m0);
    r = pick(x0, k.m2, x1, k.m0, x2, k.m1);
    g = _mm_or_si128(_mm_srli_si128(g, 2), _mm_slli_si128(g, 14));
    r = _mm_or_si128(_mm_srli_si128(r, 4), _mm_slli_si128(r, 12));
}

// The channels back into three registers of interleaved samples.
inline void Join(const Masks& k, __m128i b, __m128i g, __m128i r, __m128i& x0, __m128i& x1, __m128i& x2) {
    g = _mm_or_si128(_mm_slli_si128(g, 2), _mm_srli_si128(g, 14));
    r = _mm_or_si128(_mm_slli_si128(r, 4), _mm_srli_si128(r, 12));
    const auto pick = [](__m128i a, __m128i ma, __m128i c, __m128i mc, __m128i e, __m128i me) {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(a, ma), _mm_and_si128(c, mc)), _mm_and_si128(e, me));
    };
    x0 = pick(b, k.m0, g, k.m1, r, k.m2);
    x1 = pick(b, k.m1, g, k.m2, r, k.m0);
    x2 = pick(b, k.m2, g, k.m0, r, k.m1);
}

struct Settings {
    __m128i saturation;  // (saturation, 128) in each 32-bit lane: one multiply-add gives q sat + 128
    __m128i rotSextant, rotPosition;
};

// f0 = (R[Q] d' + 32768) >> 16 for 4 lanes of Q (at least 1) and d' in 32
// bits, in single precision as on AVX2 (exact for every Q 1..255).
inline __m128i PositionOf(__m128i q, __m128i dPrime) {
    const __m128 quotient = _mm_div_ps(_mm_set1_ps(16711680.0f), _mm_cvtepi32_ps(q));
    const __m128 r = _mm_cvtepi32_ps(_mm_cvttps_epi32(quotient));
    const __m128 sum = _mm_add_ps(_mm_mul_ps(r, _mm_cvtepi32_ps(dPrime)), _mm_set1_ps(32768.0f));
    return _mm_cvttps_epi32(_mm_mul_ps(sum, _mm_set1_ps(1.0f / 65536.0f)));
}

// The transform of 8 pixels given as 16-bit lanes b, g, r (0..255), in place.
inline void Hexcone(const Settings& k, __m128i& b, __m128i& g, __m128i& r) {
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
    __m128i mx = _mm_max_epi16(r, g);
    const __m128i redFirst = _mm_cmpeq_epi16(mx, r);                                // r >= g
    __m128i base = _mm_add_epi16(_mm_set1_epi16(3), _mm_add_epi16(redFirst, redFirst));  // 1 or 3
    __m128i d = Select(redFirst, _mm_sub_epi16(g, b), _mm_sub_epi16(b, r));
    const __m128i blueFirst = _mm_cmpgt_epi16(b, mx);  // mx < b
    base = Select(blueFirst, _mm_set1_epi16(5), base);
    d = Select(blueFirst, _mm_sub_epi16(r, g), d);
    mx = _mm_max_epi16(mx, b);
    const __m128i mn = _mm_min_epi16(_mm_min_epi16(r, g), b);
    const __m128i q = _mm_sub_epi16(mx, mn);
    const __m128i l = _mm_add_epi16(mx, mn);

    // Q + ((Q sat + 128) >> 8), the chroma entry, in 32-bit lanes.
    const __m128i chromaLo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(q, one), k.saturation), 8);
    const __m128i chromaHi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(q, one), k.saturation), 8);
    const __m128i chroma = _mm_add_epi16(q, _mm_packs_epi32(chromaLo, chromaHi));
    const __m128i qMax = _mm_min_epi16(l, _mm_sub_epi16(_mm_set1_epi16(511), l));  // l or 511 - l
    const __m128i qNew = _mm_min_epi16(chroma, qMax);
    const __m128i lo = _mm_srai_epi16(_mm_sub_epi16(l, qNew), 1);
    const __m128i span = _mm_sub_epi16(_mm_srai_epi16(_mm_add_epi16(qNew, l), 1), lo);

    const __m128i negative = _mm_cmpgt_epi16(zero, d);  // d < 0
    const __m128i dPrime = _mm_add_epi16(d, _mm_and_si128(negative, q));
    __m128i sextant = _mm_add_epi16(_mm_add_epi16(base, negative), k.rotSextant);  // negative is -1
    const __m128i q1 = _mm_max_epi16(q, one);  // a gray pixel's f0 is not used
    const __m128i f0 = _mm_packs_epi32(PositionOf(_mm_unpacklo_epi16(q1, zero), _mm_unpacklo_epi16(dPrime, zero)),
                                       PositionOf(_mm_unpackhi_epi16(q1, zero), _mm_unpackhi_epi16(dPrime, zero)));
    __m128i f = _mm_add_epi16(f0, k.rotPosition);
    const __m128i wrap = _mm_cmpgt_epi16(f, _mm_set1_epi16(254));
    f = _mm_sub_epi16(f, _mm_and_si128(wrap, _mm_set1_epi16(255)));
    sextant = _mm_sub_epi16(sextant, wrap);
    const __m128i six = _mm_set1_epi16(6);
    sextant = _mm_sub_epi16(sextant, _mm_andnot_si128(_mm_cmpgt_epi16(six, sextant), six));  // mod 6

    const __m128i t = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(span, f), _mm_set1_epi16(128)), 8);
    const __m128i full = _mm_add_epi16(lo, span), up = _mm_add_epi16(lo, t), down = _mm_sub_epi16(full, t);
    const __m128i s0 = _mm_cmpeq_epi16(sextant, zero);
    const __m128i s1 = _mm_cmpeq_epi16(sextant, one);
    const __m128i s2 = _mm_cmpeq_epi16(sextant, _mm_set1_epi16(2));
    const __m128i s3 = _mm_cmpeq_epi16(sextant, _mm_set1_epi16(3));
    const __m128i s4 = _mm_cmpeq_epi16(sextant, _mm_set1_epi16(4));
    // sextant: blue, green, red
    // 0: down, lo, full   1: lo, up, full   2: lo, full, down
    // 3: up, full, lo     4: full, down, lo 5: full, lo, up
    b = Select(s0, down, Select(_mm_or_si128(s1, s2), lo, Select(s3, up, full)));
    g = Select(s1, up, Select(_mm_or_si128(s2, s3), full, Select(s4, down, lo)));
    r = Select(_mm_or_si128(s0, s1), full, Select(s2, down, Select(_mm_or_si128(s3, s4), lo, up)));
}

Settings MakeSettings(int saturation, int rotation) {
    Settings k;
    k.saturation = _mm_set1_epi32(static_cast<int>((128u << 16) | (static_cast<uint32_t>(saturation) & 0xFFFF)));
    k.rotSextant = _mm_set1_epi16(static_cast<short>(rotation / 255));
    k.rotPosition = _mm_set1_epi16(static_cast<short>(rotation % 255));
    return k;
}

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// 24-bit pixels, 16 a step: the 48 bytes widened to six registers of words,
// pixels 0..7 in the first three and 8..15 in the others.
int Row24(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const Settings k = MakeSettings(saturation, rotation);
    const Masks masks;
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const uint8_t* s = src + 3 * x;
        const __m128i a0 = Load(s), a1 = Load(s + 16), a2 = Load(s + 32);
        __m128i w[6] = {_mm_unpacklo_epi8(a0, zero), _mm_unpackhi_epi8(a0, zero), _mm_unpacklo_epi8(a1, zero),
                        _mm_unpackhi_epi8(a1, zero), _mm_unpacklo_epi8(a2, zero), _mm_unpackhi_epi8(a2, zero)};
#pragma GCC unroll 2
        for (int half = 0; half < 2; ++half) {
            __m128i b, g, r;
            Split(masks, w[3 * half], w[3 * half + 1], w[3 * half + 2], b, g, r);
            Hexcone(k, b, g, r);
            Join(masks, b, g, r, w[3 * half], w[3 * half + 1], w[3 * half + 2]);
        }
        uint8_t* d = dst + 3 * x;
        Store(d, _mm_packus_epi16(w[0], w[1]));
        Store(d + 16, _mm_packus_epi16(w[2], w[3]));
        Store(d + 32, _mm_packus_epi16(w[4], w[5]));
    }
    return x;
}

// 48-bit pixels, 8 a step: min(s, 1023) >> 2 in (as min(s >> 2, 255)),
// v8 << 2 | v8 >> 6 out.
int Row48(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const Settings k = MakeSettings(saturation, rotation);
    const Masks masks;
    const __m128i top = _mm_set1_epi16(255);
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const uint8_t* s = src + 6 * x;
        __m128i w[3];
        for (int i = 0; i < 3; ++i) w[i] = _mm_min_epi16(_mm_srli_epi16(Load(s + 16 * i), 2), top);
        __m128i b, g, r;
        Split(masks, w[0], w[1], w[2], b, g, r);
        Hexcone(k, b, g, r);
        Join(masks, b, g, r, w[0], w[1], w[2]);
        uint8_t* d = dst + 6 * x;
        for (int i = 0; i < 3; ++i) Store(d + 16 * i, _mm_or_si128(_mm_slli_epi16(w[i], 2), _mm_srli_epi16(w[i], 6)));
    }
    return x;
}

// Four-sample pixels (blue, green, red, fourth) in four registers of two
// pixels each, transposed into blue, green, red and fourth of eight pixels,
// and back.
inline void Transpose(__m128i& x0, __m128i& x1, __m128i& x2, __m128i& x3) {
    const __m128i u0 = _mm_unpacklo_epi16(x0, x1), u1 = _mm_unpackhi_epi16(x0, x1);
    const __m128i u2 = _mm_unpacklo_epi16(x2, x3), u3 = _mm_unpackhi_epi16(x2, x3);
    const __m128i v0 = _mm_unpacklo_epi16(u0, u1), v1 = _mm_unpackhi_epi16(u0, u1);  // b0..3 g0..3, r0..3 a0..3
    const __m128i v2 = _mm_unpacklo_epi16(u2, u3), v3 = _mm_unpackhi_epi16(u2, u3);
    x0 = _mm_unpacklo_epi64(v0, v2);
    x1 = _mm_unpackhi_epi64(v0, v2);
    x2 = _mm_unpacklo_epi64(v1, v3);
    x3 = _mm_unpackhi_epi64(v1, v3);
}

inline void TransposeBack(__m128i& x0, __m128i& x1, __m128i& x2, __m128i& x3) {
    const __m128i v0 = _mm_unpacklo_epi64(x0, x1), v2 = _mm_unpackhi_epi64(x0, x1);
    const __m128i v1 = _mm_unpacklo_epi64(x2, x3), v3 = _mm_unpackhi_epi64(x2, x3);
    const __m128i u0 = _mm_unpacklo_epi16(v0, v1), u1 = _mm_unpackhi_epi16(v0, v1);  // b r pairs, g a pairs
    const __m128i u2 = _mm_unpacklo_epi16(v2, v3), u3 = _mm_unpackhi_epi16(v2, v3);
    x0 = _mm_unpacklo_epi16(u0, u1);
    x1 = _mm_unpackhi_epi16(u0, u1);
    x2 = _mm_unpacklo_epi16(u2, u3);
    x3 = _mm_unpackhi_epi16(u2, u3);
}

// 32-bit pixels, 8 a step; the output's fourth bytes stay.
int Row32(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const Settings k = MakeSettings(saturation, rotation);
    const __m128i zero = _mm_setzero_si128(), fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const uint8_t* s = src + 4 * x;
        const __m128i a0 = Load(s), a1 = Load(s + 16);
        __m128i w0 = _mm_unpacklo_epi8(a0, zero), w1 = _mm_unpackhi_epi8(a0, zero);
        __m128i w2 = _mm_unpacklo_epi8(a1, zero), w3 = _mm_unpackhi_epi8(a1, zero);
        Transpose(w0, w1, w2, w3);
        Hexcone(k, w0, w1, w2);
        TransposeBack(w0, w1, w2, w3);
        uint8_t* d = dst + 4 * x;
        Store(d, Select(fourth, Load(d), _mm_packus_epi16(w0, w1)));
        Store(d + 16, Select(fourth, Load(d + 16), _mm_packus_epi16(w2, w3)));
    }
    return x;
}

// 64-bit pixels, 8 a step; the output's fourth samples stay.
int Row64(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const Settings k = MakeSettings(saturation, rotation);
    const __m128i top = _mm_set1_epi16(255);
    const __m128i fourth = _mm_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const uint8_t* s = src + 8 * x;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) w[i] = _mm_min_epi16(_mm_srli_epi16(Load(s + 16 * i), 2), top);
        Transpose(w[0], w[1], w[2], w[3]);
        Hexcone(k, w[0], w[1], w[2]);
        TransposeBack(w[0], w[1], w[2], w[3]);
        uint8_t* d = dst + 8 * x;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_or_si128(_mm_slli_epi16(w[i], 2), _mm_srli_epi16(w[i], 6));
            Store(d + 16 * i, Select(fourth, Load(d + 16 * i), v));
        }
    }
    return x;
}

}  // namespace

int HueSaturationRowSse2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation, int rotation) {
    switch (pixelBytes) {
        case 3:
            return Row24(dst, src, count, saturation, rotation);
        case 4:
            return Row32(dst, src, count, saturation, rotation);
        case 6:
            return Row48(dst, src, count, saturation, rotation);
        case 8:
            return Row64(dst, src, count, saturation, rotation);
        default:
            return 0;
    }
}

}  // namespace pixel
