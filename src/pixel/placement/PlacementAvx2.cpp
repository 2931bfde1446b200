// Vector rows of the reordering, mirror and widening (AVX2).
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "pixel/core/SimdCommon.h"
#include "pixel/placement/PlacementRows.h"

namespace pixel {

namespace {

inline __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
VIDLYN_AVX2_INLINE __m256i Load256(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
VIDLYN_AVX2_INLINE void Store256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

template <int SampleBytes>
VIDLYN_AVX2_INLINE __m256i Reverse256(__m256i v) {
    const __m256i control = SampleBytes == 1 ? _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                                                15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
                                             : _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,
                                                                14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, control), 0x4E);
}

// The straight tail of a mirror: samples [i, j] of a row reversed in place.
void SwapTail(uint8_t* row, int i, int j, int sampleBytes) {
    for (; i < j; ++i, --j) {
        for (int b = 0; b < sampleBytes; ++b) std::swap(row[i * sampleBytes + b], row[j * sampleBytes + b]);
    }
}
}  // namespace

// Stores of the reordering: past the caches when `Stream` (the address is then aligned).
template <bool Stream>
VIDLYN_AVX2_INLINE void Put256(uint8_t* p, __m256i v) {
    if constexpr (Stream) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
    } else {
        Store256(p, v);
    }
}

// The first bytes of 16 pairs, in order.
template <bool Stream>
VIDLYN_AVX2_INLINE void FirstsInOrder16(uint8_t* out, const uint8_t* pairs, __m128i inOrder) {
    const __m128i a = _mm_shuffle_epi8(Load128(pairs), inOrder), b = _mm_shuffle_epi8(Load128(pairs + 16), inOrder);
    simd::Put128(out, _mm_unpacklo_epi64(a, b), Stream);
}

// The second bytes of 16 pairs, last pair first.
template <bool Stream>
VIDLYN_AVX2_INLINE void SecondsReversed16(uint8_t* out, const uint8_t* pairs, __m128i reversed) {
    const __m128i a = _mm_shuffle_epi8(Load128(pairs), reversed), b = _mm_shuffle_epi8(Load128(pairs + 16), reversed);
    simd::Put128(out, _mm_unpacklo_epi64(b, a), Stream);
}

template <bool Stream>
VIDLYN_AVX2_INLINE void ReorderRowAvx2Impl(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth) {
    // Two passes over the row's pairs (the second reads them from the first
    // level cache), so that both halves are written with rising addresses: a
    // falling stream of stores cost half as much again as the whole copy.
    // First bytes in order, per 16 bytes: eight first bytes, eight second ones.
    const __m256i firsts = _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15, 0, 2, 4, 6, 8, 10, 12,
                                            14, 1, 3, 5, 7, 9, 11, 13, 15);
    // Second bytes reversed, per 16 bytes: the eight second bytes from the last, then the first ones.
    const __m256i seconds = _mm256_setr_epi8(15, 13, 11, 9, 7, 5, 3, 1, 14, 12, 10, 8, 6, 4, 2, 0, 15, 13, 11, 9, 7, 5,
                                             3, 1, 14, 12, 10, 8, 6, 4, 2, 0);
    // Both halves are written with aligned 32-byte stores (one that crossed a
    // cache line cost as much as two); a 16-byte step reaches the boundary.
    const __m128i inOrder = _mm256_castsi256_si128(firsts);
    int k = 0;
    if ((reinterpret_cast<uintptr_t>(left) & 31) == 16 && halfWidth >= 16) {
        FirstsInOrder16<Stream>(left, pairs, inOrder);
        k = 16;
    }
    for (; k + 32 <= halfWidth; k += 32) {
        // Eight pairs' first bytes per quadword Fn: a = F0 . F1 ., b = F2 . F3 .
        const __m256i a = _mm256_shuffle_epi8(Load256(pairs + 2 * k), firsts);
        const __m256i b = _mm256_shuffle_epi8(Load256(pairs + 2 * k + 32), firsts);
        Put256<Stream>(left + k, _mm256_permute4x64_epi64(_mm256_unpacklo_epi64(a, b), 0xD8));  // F0 F2 F1 F3 -> F0..F3
    }
    if (k + 16 <= halfWidth) {
        FirstsInOrder16<Stream>(left + k, pairs + 2 * k, inOrder);
        k += 16;
    }
    for (; k < halfWidth; ++k) left[k] = pairs[2 * k];
    // The right half from its leftmost byte (pair halfWidth - 1) to the row's end (pair 0).
    uint8_t* out = right - (halfWidth - 1);
    const __m128i reversed = _mm256_castsi256_si128(seconds);
    const int head = std::min<int>(halfWidth, static_cast<int>((32 - (reinterpret_cast<uintptr_t>(out) & 31)) & 31));
    int m = 0;
    if (head >= 16) {
        SecondsReversed16<Stream>(out, pairs + 2 * (halfWidth - 16), reversed);
        m = 16;
    }
    for (; m < head; ++m) out[m] = pairs[2 * (halfWidth - 1 - m) + 1];
    for (; m + 32 <= halfWidth; m += 32) {
        const uint8_t* p = pairs + 2 * (halfWidth - 32 - m);  // pairs halfWidth-32-m .. halfWidth-1-m
        // Eight pairs' second bytes, reversed, per quadword Sn: a = S0 . S1 ., b = S2 . S3 .
        const __m256i a = _mm256_shuffle_epi8(Load256(p), seconds);
        const __m256i b = _mm256_shuffle_epi8(Load256(p + 32), seconds);
        Put256<Stream>(out + m, _mm256_permute4x64_epi64(_mm256_unpacklo_epi64(b, a), 0x72));  // S2 S0 S3 S1 -> S3..S0
    }
    if (m + 16 <= halfWidth) {
        SecondsReversed16<Stream>(out + m, pairs + 2 * (halfWidth - 16 - m), reversed);
        m += 16;
    }
    for (; m < halfWidth; ++m) out[m] = pairs[2 * (halfWidth - 1 - m) + 1];
}

