// Placing a raw camera frame into a session frame buffer.
#include "pixel/placement/PlacementKernels.h"

#include <algorithm>
#include <cstring>

#include "pixel/core/Dispatch.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/RowStripes.h"
#include "pixel/placement/PlacementRows.h"

bool CropFrame(uint8_t* dst, size_t dstSize, int dstStride, const uint8_t* src, size_t srcSize, int frameW, int frameH,
               int startX, int startY, int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return false;
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    if (dstStride < 0 || static_cast<size_t>(dstStride) < rowBytes || dstSize < rowBytes) return false;
    bool complete = true;

    // The frame rows the source really holds.
    const int64_t frameRowBytes = static_cast<int64_t>(std::max(frameW, 0)) * bytesPerPixel;
    int64_t frameRows = std::max(frameH, 0);
    if (frameRowBytes > 0 && static_cast<uint64_t>(frameRowBytes * frameRows) > srcSize) {
        frameRows = static_cast<int64_t>(srcSize / static_cast<uint64_t>(frameRowBytes));
        complete = false;
    }
    // The destination rows that fit.
    int64_t rows = static_cast<int64_t>((dstSize - rowBytes) / static_cast<size_t>(dstStride)) + 1;
    if (rows < height) complete = false;
    rows = std::min<int64_t>(rows, height);

    // Columns of the area inside the frame.
    const int64_t x0 = std::max<int64_t>(startX, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{startX} + width, std::max(frameW, 0));
    if (x0 != startX || x1 != int64_t{startX} + width) complete = false;
    for (int64_t r = 0; r < rows; ++r) {
        uint8_t* out = dst + r * dstStride;
        const int64_t fy = int64_t{startY} + r;
        if (fy < 0 || fy >= frameRows || x0 >= x1) {
            std::memset(out, 0, rowBytes);
            complete = false;
            continue;
        }
        const size_t before = static_cast<size_t>(x0 - startX) * bytesPerPixel;
        const size_t inside = static_cast<size_t>(x1 - x0) * bytesPerPixel;
        std::memmove(out + before, src + fy * frameRowBytes + x0 * bytesPerPixel, inside);
        std::memset(out, 0, before);
        std::memset(out + before + inside, 0, rowBytes - before - inside);
    }
    return complete;
}

int KernelSpreadRows(uint8_t* dst, const uint8_t* src, const PixRect* r, int, int, uint16_t dstBpp, uint16_t,
                     int dstStride, int, intptr_t, intptr_t) {
    const int w = r->right - r->left, h = r->bottom - r->top;
    if (w <= 0 || h <= 0) return 1;
    const size_t packed = static_cast<size_t>(w) * dstBpp;
    // Last row first: a packed row never lies behind its spread place.
    for (int y = h - 1; y >= 0; --y)
        std::memmove(dst + static_cast<ptrdiff_t>(y) * dstStride, src + y * packed, packed);
    return 1;
}

int KernelWidenPacked8To16Reference(uint8_t* dst, const uint8_t* src, const PixRect* r, int, int, uint16_t, uint16_t,
                                    int dstStride, int, intptr_t, intptr_t) {
    const int w = r->right - r->left, h = r->bottom - r->top;
    if (w <= 0 || h <= 0) return 1;
    // Last row and last pixel first: each 16-bit sample lands at or behind the
    // byte it comes from, so bytes not yet read are never overwritten.
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * w;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstStride;
        for (int x = w - 1; x >= 0; --x) {
            const uint8_t v = s[x];
            pixel::Store16(d + 2 * x, static_cast<uint16_t>(v << 2));
        }
    }
    return 1;
}

int KernelWidenPacked8To16(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                           uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const int w = r->right - r->left, h = r->bottom - r->top;
    const auto row = pixel::Rows().widen;
    if (w <= 0 || h <= 0 || row == nullptr)
        return KernelWidenPacked8To16Reference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                               word2);
    // In place the rows go last first, on one thread: a band's rows would be
    // overwritten by the band below before they are read.
    for (int y = h - 1; y >= 0; --y)
        row(dst + static_cast<ptrdiff_t>(y) * dstStride, src + static_cast<ptrdiff_t>(y) * w, w);
    return 1;
}

