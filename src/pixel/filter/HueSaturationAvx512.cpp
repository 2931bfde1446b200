// The integer hexcone transform, 32 pixels at a time (AVX-512 with VBMI), all
// in 16-bit lanes. Pixels are split into channels and joined again by byte and
// word permutes; selects use mask registers. The reciprocal R[Q] = 16711680 / Q
// enters f0 = (R[Q] d' + 32768) >> 16 as R = H 65536 + L with H = 255 / Q and
// L from a 256-word table, so f0 = H d' + ((L d' + 32768) >> 16) takes three
// 16-bit multiplies and no division. The chroma entry is formed as on AVX2.
#include <immintrin.h>

#include <array>

#include "pixel/core/SimdCommon.h"
#include "pixel/filter/FilterRows.h"

namespace pixel {

namespace {

// The low 16 bits of R[Q], and H = R[Q] >> 16 = 255 / Q for Q < 128 (1 above).
alignas(64) constexpr auto kReciprocalLow = [] {
    std::array<uint16_t, 256> t{};
    for (int q = 1; q < 256; ++q) t[q] = static_cast<uint16_t>((16711680 / q) & 0xFFFF);
    return t;
}();
alignas(64) constexpr auto kReciprocalHigh = [] {
    std::array<uint8_t, 128> t{};
    for (int q = 1; q < 128; ++q) t[q] = static_cast<uint8_t>(16711680 / q >> 16);
    return t;
}();

// Permute indices, built from a rule: `lanes` entries of `Lane` computed by `at(i)`.
template <typename Lane, int Lanes, typename At>
constexpr std::array<Lane, Lanes> Indices(At at) {
    std::array<Lane, Lanes> t{};
    for (int i = 0; i < Lanes; ++i) t[i] = static_cast<Lane>(at(i));
    return t;
}

template <typename Array>
VIDLYN_AVX512_INLINE __m512i Load(const Array& a, int offset = 0) {
    return _mm512_loadu_si512(reinterpret_cast<const uint8_t*>(a.data()) + offset);
}

struct Constants {
    __m512i low[8];  // kReciprocalLow, 32 words per register
    __m512i high[2];
    __m512i saturation, rotSextant, rotPosition;
};

VIDLYN_AVX512_INLINE Constants MakeConstants(int saturation, int rotation) {
    Constants k;
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) k.low[i] = Load(kReciprocalLow, 64 * i);
#pragma GCC unroll 8
    for (int i = 0; i < 2; ++i) k.high[i] = Load(kReciprocalHigh, 64 * i);
    k.saturation = _mm512_set1_epi16(static_cast<short>(saturation));
    k.rotSextant = _mm512_set1_epi16(static_cast<short>(rotation / 255));
    k.rotPosition = _mm512_set1_epi16(static_cast<short>(rotation % 255));
    return k;
}

// f0 = (R[Q] d' + 32768) >> 16 for 32 lanes (Q <= 255, 0 <= d' <= Q).
VIDLYN_AVX512_INLINE __m512i Position(const Constants& k, __m512i q, __m512i dPrime) {
    const __mmask32 bit6 = _mm512_test_epi16_mask(q, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(q, _mm512_set1_epi16(128));
    const __m512i low01 = _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(k.low[0], q, k.low[1]),
                                                  _mm512_permutex2var_epi16(k.low[2], q, k.low[3]));
    const __m512i low23 = _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(k.low[4], q, k.low[5]),
                                                  _mm512_permutex2var_epi16(k.low[6], q, k.low[7]));
    const __m512i low = _mm512_mask_blend_epi16(bit7, low01, low23);
    // The even byte of each word holds Q's low byte (bits 0..6 index the table); the odd one is cleared.
    __m512i high = _mm512_maskz_permutex2var_epi8(0x5555555555555555ull, k.high[0], q, k.high[1]);
    high = _mm512_mask_mov_epi16(high, bit7, _mm512_set1_epi16(1));
    const __m512i round = _mm512_srli_epi16(_mm512_mullo_epi16(low, dPrime), 15);
    return _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(high, dPrime), _mm512_mulhi_epu16(low, dPrime)), round);
}

