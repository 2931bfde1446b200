#include "pixel/FrameCopy.h"

#include <cstring>

void CopyFrameRows(uint8_t* dst, const uint8_t* src, size_t stride, size_t rows, bool reversed) {
    if (!reversed) {
        std::memcpy(dst, src, stride * rows);  // one block: the rows are contiguous on both sides
        return;
    }
    for (size_t r = 0; r < rows; ++r) {
        std::memcpy(dst + r * stride, src + (rows - 1 - r) * stride, stride);
    }
}
