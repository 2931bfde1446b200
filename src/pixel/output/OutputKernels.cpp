// Output kernels: frame buffers into display, file and application formats.
#include "pixel/output/OutputKernels.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixel/core/Dispatch.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/output/FrameCopy.h"
#include "pixel/output/OutputRows.h"

using pixel::ForEachRow;
using pixel::Load16;
using pixel::Reduce10To8;
using pixel::Store16;

#define VIDLYN_CONVERT_ARGS                                                                                       \
    uint8_t *dst, const uint8_t *src, const PixRect *r, int dstCol, int dstRow, uint16_t dstBpp, uint16_t srcBpp, \
        int dstStride, int srcStride, intptr_t, intptr_t
#define VIDLYN_ROW_ARGS dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride

int KernelCopyRowsFlip(VIDLYN_CONVERT_ARGS) {
    // Whole rows, padding included, but never past the end of either row.
    const ptrdiff_t dstBytes = dstStride - static_cast<ptrdiff_t>(dstCol) * dstBpp;
    const ptrdiff_t srcBytes = srcStride - static_cast<ptrdiff_t>(r->left) * srcBpp;
    const size_t bytes = static_cast<size_t>(std::max<ptrdiff_t>(0, std::min(dstBytes, srcBytes)));
    const int rows = r->bottom - r->top;
    if (rows <= 0 || r->right <= r->left) return 1;
    pixel::CopyRowsReversed(dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp,
                            dstStride,
                            src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp,
                            srcStride, bytes, static_cast<size_t>(rows));
    return 1;
}

namespace {

// Bytes 0, 1, 2 of every pixel, either row order.
template <bool Flip>
int CopyBgr(VIDLYN_CONVERT_ARGS) {
    ForEachRow<Flip>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    });
    return 1;
}

template <bool Flip>
int Gray16To8(VIDLYN_CONVERT_ARGS) {
    ForEachRow<Flip>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) d[0] = Reduce10To8(Load16(s));
    });
    return 1;
}

template <bool Flip>
int Color48To24Reference(VIDLYN_CONVERT_ARGS) {
    ForEachRow<Flip>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) {
            d[0] = Reduce10To8(Load16(s));
            d[1] = Reduce10To8(Load16(s + 2));
            d[2] = Reduce10To8(Load16(s + 4));
        }
    });
    return 1;
}

// Packed 24-bit rows by vectors; the row's tail byte by byte: output byte k
// is sample k % 3 of pixel k / 3.
template <bool Flip>
int Color48To24(VIDLYN_CONVERT_ARGS) {
    const pixel::RowTable& rowsAt = pixel::Rows();
    const bool wide = srcBpp == 8;
    if (dstBpp != 3 || (srcBpp != 6 && !wide) || (wide ? rowsAt.narrow64 == nullptr : rowsAt.narrow48 == nullptr))
        return Color48To24Reference<Flip>(VIDLYN_ROW_ARGS, 0, 0);
    const int perPixel = srcBpp / 2;
    // A picture larger than the caches would only push everything else out of them.
    const bool stream =
        static_cast<int64_t>(r->bottom - r->top) * (r->right - r->left) * 3 >= pixel::simd::kStreamBytes;
    ForEachRow<Flip>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        int k = wide ? 3 * rowsAt.narrow64(d, s, m) : rowsAt.narrow48(d, s, 3 * m, stream, Flip);
        for (; k < 3 * m; ++k) d[k] = Reduce10To8(Load16(s + 2 * ((k / 3) * perPixel + k % 3)));
    });
    if (stream) _mm_sfence();
    return 1;
}

