// Reordering of the sensor's two outputs: the camera interleaves a byte of the
// left half (from the left edge inwards) with a byte of the right half (from
// the right edge inwards).
#include "pixel/placement/DualOutput.h"

#include <immintrin.h>

#include <cstddef>

#include "pixel/core/Dispatch.h"
#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/placement/PlacementRows.h"

void ReorderDualOutputReference(uint8_t* dst, const uint8_t* src, int halfWidth, int rows) {
    if (halfWidth <= 0 || rows <= 0) return;
    const ptrdiff_t rowBytes = 2 * static_cast<ptrdiff_t>(halfWidth);
    for (int r = 0; r < rows; ++r, dst += rowBytes, src += rowBytes) {
        uint8_t* left = dst;
        uint8_t* right = dst + rowBytes - 1;
        const uint8_t* s = src;
        for (int k = 0; k < halfWidth; ++k, s += 2) {
            left[k] = s[0];
            *(right - k) = s[1];
        }
    }
}

void ReorderDualOutput(uint8_t* dst, const uint8_t* src, int halfWidth, int rows) {
    if (halfWidth <= 0 || rows <= 0) return;
    const pixel::RowTable& rowsAt = pixel::Rows();
    if (rowsAt.reorder == nullptr) return ReorderDualOutputReference(dst, src, halfWidth, rows);
    const ptrdiff_t rowBytes = 2 * static_cast<ptrdiff_t>(halfWidth);
    // A whole frame is written past the caches: it is read once, by another
    // thread, after the next frame's bytes have gone through them, and stores
    // that skip the cache do not first read each line from memory.
    const bool stream = rowsAt.reorderStream != nullptr && rowBytes * rows >= pixel::simd::kStreamBytes &&
                        halfWidth % 16 == 0 && (reinterpret_cast<uintptr_t>(dst) & 15) == 0;
    const auto row = stream ? rowsAt.reorderStream : rowsAt.reorder;
    pixel::ForEachStripe(rows, 64, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            uint8_t* d = dst + r * rowBytes;
            row(d, d + rowBytes - 1, src + r * rowBytes, halfWidth);
        }
        if (stream) _mm_sfence();
    });
}
