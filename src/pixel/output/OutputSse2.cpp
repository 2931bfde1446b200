// 16-bit samples to their bytes by SSE2 vectors: shift each sample right by
// two, mask to the low byte, and pack with saturation.
#include <emmintrin.h>

#include "pixel/output/OutputRows.h"

namespace pixel {

int NarrowSamplesSse2(uint8_t* dst, const uint8_t* src, int samples, bool, bool) {  // stores in the cache, rising
    const __m128i low = _mm_set1_epi16(0xFF);
    const auto reduce = [&](const uint8_t* p) {
        return _mm_and_si128(_mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 2), low);
    };
    int i = 0;
    for (; i + 16 <= samples; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_packus_epi16(reduce(src + 2 * i), reduce(src + 2 * i + 16)));
    return i;
}

}  // namespace pixel
