// 16-bit samples to their bytes by AVX2 vectors: shift each sample right by
// two, mask to the low byte, pack with saturation (which interleaves the two
// registers' 16-byte halves, put back in order by one permute).
#include <immintrin.h>

#include "pixel/core/KernelRows.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/output/OutputRows.h"

namespace pixel {

namespace {

// 32 samples (64 bytes) from p to their bytes.
VIDLYN_AVX2_INLINE __m256i Narrow(const uint8_t* p) {
    const __m256i low = _mm256_set1_epi16(0xFF);
    const __m256i a =
        _mm256_and_si256(_mm256_srli_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 2), low);
    const __m256i b =
        _mm256_and_si256(_mm256_srli_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), 2), low);
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
}

VIDLYN_AVX2_INLINE void Put(uint8_t* p, __m256i v, bool stream) {
    if (stream) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
}

}  // namespace

VIDLYN_AVX2 int NarrowSamplesAvx2(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending) {
    // Streaming stores need aligned 32-byte blocks: the row's start up to one goes byte by byte, as does its end.
    int head = 0;
    while (stream && head < samples && (reinterpret_cast<uintptr_t>(dst + head) & 31) != 0) ++head;
    const int end = head + (samples - head) / 32 * 32;
    const auto one = [&](int k) { dst[k] = Reduce10To8(Load16(src + 2 * k)); };
    if (descending) {
        for (int k = samples - 1; k >= end; --k) one(k);
        for (int i = end - 32; i >= head; i -= 32) Put(dst + i, Narrow(src + 2 * i), stream);
        for (int k = head - 1; k >= 0; --k) one(k);
    } else {
        for (int k = 0; k < head; ++k) one(k);
        for (int i = head; i < end; i += 32) Put(dst + i, Narrow(src + 2 * i), stream);
        for (int k = end; k < samples; ++k) one(k);
    }
    return samples;
}

}  // namespace pixel
