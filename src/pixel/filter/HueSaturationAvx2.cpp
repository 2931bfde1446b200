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

// f0 = (R[Q] d' + 32768) >> 16 for 8 lanes of Q and d' in 32 bits: the
// quotient 16711680 / Q rounded to single precision truncates to R[Q] for
// every Q in 1..255 (checked for each), and R[Q] d' <= 16711680.
// Q = 0 (a gray pixel, whose f0 is not used) is divided as Q = 1.
VIDLYN_AVX2_INLINE __m256i PositionOf(__m256i q, __m256i dPrime) {
    const __m256i r = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(16711680.0f), _mm256_cvtepi32_ps(q)));
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(r, dPrime), _mm256_set1_epi32(32768)), 16);
}

// f0 for 16 lanes (Q <= 255, 0 <= d' <= Q): both halves of each 128-bit lane
// widened to 32 bits, and packed back in the same order.
VIDLYN_AVX2_INLINE __m256i Position(__m256i q, __m256i dPrime) {
    const __m256i zero = _mm256_setzero_si256();
    q = _mm256_max_epi16(q, _mm256_set1_epi16(1));
    const __m256i lo = PositionOf(_mm256_unpacklo_epi16(q, zero), _mm256_unpacklo_epi16(dPrime, zero));
    const __m256i hi = PositionOf(_mm256_unpackhi_epi16(q, zero), _mm256_unpackhi_epi16(dPrime, zero));
    return _mm256_packus_epi32(lo, hi);
}

// Per sextant 0..11 (mod 6): 0x80 where the changing channel rises (up), and
// for each channel 0x40 where it is that channel (m), 0x80 where it is full.
constexpr std::array<uint8_t, 16> SextantTable(const char* six) {
    std::array<uint8_t, 16> t{};
    for (int s = 0; s < 12; ++s) t[s] = six[s % 6] == 'm' ? 0x40 : six[s % 6] == 'f' || six[s % 6] == 'u' ? 0x80 : 0;
    return t;
}
constexpr auto kOdd = SextantTable("dududu");
constexpr auto kBlue = SextantTable("mllmff"), kGreen = SextantTable("lmffml"), kRed = SextantTable("ffmllm");

VIDLYN_AVX2_INLINE __m256i Table(const std::array<uint8_t, 16>& t) { return _mm256_broadcastsi128_si256(Ctl(t)); }

// One channel's value: lo, full or m, as the channel's table says for the sextant.
VIDLYN_AVX2_INLINE __m256i Pick(const std::array<uint8_t, 16>& table, __m256i index, __m256i lo, __m256i full,
                                __m256i m) {
    const __m256i code = _mm256_shuffle_epi8(Table(table), index);
    return _mm256_blendv_epi8(_mm256_blendv_epi8(lo, full, code), m, _mm256_add_epi16(code, code));
}