// Three 16-bit samples shifted left by 6, optionally in reverse order, with
// an opaque fourth sample for 64-bit pixels.
template <bool Swap, bool Opaque>
void Shl6Pixel(uint8_t* d, const uint8_t* s) {
    const uint16_t c0 = Load16(s), c1 = Load16(s + 2), c2 = Load16(s + 4);
    Store16(d, static_cast<uint16_t>((Swap ? c2 : c0) << 6));
    Store16(d + 2, static_cast<uint16_t>(c1 << 6));
    Store16(d + 4, static_cast<uint16_t>((Swap ? c0 : c2) << 6));
    if (Opaque) Store16(d + 6, 0xFFFF);
}

// One 16-byte block of pixels packed alike on both sides: 48-bit samples
// shifted as a run, or two 64-bit pixels with their samples swapped within
// each pixel and the fourth made opaque.
template <bool Swap, bool Opaque>
__m128i Shl6Block(__m128i v) {
    v = _mm_slli_epi16(v, 6);
    if constexpr (Swap) v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xC6), 0xC6);  // samples 2 1 0 3
    if constexpr (Opaque) v = _mm_or_si128(v, _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0));
    return v;
}

template <bool Swap, bool Opaque>
int Color16Shl6(VIDLYN_CONVERT_ARGS) {
    // 16-byte blocks where source and output pixels have the same size: 64-bit
    // pixels two a block, 48-bit ones eight in three blocks. Swapping within
    // 48-bit pixels does not fit the blocks and stays per pixel.
    constexpr int kBpp = Opaque ? 8 : 6, kStep = Opaque ? 2 : 8, kBlocks = kBpp * kStep / 16;
    const bool blocks = (Opaque || !Swap) && dstBpp == kBpp && srcBpp == kBpp;
    const bool stream =
        blocks && static_cast<int64_t>(r->bottom - r->top) * (r->right - r->left) * kBpp >= pixel::simd::kStreamBytes;
    ForEachRow<false>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        int j = 0;
        if (blocks) {
            // Streaming stores from the first pixel that starts a 16-byte line on.
            int head = 0;
            while (stream && head < kStep && (reinterpret_cast<uintptr_t>(d + head * kBpp) & 15) != 0) ++head;
            const bool rowStream = stream && head < kStep;
            for (; rowStream && j < head; ++j) Shl6Pixel<Swap, Opaque>(d + j * kBpp, s + j * kBpp);
            for (; j + kStep <= m; j += kStep)
                for (int b = 0; b < kBlocks; ++b)
                    pixel::simd::Put128(d + j * kBpp + 16 * b,
                                        Shl6Block<Swap, Opaque>(
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j * kBpp + 16 * b))),
                                        rowStream);
        }
        for (; j < m; ++j) Shl6Pixel<Swap, Opaque>(d + j * dstBpp, s + j * srcBpp);
    });
    if (stream) _mm_sfence();
    return 1;
}

}  // namespace

