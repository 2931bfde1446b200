// The integer hexcone transform, 16 pixels at a time (AVX2): 16-bit lanes for
// the colour arithmetic, 32-bit lanes only for the reciprocal product. The
// chroma entry S[Q] = (32768 + Q (sat + 256) 256) >> 16 is formed as
// Q + ((Q sat + 128) >> 8), one rounding multiply, for saturations -256..256;
// the reciprocal entry R[Q] = 16711680 / Q by a corrected division (a table
// look-up by lane costs twice as much on this kind of processor).
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

template <int PixelBytes>
constexpr auto kSplit = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = simd::DeinterleaveControl(PixelBytes, b, c);
    return t;
}();

template <int PixelBytes>
constexpr auto kJoin = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = simd::InterleaveControl(PixelBytes, 1, b, c);
    return t;
}();

VIDLYN_AVX2_INLINE __m128i Ctl(const std::array<uint8_t, 16>& c) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.data()));
}

VIDLYN_AVX2_INLINE __m256i Select(__m256i mask, __m256i yes, __m256i no) { return _mm256_blendv_epi8(no, yes, mask); }

// R[Q] = 16711680 / Q (0 for Q = 0) for 8 lanes: the single-precision
// quotient is within one of it, and one step on the exact product r Q
// (below 2^24 + 256) corrects it.
VIDLYN_AVX2_INLINE __m256i Reciprocal(__m256i q) {
    const __m256i n = _mm256_set1_epi32(16711680);
    __m256i r = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(16711680.0f), _mm256_cvtepi32_ps(q)));
    const __m256i product = _mm256_mullo_epi32(r, q);
    r = _mm256_add_epi32(r, _mm256_cmpgt_epi32(product, n));  // too large: one less
    r = _mm256_sub_epi32(r, _mm256_cmpgt_epi32(_mm256_sub_epi32(n, product),
                                               _mm256_sub_epi32(q, _mm256_set1_epi32(1))));  // n - rQ >= Q: one more
    return _mm256_andnot_si256(_mm256_cmpeq_epi32(q, _mm256_setzero_si256()), r);
}

// f0 = (R[Q] d' + 32768) >> 16 for 16 lanes (Q <= 255, 0 <= d' <= Q, so the product stays below 2^24).
VIDLYN_AVX2_INLINE __m256i Position(__m256i q, __m256i dPrime) {
    const __m256i qLo = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(q));
    const __m256i qHi = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(q, 1));
    const __m256i dLo = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(dPrime));
    const __m256i dHi = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(dPrime, 1));
    const __m256i half = _mm256_set1_epi32(32768);
    const __m256i lo = _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(Reciprocal(qLo), dLo), half), 16);
    const __m256i hi = _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(Reciprocal(qHi), dHi), half), 16);
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);  // lanes back in order
}

