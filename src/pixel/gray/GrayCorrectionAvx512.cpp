// Gray correction by AVX-512 vectors: the even and the odd sites of a mosaic
// row through their own 256-entry byte tables, 64 bytes at a time.
#include <immintrin.h>

#include "pixel/core/SimdCommon.h"
#include "pixel/gray/GrayRows.h"

namespace pixel {

using simd::LoadTable256;
using simd::LookUp256;

VIDLYN_AVX512 int GrayCorrectionRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites) {
    __m512i e[4], o[4];
    LoadTable256(e, sites.table[0]);
    LoadTable256(o, sites.table[1]);
    int i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m512i x = _mm512_loadu_si512(src + i);
        _mm512_storeu_si512(dst + i, _mm512_mask_blend_epi8(0xAAAAAAAAAAAAAAAAull, LookUp256(e, x), LookUp256(o, x)));
    }
    return i;
}

}  // namespace pixel