int KernelBgrx32ToBgr24(VIDLYN_CONVERT_ARGS) { return CopyBgr<false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelBgr24CopyFlip(VIDLYN_CONVERT_ARGS) { return CopyBgr<true>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelGray16To8(VIDLYN_CONVERT_ARGS) { return Gray16To8<false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelGray16To8Flip(VIDLYN_CONVERT_ARGS) { return Gray16To8<true>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48To24(VIDLYN_CONVERT_ARGS) { return Color48To24<false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48To24Flip(VIDLYN_CONVERT_ARGS) { return Color48To24<true>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48To24Reference(VIDLYN_CONVERT_ARGS) { return Color48To24Reference<false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48To24FlipReference(VIDLYN_CONVERT_ARGS) { return Color48To24Reference<true>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48Shl6(VIDLYN_CONVERT_ARGS) { return Color16Shl6<false, false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor64Shl6Opaque(VIDLYN_CONVERT_ARGS) { return Color16Shl6<false, true>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor48Shl6Swap(VIDLYN_CONVERT_ARGS) { return Color16Shl6<true, false>(VIDLYN_ROW_ARGS, 0, 0); }
int KernelColor64Shl6SwapOpaque(VIDLYN_CONVERT_ARGS) { return Color16Shl6<true, true>(VIDLYN_ROW_ARGS, 0, 0); }

int KernelBgrToRgb24(VIDLYN_CONVERT_ARGS) {
    ForEachRow<false>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) {
            const uint8_t b = s[0], g = s[1], red = s[2];  // in place allowed
            d[0] = red;
            d[1] = g;
            d[2] = b;
        }
    });
    return 1;
}

int KernelBgrxComplementX(VIDLYN_CONVERT_ARGS) {
    ForEachRow<false>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = static_cast<uint8_t>(~s[3]);
        }
    });
    return 1;
}

int KernelGray16Shl4(VIDLYN_CONVERT_ARGS) {
    ForEachRow<false>(VIDLYN_ROW_ARGS, [&](uint8_t* d, const uint8_t* s, int m) {
        for (int j = 0; j < m; ++j, d += dstBpp, s += srcBpp) Store16(d, static_cast<uint16_t>(Load16(s) << 4));
    });
    return 1;
}

#undef VIDLYN_CONVERT_ARGS
#undef VIDLYN_ROW_ARGS

namespace {

// Nearest-neighbour stretch, destination rows from the bottom of the source
// rectangle upwards; copies `bytes` bytes of each chosen source pixel.
template <int Bytes>
int ScaleNearest(uint8_t* dst, const uint8_t* src, const PixRect* e, const PixRect* f, int dstWidth, int dstHeight,
                 int srcWidth, int srcHeight, uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride) {
    const int n = e->bottom - e->top;
    const int m = e->right - e->left;
    if (n <= 0 || m <= 0 || srcWidth <= 0 || srcHeight <= 0) return 1;
    const float fy = static_cast<float>(f->bottom - f->top) / static_cast<float>(n);
    const float fx = static_cast<float>(f->right - f->left) / static_cast<float>(m);
    // Only destination pixels inside the destination picture are written.
    const int iBegin = std::max(0, -e->top), iEnd = std::min(n, dstHeight - e->top);
    const int jBegin = std::max(0, -e->left), jEnd = std::min(m, dstWidth - e->left);
    for (int i = iBegin; i < iEnd; ++i) {
        const int k = std::clamp(static_cast<int>(static_cast<float>(i) * fy), 0, srcHeight - 1);
        const int srcRow = std::clamp(f->bottom - 1 - k, 0, srcHeight - 1);
        const uint8_t* s = src + static_cast<ptrdiff_t>(srcRow) * srcStride;
        uint8_t* d = dst + static_cast<ptrdiff_t>(e->top + i) * dstStride;
        for (int j = jBegin; j < jEnd; ++j) {
            const int c = std::clamp(f->left + static_cast<int>(static_cast<float>(j) * fx), 0, srcWidth - 1);
            std::memcpy(d + static_cast<ptrdiff_t>(e->left + j) * dstBpp, s + static_cast<ptrdiff_t>(c) * srcBpp,
                        Bytes);
        }
    }
    return 1;
}

}  // namespace

int KernelScale8(uint8_t* dst, const uint8_t* src, const PixRect* dstRect, const PixRect* srcRect, int dstWidth,
                 int dstHeight, int srcWidth, int srcHeight, uint16_t dstBpp, uint16_t srcBpp, int dstStride,
                 int srcStride, intptr_t, intptr_t) {
    return ScaleNearest<1>(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBpp, srcBpp,
                           dstStride, srcStride);
}

int KernelScale24(uint8_t* dst, const uint8_t* src, const PixRect* dstRect, const PixRect* srcRect, int dstWidth,
                  int dstHeight, int srcWidth, int srcHeight, uint16_t dstBpp, uint16_t srcBpp, int dstStride,
                  int srcStride, intptr_t, intptr_t) {
    return ScaleNearest<3>(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBpp, srcBpp,
                           dstStride, srcStride);
}
