// Shared helpers of the vector kernels: the attributes that compile one
// function for AVX2 or AVX-512 while the rest of the library stays SSE2, and the byte
// shuffle tables, built from a rule rather than typed in.
#pragma once
#include <immintrin.h>

#include <array>
#include <cstdint>

// A function compiled for AVX2; only ever called after ActiveSimdLevel()
// reported AVX2.
#define VIDLYN_AVX2 __attribute__((target("avx2")))
#define VIDLYN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
// The same for AVX-512 (F, BW, VL, VBMI); only after ActiveSimdLevel() reported Avx512.
#define VIDLYN_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))
#define VIDLYN_AVX512_INLINE __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi"), always_inline)) inline

namespace pixel::simd {

// Outputs of at least this many bytes are written with streaming stores:
// larger than a share of the last-level cache, they would only push out what
// the next kernel reads.
constexpr int64_t kStreamBytes = 8 << 20;

// A 16-byte store; with `stream` past the caches (`p` then 16-byte aligned).
inline void Put128(uint8_t* p, __m128i v, bool stream) {
    if (stream) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
}

// Shuffle control for one 16-byte block `block` of an interleaved output row:
// byte j is taken from byte source(global byte) of channel `channel`, or zeroed
// (0x80) when it belongs to another channel. `pixelBytes` is the size of an
// output pixel, `sampleBytes` of one channel sample; a channel beyond the
// third (the untouched fourth byte or sample) is never taken.
constexpr std::array<uint8_t, 16> InterleaveControl(int pixelBytes, int sampleBytes, int block, int channel) {
    std::array<uint8_t, 16> c{};
    for (int j = 0; j < 16; ++j) {
        const int g = 16 * block + j;
        const int pixel = g / pixelBytes, within = g % pixelBytes;
        const int ch = within / sampleBytes, byte = within % sampleBytes;
        c[j] = (ch == channel) ? static_cast<uint8_t>(pixel * sampleBytes + byte) : uint8_t{0x80};
    }
    return c;
}

// Shuffle control that gathers byte `channel` of 16 pixels of `pixelBytes`
// bytes from input block `block` (16 bytes) into bytes 0..15, 0x80 where the
// byte lies in another block.
constexpr std::array<uint8_t, 16> DeinterleaveControl(int pixelBytes, int block, int channel) {
    std::array<uint8_t, 16> c{};
    for (int j = 0; j < 16; ++j) {
        const int g = pixelBytes * j + channel - 16 * block;
        c[j] = (g >= 0 && g < 16) ? static_cast<uint8_t>(g) : uint8_t{0x80};
    }
    return c;
}

// 64 bytes through a 256-entry byte table held in four AVX-512 registers: the
// two-register byte permute looks up 128 entries by the low seven bits of each
// byte, and bit 7 picks the half.
VIDLYN_AVX512_INLINE __m512i LookUp256(const __m512i (&t)[4], __m512i x) {
    const __m512i lower = _mm512_permutex2var_epi8(t[0], x, t[1]), upper = _mm512_permutex2var_epi8(t[2], x, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lower, upper);
}

VIDLYN_AVX512_INLINE void LoadTable256(__m512i (&t)[4], const uint8_t* table) {
    for (int k = 0; k < 4; ++k) t[k] = _mm512_loadu_si512(table + 64 * k);
}

}  // namespace pixel::simd