// The transform of 32 pixels given as 16-bit lanes b, g, r (0..255), in place.
VIDLYN_AVX512_INLINE void Hexcone(const Constants& k, __m512i& b, __m512i& g, __m512i& r) {
    const __m512i one = _mm512_set1_epi16(1);
    const __mmask32 redFirst = _mm512_cmpge_epi16_mask(r, g);
    __m512i base = _mm512_mask_blend_epi16(redFirst, _mm512_set1_epi16(3), one);
    __m512i d = _mm512_mask_blend_epi16(redFirst, _mm512_sub_epi16(b, r), _mm512_sub_epi16(g, b));
    __m512i mx = _mm512_max_epi16(r, g);
    const __mmask32 blueFirst = _mm512_cmpgt_epi16_mask(b, mx);
    base = _mm512_mask_mov_epi16(base, blueFirst, _mm512_set1_epi16(5));
    d = _mm512_mask_sub_epi16(d, blueFirst, r, g);
    mx = _mm512_max_epi16(mx, b);
    const __m512i mn = _mm512_min_epi16(_mm512_min_epi16(r, g), b);
    const __m512i q = _mm512_sub_epi16(mx, mn);
    const __m512i l = _mm512_add_epi16(mx, mn);

    const __m512i chroma = _mm512_add_epi16(q, _mm512_mulhrs_epi16(_mm512_slli_epi16(q, 7), k.saturation));
    const __m512i qMax = _mm512_min_epi16(l, _mm512_sub_epi16(_mm512_set1_epi16(511), l));  // l or 511 - l
    const __m512i qNew = _mm512_min_epi16(chroma, qMax);
    const __m512i lo = _mm512_srai_epi16(_mm512_sub_epi16(l, qNew), 1);
    const __m512i span = _mm512_sub_epi16(_mm512_srai_epi16(_mm512_add_epi16(qNew, l), 1), lo);

    const __mmask32 negative = _mm512_cmplt_epi16_mask(d, _mm512_setzero_si512());
    const __m512i dPrime = _mm512_mask_add_epi16(d, negative, d, q);
    __m512i sextant = _mm512_mask_sub_epi16(_mm512_add_epi16(base, k.rotSextant), negative,
                                            _mm512_add_epi16(base, k.rotSextant), one);
    __m512i f = _mm512_add_epi16(Position(k, q, dPrime), k.rotPosition);
    const __mmask32 wrap = _mm512_cmpgt_epi16_mask(f, _mm512_set1_epi16(254));
    f = _mm512_mask_sub_epi16(f, wrap, f, _mm512_set1_epi16(255));
    sextant = _mm512_mask_add_epi16(sextant, wrap, sextant, one);
    const __m512i six = _mm512_set1_epi16(6);
    sextant = _mm512_mask_sub_epi16(sextant, _mm512_cmpge_epi16_mask(sextant, six), sextant, six);  // mod 6

    const __m512i t = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(span, f), _mm512_set1_epi16(128)), 8);
    const __m512i full = _mm512_add_epi16(lo, span), up = _mm512_add_epi16(lo, t), down = _mm512_sub_epi16(full, t);
    const __mmask32 s0 = _mm512_cmpeq_epi16_mask(sextant, _mm512_setzero_si512());
    const __mmask32 s1 = _mm512_cmpeq_epi16_mask(sextant, one);
    const __mmask32 s2 = _mm512_cmpeq_epi16_mask(sextant, _mm512_set1_epi16(2));
    const __mmask32 s3 = _mm512_cmpeq_epi16_mask(sextant, _mm512_set1_epi16(3));
    const __mmask32 s4 = _mm512_cmpeq_epi16_mask(sextant, _mm512_set1_epi16(4));
    // sextant: blue, green, red
    // 0: down, lo, full   1: lo, up, full   2: lo, full, down
    // 3: up, full, lo     4: full, down, lo 5: full, lo, up
    b = _mm512_mask_mov_epi16(_mm512_mask_mov_epi16(_mm512_mask_mov_epi16(full, s3, up), s1 | s2, lo), s0, down);
    g = _mm512_mask_mov_epi16(_mm512_mask_mov_epi16(_mm512_mask_mov_epi16(lo, s4, down), s2 | s3, full), s1, up);
    r = _mm512_mask_mov_epi16(_mm512_mask_mov_epi16(_mm512_mask_mov_epi16(up, s3 | s4, lo), s2, down), s0 | s1, full);
}