// The transform of 16 pixels given as 16-bit lanes b, g, r (0..255), in place.
VIDLYN_AVX2_INLINE void Hexcone(__m256i& b, __m256i& g, __m256i& r, __m256i saturation, __m256i rotSextant,
                                __m256i rotPosition) {
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i redFirst = _mm256_or_si256(_mm256_cmpgt_epi16(r, g), _mm256_cmpeq_epi16(r, g));  // r >= g
    __m256i base = Select(redFirst, one, _mm256_set1_epi16(3));
    __m256i d = Select(redFirst, _mm256_sub_epi16(g, b), _mm256_sub_epi16(b, r));
    __m256i mx = Select(redFirst, r, g);
    const __m256i candidate = Select(redFirst, g, r);
    const __m256i blueFirst = _mm256_cmpgt_epi16(b, mx);  // mx < b
    base = Select(blueFirst, _mm256_set1_epi16(5), base);
    d = Select(blueFirst, _mm256_sub_epi16(r, g), d);
    mx = Select(blueFirst, b, mx);
    const __m256i mn = _mm256_min_epi16(candidate, b);
    const __m256i q = _mm256_sub_epi16(mx, mn);
    const __m256i l = _mm256_add_epi16(mx, mn);

    const __m256i chroma = _mm256_add_epi16(q, _mm256_mulhrs_epi16(_mm256_slli_epi16(q, 7), saturation));
    const __m256i qMax =
        Select(_mm256_cmpgt_epi16(l, _mm256_set1_epi16(255)), _mm256_sub_epi16(_mm256_set1_epi16(511), l), l);
    const __m256i qNew = _mm256_min_epi16(chroma, qMax);
    const __m256i lo = _mm256_srai_epi16(_mm256_sub_epi16(l, qNew), 1);
    const __m256i span = _mm256_sub_epi16(_mm256_srai_epi16(_mm256_add_epi16(qNew, l), 1), lo);

    const __m256i negative = _mm256_cmpgt_epi16(_mm256_setzero_si256(), d);  // d < 0
    const __m256i dPrime = _mm256_add_epi16(d, _mm256_and_si256(negative, q));
    __m256i sextant = _mm256_add_epi16(_mm256_add_epi16(base, negative), rotSextant);  // negative is -1
    __m256i f = _mm256_add_epi16(Position(q, dPrime), rotPosition);
    const __m256i wrap = _mm256_cmpgt_epi16(f, _mm256_set1_epi16(254));
    f = _mm256_sub_epi16(f, _mm256_and_si256(wrap, _mm256_set1_epi16(255)));
    sextant = _mm256_sub_epi16(sextant, wrap);
    const __m256i six = _mm256_set1_epi16(6);
    sextant = _mm256_sub_epi16(sextant, _mm256_andnot_si256(_mm256_cmpgt_epi16(six, sextant), six));  // mod 6

    const __m256i t = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(span, f), _mm256_set1_epi16(128)), 8);
    const __m256i full = _mm256_add_epi16(lo, span), up = _mm256_add_epi16(lo, t), down = _mm256_sub_epi16(full, t);
    const __m256i s0 = _mm256_cmpeq_epi16(sextant, _mm256_setzero_si256());
    const __m256i s1 = _mm256_cmpeq_epi16(sextant, one);
    const __m256i s2 = _mm256_cmpeq_epi16(sextant, _mm256_set1_epi16(2));
    const __m256i s3 = _mm256_cmpeq_epi16(sextant, _mm256_set1_epi16(3));
    const __m256i s4 = _mm256_cmpeq_epi16(sextant, _mm256_set1_epi16(4));
    // sextant: blue, green, red
    // 0: down, lo, full   1: lo, up, full   2: lo, full, down
    // 3: up, full, lo     4: full, down, lo 5: full, lo, up
    b = Select(s0, down, Select(_mm256_or_si256(s1, s2), lo, Select(s3, up, full)));
    g = Select(s1, up, Select(_mm256_or_si256(s2, s3), full, Select(s4, down, lo)));
    r = Select(_mm256_or_si256(s0, s1), full, Select(s2, down, Select(_mm256_or_si256(s3, s4), lo, up)));
}

template <int PixelBytes>
VIDLYN_AVX2 int Row(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const __m256i sat = _mm256_set1_epi16(static_cast<short>(saturation));
    const __m256i rotSextant = _mm256_set1_epi16(static_cast<short>(rotation / 255));
    const __m256i rotPosition = _mm256_set1_epi16(static_cast<short>(rotation % 255));
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const uint8_t* s = src + PixelBytes * x;
        __m128i in[4];
        for (int k = 0; k < PixelBytes; ++k) in[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k));
        __m256i ch[3];
        for (int c = 0; c < 3; ++c) {
            __m128i v = _mm_shuffle_epi8(in[0], Ctl(kSplit<PixelBytes>[c]));
            for (int k = 1; k < PixelBytes; ++k)
                v = _mm_or_si128(v, _mm_shuffle_epi8(in[k], Ctl(kSplit<PixelBytes>[k * 3 + c])));
            ch[c] = _mm256_cvtepu8_epi16(v);
        }
        Hexcone(ch[0], ch[1], ch[2], sat, rotSextant, rotPosition);
        __m128i out[3];
        for (int c = 0; c < 3; ++c)
            out[c] = _mm_packus_epi16(_mm256_castsi256_si128(ch[c]), _mm256_extracti128_si256(ch[c], 1));
        uint8_t* d = dst + PixelBytes * x;
        for (int k = 0; k < PixelBytes; ++k) {
            __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(out[0], Ctl(kJoin<PixelBytes>[k * 3])),
                                                  _mm_shuffle_epi8(out[1], Ctl(kJoin<PixelBytes>[k * 3 + 1]))),
                                     _mm_shuffle_epi8(out[2], Ctl(kJoin<PixelBytes>[k * 3 + 2])));
            __m128i* o = reinterpret_cast<__m128i*>(d + 16 * k);
            if constexpr (PixelBytes == 4)  // the fourth byte stays as it is
                v = _mm_or_si128(v, _mm_and_si128(_mm_loadu_si128(o), _mm_set1_epi32(static_cast<int>(0xFF000000u))));
            _mm_storeu_si128(o, v);
        }
    }
    return x;
}