VIDLYN_AVX2 void ReorderRowAvx2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth) {
    ReorderRowAvx2Impl<false>(left, right, pairs, halfWidth);
}

VIDLYN_AVX2 void ReorderRowStreamAvx2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth) {
    ReorderRowAvx2Impl<true>(left, right, pairs, halfWidth);
}

// The longest row an in-place mirror copies aside (a 16-bit row of 8192 samples).
constexpr size_t kMirrorAside = 16384;

VIDLYN_AVX2 void MirrorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int sampleBytes) {
    const int perVector = 32 / sampleBytes;
    // In place, a row that fits is first copied aside and then written from its
    // start: exchanging from both ends meant a falling stream of stores, which
    // cost several times the row's copy.
    alignas(32) uint8_t aside[kMirrorAside];
    if (dst == src && static_cast<size_t>(count) * sampleBytes <= sizeof(aside)) {
        std::memcpy(aside, src, static_cast<size_t>(count) * sampleBytes);
        src = aside;
    }
    if (dst == src) {
        int i = 0, j = count - 1;
        for (; j - i + 1 >= 2 * perVector; i += perVector, j -= perVector) {
            uint8_t* a = dst + i * sampleBytes;
            uint8_t* b = dst + (j - perVector + 1) * sampleBytes;
            const __m256i va = Load256(a), vb = Load256(b);
            Store256(a, sampleBytes == 1 ? Reverse256<1>(vb) : Reverse256<2>(vb));
            Store256(b, sampleBytes == 1 ? Reverse256<1>(va) : Reverse256<2>(va));
        }
        SwapTail(dst, i, j, sampleBytes);
        return;
    }
    int i = 0;
    for (; i + perVector <= count; i += perVector) {
        const __m256i v = Load256(src + (count - i - perVector) * sampleBytes);
        Store256(dst + i * sampleBytes, sampleBytes == 1 ? Reverse256<1>(v) : Reverse256<2>(v));
    }
    for (; i < count; ++i) std::memcpy(dst + i * sampleBytes, src + (count - 1 - i) * sampleBytes, sampleBytes);
}

VIDLYN_AVX2 void WidenRowAvx2(uint8_t* dst, const uint8_t* src, int count) {
    if (dst >= src + count || dst + 2 * static_cast<ptrdiff_t>(count) <= src) {
        // Apart: from the row's start, so that the stores rise (a falling stream
        // of stores costs about half as much again).
        int i = 0;
        for (; i + 32 <= count; i += 32) {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
            Store256(dst + 2 * i, _mm256_slli_epi16(_mm256_cvtepu8_epi16(lo), 2));
            Store256(dst + 2 * i + 32, _mm256_slli_epi16(_mm256_cvtepu8_epi16(hi), 2));
        }
        // The compiler leaves the upper halves dirty on this tail call; the
        // plain SSE code after it (and the caller's) would run at half speed.
        _mm256_zeroupper();
        WidenRowSse2(dst + 2 * i, src + i, count - i);
        return;
    }
    // Overlapping (a row widened in place): from the end, each part read before it is written.
    int x = count;
    for (; x >= 32; x -= 32) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x - 32));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x - 16));
        Store256(dst + 2 * (x - 16), _mm256_slli_epi16(_mm256_cvtepu8_epi16(hi), 2));
        Store256(dst + 2 * (x - 32), _mm256_slli_epi16(_mm256_cvtepu8_epi16(lo), 2));
    }
    _mm256_zeroupper();
    WidenRowSse2(dst, src, x);
}

}  // namespace pixel