// 8-bit channels: byte c of pixel i into word i of channel c, and back.
template <int PixelBytes>
constexpr auto kSplit8 = [] {
    std::array<std::array<uint8_t, 64>, 3> t{};
    for (int c = 0; c < 3; ++c)
        t[c] = Indices<uint8_t, 64>([&](int j) { return (j % 2) ? 0 : PixelBytes * (j / 2) + c; });
    return t;
}();
// Blue and green bytes side by side (32 each), from the two channel registers.
constexpr auto kPackBlueGreen = Indices<uint8_t, 64>([](int j) { return j < 32 ? 2 * j : 64 + 2 * (j - 32); });
// Output byte j of block `block` from the blue-green pair (0..63) and red (64 + 2 i).
template <int PixelBytes>
constexpr auto kJoin8 = [] {
    std::array<std::array<uint8_t, 64>, 2> t{};
    for (int block = 0; block < 2; ++block)
        t[block] = Indices<uint8_t, 64>([&](int j) {
            const int at = 64 * block + j, i = at / PixelBytes, c = at % PixelBytes;
            return c == 0 ? i : c == 1 ? 32 + i : c == 2 ? 64 + 2 * i : 0;
        });
    return t;
}();
constexpr __mmask64 kEvenBytes = 0x5555555555555555ull;
constexpr __mmask64 kNotFourth = 0x7777777777777777ull;

// The low 32 bytes of v, by a plain store: a masked byte store costs several
// times as much. (GCC 12 warns about the cast's undefined upper half.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
VIDLYN_AVX512_INLINE void StoreLow32(uint8_t* d, __m512i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm512_castsi512_si256(v));
}
#pragma GCC diagnostic pop

template <int PixelBytes>
VIDLYN_AVX512 int Row8(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    const Constants k = MakeConstants(saturation, rotation);
    const __m512i split[3] = {Load(kSplit8<PixelBytes>[0]), Load(kSplit8<PixelBytes>[1]), Load(kSplit8<PixelBytes>[2])};
    const __m512i packBlueGreen = Load(kPackBlueGreen);
    const __m512i join[2] = {Load(kJoin8<PixelBytes>[0]), Load(kJoin8<PixelBytes>[1])};
    constexpr __mmask64 kSecondBlock = PixelBytes == 4 ? ~0ull : 0xFFFFFFFFull;  // bytes 64.. of 32 pixels
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const uint8_t* s = src + PixelBytes * x;
        const __m512i in0 = _mm512_loadu_si512(s);
        const __m512i in1 = _mm512_maskz_loadu_epi8(kSecondBlock, s + 64);
        __m512i b = _mm512_maskz_permutex2var_epi8(kEvenBytes, in0, split[0], in1);
        __m512i g = _mm512_maskz_permutex2var_epi8(kEvenBytes, in0, split[1], in1);
        __m512i r = _mm512_maskz_permutex2var_epi8(kEvenBytes, in0, split[2], in1);
        Hexcone(k, b, g, r);
        const __m512i blueGreen = _mm512_permutex2var_epi8(b, packBlueGreen, g);
        __m512i out0 = _mm512_permutex2var_epi8(blueGreen, join[0], r);
        __m512i out1 = _mm512_permutex2var_epi8(blueGreen, join[1], r);
        uint8_t* d = dst + PixelBytes * x;
        if constexpr (PixelBytes == 4) {  // the fourth byte stays as it is
            out0 = _mm512_mask_blend_epi8(kNotFourth, _mm512_loadu_si512(d), out0);
            out1 = _mm512_mask_blend_epi8(kNotFourth, _mm512_loadu_si512(d + 64), out1);
            _mm512_storeu_si512(d, out0);
            _mm512_storeu_si512(d + 64, out1);
        } else {
            _mm512_storeu_si512(d, out0);
            StoreLow32(d + 64, out1);
        }
    }
    return x;
}

