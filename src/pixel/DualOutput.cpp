// Reordering of the sensor's two outputs: the camera interleaves a byte of the
// left half (from the left edge inwards) with a byte of the right half (from
// the right edge inwards).
#include "pixel/DualOutput.h"

#include <cstddef>

#include "pixel/PlacementSimd.h"
#include "pixel/RowStripes.h"
#include "pixel/SimdLevel.h"

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
    const auto level = pixel::ActiveSimdLevel();
    if (level == pixel::SimdLevel::Scalar) return ReorderDualOutputReference(dst, src, halfWidth, rows);
    const auto row = level >= pixel::SimdLevel::Avx2 ? pixel::ReorderRowAvx2 : pixel::ReorderRowSse2;
    const ptrdiff_t rowBytes = 2 * static_cast<ptrdiff_t>(halfWidth);
    pixel::ForEachStripe(rows, 64, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            uint8_t* d = dst + r * rowBytes;
            row(d, d + rowBytes - 1, src + r * rowBytes, halfWidth);
        }
    });
}