// 16-bit channels (48- and 64-bit pixels): samples split per channel, eight
// pixels (one 128-bit half) at a time; the transform works on min(v, 1023) >> 2
// and writes v8 << 2 | v8 >> 6, as the straight kernel does.
constexpr std::array<uint8_t, 16> Deinterleave16Control(int pixelBytes, int block, int channel) {
    std::array<uint8_t, 16> c{};
    for (int j = 0; j < 16; ++j) {
        const int g = pixelBytes * (j / 2) + 2 * channel + (j % 2) - 16 * block;
        c[j] = (g >= 0 && g < 16) ? static_cast<uint8_t>(g) : uint8_t{0x80};
    }
    return c;
}

template <int PixelBytes>
constexpr auto kSplit16 = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = Deinterleave16Control(PixelBytes, b, c);
    return t;
}();

template <int PixelBytes>
constexpr auto kJoin16 = [] {
    std::array<std::array<uint8_t, 16>, 12> t{};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c) t[b * 3 + c] = simd::InterleaveControl(PixelBytes, 2, b, c);
    return t;
}();

// Channel `c` of the eight pixels starting at s.
template <int PixelBytes>
VIDLYN_AVX2_INLINE __m128i Split16(const uint8_t* s, int c) {
    constexpr int kBlocks = PixelBytes / 2;
    __m128i v = _mm_setzero_si128();
    for (int k = 0; k < kBlocks; ++k)
        v = _mm_or_si128(v, _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k)),
                                             Ctl(kSplit16<PixelBytes>[k * 3 + c])));
    return v;
}

template <int PixelBytes>
VIDLYN_AVX2_INLINE void Join16(uint8_t* d, __m128i b, __m128i g, __m128i r) {
    constexpr int kBlocks = PixelBytes / 2;
    for (int k = 0; k < kBlocks; ++k) {
        __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, Ctl(kJoin16<PixelBytes>[k * 3])),
                                              _mm_shuffle_epi8(g, Ctl(kJoin16<PixelBytes>[k * 3 + 1]))),
                                 _mm_shuffle_epi8(r, Ctl(kJoin16<PixelBytes>[k * 3 + 2])));
        __m128i* o = reinterpret_cast<__m128i*>(d + 16 * k);
        if constexpr (PixelBytes == 8)  // the fourth sample stays as it is
            v = _mm_or_si128(
                v, _mm_and_si128(_mm_loadu_si128(o), _mm_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull))));
        _mm_storeu_si128(o, v);
    }
}

template <int PixelBytes>
VIDLYN_AVX2 int Row16(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const __m256i sat = _mm256_set1_epi16(static_cast<short>(saturation));
    const __m256i rotSextant = _mm256_set1_epi16(static_cast<short>(rotation / 255));
    const __m256i rotPosition = _mm256_set1_epi16(static_cast<short>(rotation % 255));
    const __m256i max = _mm256_set1_epi16(1023);
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const uint8_t* s = src + PixelBytes * x;
        __m256i ch[3];
        for (int c = 0; c < 3; ++c) {
            const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(Split16<PixelBytes>(s, c)),
                                                      Split16<PixelBytes>(s + 8 * PixelBytes, c), 1);
            ch[c] = _mm256_srli_epi16(_mm256_min_epu16(v, max), 2);
        }
        Hexcone(ch[0], ch[1], ch[2], sat, rotSextant, rotPosition);
        for (int c = 0; c < 3; ++c) ch[c] = _mm256_or_si256(_mm256_slli_epi16(ch[c], 2), _mm256_srli_epi16(ch[c], 6));
        uint8_t* d = dst + PixelBytes * x;
        Join16<PixelBytes>(d, _mm256_castsi256_si128(ch[0]), _mm256_castsi256_si128(ch[1]),
                           _mm256_castsi256_si128(ch[2]));
        Join16<PixelBytes>(d + 8 * PixelBytes, _mm256_extracti128_si256(ch[0], 1), _mm256_extracti128_si256(ch[1], 1),
                           _mm256_extracti128_si256(ch[2], 1));
    }
    return x;
}

}  // namespace

VIDLYN_AVX2 int HueSaturationRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation,
                                     int rotation) {
    switch (pixelBytes) {
        case 3:
            return Row<3>(dst, src, count, saturation, rotation);
        case 4:
            return Row<4>(dst, src, count, saturation, rotation);
        case 6:
            return Row16<6>(dst, src, count, saturation, rotation);
        case 8:
            return Row16<8>(dst, src, count, saturation, rotation);
        default:
            return 0;
    }
}

}  // namespace pixel