// 16-bit channels (48- and 64-bit pixels): word c of pixel i into word i of
// channel c. With six bytes a pixel the 96 words lie in three registers (the
// third one taken by a second, masked permute); with eight, pixels 0..15 lie
// in the first two registers and 16..31 in the last two.
template <int PixelBytes>
constexpr auto kSplit16 = [] {
    std::array<std::array<uint16_t, 32>, 3> t{};
    for (int c = 0; c < 3; ++c) t[c] = Indices<uint16_t, 32>([&](int i) { return (PixelBytes / 2 * i + c) & 63; });
    return t;
}();
// Output word j of register `block`: blue i, green 32 + i, or red i (a second permute, masked).
template <int PixelBytes>
constexpr auto kJoin16 = [] {
    std::array<std::array<uint16_t, 32>, PixelBytes / 2> t{};
    for (int block = 0; block < PixelBytes / 2; ++block)
        t[block] = Indices<uint16_t, 32>([&](int j) {
            const int at = 32 * block + j, i = at / (PixelBytes / 2), c = at % (PixelBytes / 2);
            return c == 1 ? 32 + i : i;
        });
    return t;
}();
// Words of each output register that take red.
template <int PixelBytes>
constexpr auto kRedWords = [] {
    std::array<__mmask32, PixelBytes / 2> t{};
    for (int block = 0; block < PixelBytes / 2; ++block)
        for (int j = 0; j < 32; ++j)
            if ((32 * block + j) % (PixelBytes / 2) == 2) t[block] |= 1u << j;
    return t;
}();

// With six bytes a pixel: the pixels whose channel-c word lies in the third register.
constexpr auto kThirdRegister = [] {
    std::array<__mmask32, 3> t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 32; ++i)
            if (3 * i + c >= 64) t[c] |= 1u << i;
    return t;
}();

template <int PixelBytes>
VIDLYN_AVX512 int Row16(uint8_t* dst, const uint8_t* src, int count, int saturation, int rotation) {
    constexpr int kRegisters = PixelBytes / 2;  // 64-byte registers per 32 pixels
    const Constants k = MakeConstants(saturation, rotation);
    __m512i split[3], join[kRegisters];
#pragma GCC unroll 8
    for (int c = 0; c < 3; ++c) split[c] = Load(kSplit16<PixelBytes>[c]);
#pragma GCC unroll 8
    for (int j = 0; j < kRegisters; ++j) join[j] = Load(kJoin16<PixelBytes>[j]);
    const __m512i max = _mm512_set1_epi16(1023);
    constexpr __mmask32 kNotFourthWord = 0x77777777u;
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const uint8_t* s = src + PixelBytes * x;
        __m512i in[kRegisters];
#pragma GCC unroll 4
        for (int j = 0; j < kRegisters; ++j) in[j] = _mm512_loadu_si512(s + 64 * j);
        __m512i ch[3];
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            __m512i v = _mm512_permutex2var_epi16(in[0], split[c], in[1]);
            if constexpr (PixelBytes == 6) {
                // Words 64..95 (pixels whose word index reaches the third register).
                v = _mm512_mask_permutexvar_epi16(v, kThirdRegister[c], split[c], in[2]);
            } else {
                v = _mm512_mask_blend_epi16(0xFFFF0000u, v, _mm512_permutex2var_epi16(in[2], split[c], in[3]));
            }
            ch[c] = _mm512_srli_epi16(_mm512_min_epu16(v, max), 2);
        }
        Hexcone(k, ch[0], ch[1], ch[2]);
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) ch[c] = _mm512_or_si512(_mm512_slli_epi16(ch[c], 2), _mm512_srli_epi16(ch[c], 6));
        uint8_t* d = dst + PixelBytes * x;
#pragma GCC unroll 4
        for (int j = 0; j < kRegisters; ++j) {
            __m512i v = _mm512_permutex2var_epi16(ch[0], join[j], ch[1]);
            v = _mm512_mask_permutexvar_epi16(v, kRedWords<PixelBytes>[j], join[j], ch[2]);
            if constexpr (PixelBytes == 8)  // the fourth sample stays as it is
                v = _mm512_mask_blend_epi16(kNotFourthWord, _mm512_loadu_si512(d + 64 * j), v);
            _mm512_storeu_si512(d + 64 * j, v);
        }
    }
    return x;
}

}  // namespace

VIDLYN_AVX512 int HueSaturationRowAvx512(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation,
                                         int rotation) {
    switch (pixelBytes) {
        case 3:
            return Row8<3>(dst, src, count, saturation, rotation);
        case 4:
            return Row8<4>(dst, src, count, saturation, rotation);
        case 6:
            return Row16<6>(dst, src, count, saturation, rotation);
        case 8:
            return Row16<8>(dst, src, count, saturation, rotation);
        default:
            return 0;
    }
}

}  // namespace pixel