int KernelWiden8To16Reference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                              uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    pixel::ForEachRow<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                             [&](uint8_t* d, const uint8_t* s, int m) {
                                 for (int x = 0; x < m; ++x, d += dstBpp, s += srcBpp)
                                     pixel::Store16(d, static_cast<uint16_t>(s[0] << 2));
                             });
    return 1;
}

int KernelWiden8To16(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const auto row = pixel::Rows().widen;
    if (row == nullptr || dstBpp != 2 || srcBpp != 1)
        return KernelWiden8To16Reference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                         word2);
    pixel::ForEachRow<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                             [&](uint8_t* d, const uint8_t* s, int m) { row(d, s, m); });
    return 1;
}

int KernelMirrorHReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                           uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    const int bpp = dstBpp;
    pixel::ForEachRow<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                             [&](uint8_t* d, const uint8_t* s, int m) {
                                 if (d == s) {
                                     for (int i = 0, j = m - 1; i < j; ++i, --j)
                                         std::swap_ranges(d + i * bpp, d + (i + 1) * bpp, d + j * bpp);
                                 } else {
                                     for (int i = 0; i < m; ++i) std::memcpy(d + i * bpp, s + (m - 1 - i) * bpp, bpp);
                                 }
                             });
    return 1;
}

int KernelMirrorH(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                  uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const auto row = pixel::Rows().mirror;
    if (row == nullptr || (dstBpp != 1 && dstBpp != 2) || srcBpp != dstBpp)
        return KernelMirrorHReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1, word2);
    const int rows = r->bottom - r->top, pixels = r->right - r->left;
    if (rows <= 0 || pixels <= 0) return 1;
    // Rows are independent (in place each row only with itself): bands of rows side by side.
    pixel::ForEachStripe(rows, 64, [&](int first, int end) {
        const PixRect band{r->left, r->top + first, r->right, r->top + end};
        pixel::ForEachRow<false>(dst, src, &band, dstCol, dstRow + first, dstBpp, srcBpp, dstStride, srcStride,
                                 [&](uint8_t* d, const uint8_t* s, int m) { row(d, s, m, dstBpp); });
    });
    return 1;
}

int KernelMirrorVReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                           uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    const int w = r->right - r->left, h = r->bottom - r->top;
    if (w <= 0 || h <= 0) return 1;
    const size_t bytes = static_cast<size_t>(w) * dstBpp;
    uint8_t* d0 = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    const uint8_t* s0 = src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp;
    if (d0 == s0 && dstStride == srcStride) {
        for (int i = 0, j = h - 1; i < j; ++i, --j)
            std::swap_ranges(d0 + static_cast<ptrdiff_t>(i) * dstStride,
                             d0 + static_cast<ptrdiff_t>(i) * dstStride + bytes,
                             d0 + static_cast<ptrdiff_t>(j) * dstStride);
        return 1;
    }
    pixel::ForEachRow<true>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                            [&](uint8_t* d, const uint8_t* s, int) { std::memcpy(d, s, bytes); });
    return 1;
}

int KernelMirrorV(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                  uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const int w = r->right - r->left, h = r->bottom - r->top;
    uint8_t* d0 = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    const uint8_t* s0 = src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp;
    const auto swapRows = pixel::Rows().swapRows;
    if (w <= 0 || h <= 0 || d0 != s0 || dstStride != srcStride || swapRows == nullptr)
        return KernelMirrorVReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1, word2);
    // In place: row i with row h - 1 - i; the pairs are independent, so bands of them run side by side.
    const size_t bytes = static_cast<size_t>(w) * dstBpp;
    pixel::ForEachStripe(h / 2, 64, [&](int first, int end) {
        for (int i = first; i < end; ++i)
            swapRows(d0 + static_cast<ptrdiff_t>(i) * dstStride, d0 + static_cast<ptrdiff_t>(h - 1 - i) * dstStride,
                     bytes);
    });
    return 1;
}
