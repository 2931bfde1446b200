// Row walking shared by the convert kernels: where row i of a transfer starts
// in the destination and the source, and unaligned-safe 16-bit sample access.
#pragma once
#include <cstddef>
#include <cstring>

#include "pixel/core/PixelTypes.h"
#include "pixel/core/RowStripes.h"

namespace pixel {

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// The 10-bit-to-8 reduction of a 16-bit sample: (v >> 2) & 255.
inline uint8_t Reduce10To8(uint16_t v) { return static_cast<uint8_t>(v >> 2); }

// Calls rowFn(dstRowStart, srcRowStart, pixels) for each row of the transfer:
// destination rows dstRow, dstRow + 1, ...; source rows in memory order, or
// from the last row of the rectangle upwards when Flip is set.
template <bool Flip, typename RowFn>
inline void ForEachRow(uint8_t* dst, const uint8_t* src, const PixRect* rect, int dstCol, int dstRow, uint16_t dstBpp,
                       uint16_t srcBpp, int dstStride, int srcStride, RowFn rowFn) {
    const int rows = rect->bottom - rect->top;
    const int pixels = rect->right - rect->left;
    if (rows <= 0 || pixels <= 0) return;
    uint8_t* d = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    const int firstSrcRow = Flip ? rect->bottom - 1 : rect->top;
    const ptrdiff_t srcStep = Flip ? -static_cast<ptrdiff_t>(srcStride) : srcStride;
    const uint8_t* s =
        src + static_cast<ptrdiff_t>(firstSrcRow) * srcStride + static_cast<ptrdiff_t>(rect->left) * srcBpp;
    for (int i = 0; i < rows; ++i, d += dstStride, s += srcStep) rowFn(d, s, pixels);
}

// Runs a kernel whose rows are independent of each other over bands of its
// rectangle's rows, one call per band on the band helpers: how the straight
// kernels use every core where the processor has no vector rows for them.
inline int KernelInStripes(ConvertKernel kernel, uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol,
                           int dstRow, uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                           intptr_t word2) {
    ForEachStripe(r->bottom - r->top, 64, [&](int first, int end) {
        const PixRect band{r->left, r->top + first, r->right, r->top + end};
        kernel(dst, src, &band, dstCol, dstRow + first, dstBpp, srcBpp, dstStride, srcStride, word1, word2);
    });
    return 1;
}

}  // namespace pixel
