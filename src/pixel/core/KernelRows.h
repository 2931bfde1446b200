// Row walking shared by the convert kernels: where row i of a transfer starts
// in the destination and the source, the one loop nest of the per-pixel
// kernels, and unaligned-safe 16-bit sample access.
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

// Where a convert kernel's rectangle lies in its two buffers (its arguments).
struct KernelRect {
    uint8_t* dst;
    const uint8_t* src;
    const PixRect* r;
    int dstCol, dstRow;
    uint16_t dstBpp, srcBpp;
    int dstStride, srcStride;
};

// A kernel without a vector row at this level: every unit by its rule.
struct NoVectorRow {
    int operator()(uint8_t*, const uint8_t*, int) const { return 0; }
};

// The one loop nest of the per-pixel kernels. The rectangle's rows run in
// bands of at least minRows rows side by side on the band helpers (minRows 0:
// every row on the calling thread, top to bottom, as the straight kernels
// run); each row goes through vectorRow(d, s, n) as far as the vectors reach
// (it returns the units it did from the row's start, at most n) and the rest
// through unit(d, s, i), the rule the straight kernel applies to every unit.
// d and s are the row's first output and source bytes; a row has
// unitsPerPixel units per pixel. The rule should capture what it reads by value.
template <typename VectorRow, typename Unit>
inline void RunRows(const KernelRect& k, int unitsPerPixel, int minRows, const VectorRow& vectorRow, const Unit& unit) {
    const auto rows = [&](const PixRect* band, int dstRow) {
        ForEachRow<false>(k.dst, k.src, band, k.dstCol, dstRow, k.dstBpp, k.srcBpp, k.dstStride, k.srcStride,
                          [&](uint8_t* d, const uint8_t* s, int m) {
                              // Copies, so that the compiler keeps what the rule reads in registers
                              // across its byte stores (which may alias any memory).
                              const Unit rule = unit;
                              const int n = m * unitsPerPixel;
                              for (int i = vectorRow(d, s, n); i < n; ++i) rule(d, s, i);
                          });
    };
    if (minRows <= 0) return rows(k.r, k.dstRow);
    ForEachStripe(k.r->bottom - k.r->top, minRows, [&](int first, int end) {
        const PixRect band{k.r->left, k.r->top + first, k.r->right, k.r->top + end};
        rows(&band, k.dstRow + first);
    });
}

}  // namespace pixel
