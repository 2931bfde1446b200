// Vector rows of the reordering, mirror, row exchange and widening (SSE2).
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "pixel/core/SimdCommon.h"
#include "pixel/placement/PlacementRows.h"

namespace pixel {

namespace {

// Bytes 15..0 of v in reverse order.
inline __m128i ReverseBytes(__m128i v) {
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // swap the bytes of each word
    v = _mm_shufflelo_epi16(v, 0x1B);
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}

inline __m128i ReverseWords(__m128i v) {
    v = _mm_shufflelo_epi16(v, 0x1B);
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}

inline __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store128(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The straight tail of a mirror: samples [i, j] of a row reversed in place.
void SwapTail(uint8_t* row, int i, int j, int sampleBytes) {
    for (; i < j; ++i, --j) {
        for (int b = 0; b < sampleBytes; ++b) std::swap(row[i * sampleBytes + b], row[j * sampleBytes + b]);
    }
}
}  // namespace

void ReorderRowSse2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth) {
    const __m128i low = _mm_set1_epi16(0x00FF);
    int k = 0;
    for (; k + 16 <= halfWidth; k += 16) {
        const __m128i a = Load128(pairs + 2 * k), b = Load128(pairs + 2 * k + 16);
        Store128(left + k, _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low)));
        const __m128i odd = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        Store128(right - k - 15, ReverseBytes(odd));
    }
    for (; k < halfWidth; ++k) {
        left[k] = pairs[2 * k];
        *(right - k) = pairs[2 * k + 1];
    }
}

// The longest row an in-place mirror copies aside (a 16-bit row of 8192 samples).
constexpr size_t kMirrorAside = 16384;

void MirrorRowSse2(uint8_t* dst, const uint8_t* src, int count, int sampleBytes) {
    const int perVector = 16 / sampleBytes;
    const auto reverse = [&](__m128i v) { return sampleBytes == 1 ? ReverseBytes(v) : ReverseWords(v); };
    if (dst == src) {
        int i = 0, j = count - 1;  // samples still to exchange: i .. j
        for (; j - i + 1 >= 2 * perVector; i += perVector, j -= perVector) {
            uint8_t* a = dst + i * sampleBytes;
            uint8_t* b = dst + (j - perVector + 1) * sampleBytes;
            const __m128i va = Load128(a), vb = Load128(b);
            Store128(a, reverse(vb));
            Store128(b, reverse(va));
        }
        SwapTail(dst, i, j, sampleBytes);
        return;
    }
    int i = 0;
    for (; i + perVector <= count; i += perVector)
        Store128(dst + i * sampleBytes, reverse(Load128(src + (count - i - perVector) * sampleBytes)));
    for (; i < count; ++i) std::memcpy(dst + i * sampleBytes, src + (count - 1 - i) * sampleBytes, sampleBytes);
}

void SwapRowsSse2(uint8_t* a, uint8_t* b, size_t bytes) {
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i va = Load128(a + i), vb = Load128(b + i);
        Store128(a + i, vb);
        Store128(b + i, va);
    }
    for (; i < bytes; ++i) std::swap(a[i], b[i]);
}

void WidenRowSse2(uint8_t* dst, const uint8_t* src, int count) {
    int x = count;
    const __m128i zero = _mm_setzero_si128();
    for (; x >= 16; x -= 16) {
        const __m128i v = Load128(src + x - 16);  // read before the place is written
        Store128(dst + 2 * (x - 16), _mm_slli_epi16(_mm_unpacklo_epi8(v, zero), 2));
        Store128(dst + 2 * (x - 8), _mm_slli_epi16(_mm_unpackhi_epi8(v, zero), 2));
    }
    for (--x; x >= 0; --x) {
        const uint16_t s = static_cast<uint16_t>(src[x] << 2);
        std::memcpy(dst + 2 * x, &s, 2);
    }
}

}  // namespace pixel