// The transform of 16 pixels given as 16-bit lanes b, g, r (0..255), in place.
VIDLYN_AVX2_INLINE void Hexcone(__m256i& b, __m256i& g, __m256i& r, __m256i saturation, __m256i rotSextant,
                                __m256i rotPosition) {
    const __m256i one = _mm256_set1_epi16(1);
    __m256i mx = _mm256_max_epi16(r, g);
    const __m256i redFirst = _mm256_cmpeq_epi16(mx, r);  // r >= g
    __m256i base = Select(redFirst, one, _mm256_set1_epi16(3));
    __m256i d = Select(redFirst, _mm256_sub_epi16(g, b), _mm256_sub_epi16(b, r));
    const __m256i blueFirst = _mm256_cmpgt_epi16(b, mx);  // mx < b
    base = Select(blueFirst, _mm256_set1_epi16(5), base);
    d = Select(blueFirst, _mm256_sub_epi16(r, g), d);
    mx = _mm256_max_epi16(mx, b);
    const __m256i mn = _mm256_min_epi16(_mm256_min_epi16(r, g), b);
    const __m256i q = _mm256_sub_epi16(mx, mn);
    const __m256i l = _mm256_add_epi16(mx, mn);

    const __m256i chroma = _mm256_add_epi16(q, _mm256_mulhrs_epi16(_mm256_slli_epi16(q, 7), saturation));
    const __m256i qMax = _mm256_min_epi16(l, _mm256_sub_epi16(_mm256_set1_epi16(511), l));  // l or 511 - l
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

    const __m256i t = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(span, f), _mm256_set1_epi16(128)), 8);
    const __m256i full = _mm256_add_epi16(lo, span), up = _mm256_add_epi16(lo, t), down = _mm256_sub_epi16(full, t);
    // The sextant (0..11 here, taken mod 6 by the tables) in both bytes of its
    // lane picks, by byte shuffles of small tables: up or down (m), and for
    // each channel m, lo or full.
    //   sextant: blue, green, red
    //   0: down, lo, full   1: lo, up, full   2: lo, full, down
    //   3: up, full, lo     4: full, down, lo 5: full, lo, up
    const __m256i index = _mm256_or_si256(sextant, _mm256_slli_epi16(sextant, 8));
    const __m256i m = _mm256_blendv_epi8(down, up, _mm256_shuffle_epi8(Table(kOdd), index));
    b = Pick(kBlue, index, lo, full, m);
    g = Pick(kGreen, index, lo, full, m);
    r = Pick(kRed, index, lo, full, m);
}

// Two 16-byte blocks side by side: `first` in the low lane, `second` in the high one.
VIDLYN_AVX2_INLINE __m256i LoadPair(const uint8_t* first, const uint8_t* second) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(second)), 1);
}

VIDLYN_AVX2_INLINE void StorePair(uint8_t* first, uint8_t* second, __m256i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(first), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(second), _mm256_extracti128_si256(v, 1));
}

VIDLYN_AVX2_INLINE __m256i Ctl2(const std::array<uint8_t, 16>& c) { return _mm256_broadcastsi128_si256(Ctl(c)); }

// The transform of 32 pixels of Bytes bytes held in Bytes registers (low lanes
// pixels 0..15, high lanes 16..31): each channel split out and widened to two
// registers of 16-bit lanes (pixels 0..7 and 16..23, then 8..15 and 24..31),
// and packed back into one register a channel.
template <int Bytes>
VIDLYN_AVX2_INLINE void TransformChannels(const __m256i* in, __m256i* out, __m256i sat, __m256i rotSextant,
                                          __m256i rotPosition) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i lo[3], hi[3];
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        __m256i v = _mm256_shuffle_epi8(in[0], Ctl2(kSplit<Bytes>[c]));
#pragma GCC unroll 4
        for (int k = 1; k < Bytes; ++k)
            v = _mm256_or_si256(v, _mm256_shuffle_epi8(in[k], Ctl2(kSplit<Bytes>[k * 3 + c])));
        lo[c] = _mm256_unpacklo_epi8(v, zero);
        hi[c] = _mm256_unpackhi_epi8(v, zero);
    }
    Hexcone(lo[0], lo[1], lo[2], sat, rotSextant, rotPosition);
    Hexcone(hi[0], hi[1], hi[2], sat, rotSextant, rotPosition);
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) out[c] = _mm256_packus_epi16(lo[c], hi[c]);
}

// Output block k of Bytes-byte pixels from the three channel registers.
template <int Bytes>
VIDLYN_AVX2_INLINE __m256i JoinBlock(const __m256i* out, int k) {
    return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(out[0], Ctl2(kJoin<Bytes>[k * 3])),
                                           _mm256_shuffle_epi8(out[1], Ctl2(kJoin<Bytes>[k * 3 + 1]))),
                           _mm256_shuffle_epi8(out[2], Ctl2(kJoin<Bytes>[k * 3 + 2])));
}

// 32 pixels a step: the low lanes carry pixels 0..15 and the high lanes 16..31,
// so that one in-lane shuffle per block serves both halves.
template <int PixelBytes>
VIDLYN_AVX2 int Row(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const __m256i sat = _mm256_set1_epi16(static_cast<short>(saturation));
    const __m256i rotSextant = _mm256_set1_epi16(static_cast<short>(rotation / 255));
    const __m256i rotPosition = _mm256_set1_epi16(static_cast<short>(rotation % 255));
    constexpr int kHalf = 16 * PixelBytes;  // bytes of 16 pixels
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const uint8_t* s = src + PixelBytes * x;
        __m256i in[PixelBytes];
#pragma GCC unroll 4
        for (int k = 0; k < PixelBytes; ++k) in[k] = LoadPair(s + 16 * k, s + kHalf + 16 * k);
        __m256i out[3];
        TransformChannels<PixelBytes>(in, out, sat, rotSextant, rotPosition);
        uint8_t* d = dst + PixelBytes * x;
#pragma GCC unroll 4
        for (int k = 0; k < PixelBytes; ++k) {
            __m256i v = JoinBlock<PixelBytes>(out, k);
            if constexpr (PixelBytes == 4)  // the fourth byte stays as it is
                v = _mm256_or_si256(v, _mm256_and_si256(LoadPair(d + 16 * k, d + kHalf + 16 * k),
                                                        _mm256_set1_epi32(static_cast<int>(0xFF000000u))));
            StorePair(d + 16 * k, d + kHalf + 16 * k, v);
        }
    }
    return x;
}

// 16-bit channels (48- and 64-bit pixels), 32 pixels a step: each sample s
// becomes min(s, 1023) >> 2 as a byte (s >> 2, packed with unsigned
// saturation), laid out as the 8-bit row lays out pixels of PixelBytes / 2
// bytes, and after the transform each byte v8 becomes v8 << 2 | v8 >> 6, that
// is (v8 * 257) >> 6: the byte unpacked with itself, shifted.
template <int PixelBytes>
VIDLYN_AVX2 int Row16(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    constexpr int kBytes = PixelBytes / 2;  // the 8-bit pixel size
    const __m256i sat = _mm256_set1_epi16(static_cast<short>(saturation));
    const __m256i rotSextant = _mm256_set1_epi16(static_cast<short>(rotation / 255));
    const __m256i rotPosition = _mm256_set1_epi16(static_cast<short>(rotation % 255));
    constexpr int kHalf = 16 * PixelBytes;  // bytes of 16 pixels
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const uint8_t* s = src + PixelBytes * x;
        __m256i in[kBytes];
#pragma GCC unroll 4
        for (int k = 0; k < kBytes; ++k) {
            const uint8_t* at = s + 32 * k;
            in[k] = _mm256_packus_epi16(_mm256_srli_epi16(LoadPair(at, at + kHalf), 2),
                                        _mm256_srli_epi16(LoadPair(at + 16, at + kHalf + 16), 2));
        }
        __m256i out[3];
        TransformChannels<kBytes>(in, out, sat, rotSextant, rotPosition);
        uint8_t* d = dst + PixelBytes * x;
#pragma GCC unroll 4
        for (int k = 0; k < kBytes; ++k) {
            const __m256i v = JoinBlock<kBytes>(out, k);
            uint8_t* at = d + 32 * k;
            __m256i first = _mm256_srli_epi16(_mm256_unpacklo_epi8(v, v), 6);
            __m256i second = _mm256_srli_epi16(_mm256_unpackhi_epi8(v, v), 6);
            if constexpr (PixelBytes == 8) {  // the fourth sample stays as it is
                first = _mm256_blend_epi16(first, LoadPair(at, at + kHalf), 0x88);
                second = _mm256_blend_epi16(second, LoadPair(at + 16, at + kHalf + 16), 0x88);
            }
            StorePair(at, at + kHalf, first);
            StorePair(at + 16, at + kHalf + 16, second);
        }
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
