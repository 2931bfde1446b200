#include "pixel/layout/BmpLayout.h"

#include <cstring>

#include "pixel/layout/LittleEndian.h"

using pixel::Put16;
using pixel::Put32;

uint32_t BmpPixelOffset(uint16_t bitCount) {
    return kBmpFileHeaderSize + kBmpInfoHeaderSize + (bitCount <= 8 ? kBmpColorTableSize : 0);
}

uint32_t BuildBmpHeaders(uint8_t* out, int32_t width, int32_t height, int32_t stride, uint16_t bitCount) {
    if (width <= 0 || height <= 0 || stride <= 0 || bitCount == 0) return 0;
    const uint32_t offset = BmpPixelOffset(bitCount);
    const uint64_t fileSize = uint64_t{offset} + uint64_t(uint32_t(height)) * uint32_t(stride);
    if (fileSize > UINT32_MAX) return 0;

    std::memset(out, 0, offset);
    // File header: "BM", file size, two reserved words, pixel offset.
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, static_cast<uint32_t>(fileSize));
    Put32(out + 10, offset);
    // Info header: a bottom-up BI_RGB picture; image size, resolutions and
    // colour counts stay 0.
    uint8_t* info = out + kBmpFileHeaderSize;
    Put32(info + 0, kBmpInfoHeaderSize);
    Put32(info + 4, static_cast<uint32_t>(width));
    Put32(info + 8, static_cast<uint32_t>(height));
    Put16(info + 12, 1);
    Put16(info + 14, bitCount);
    // Colour table: the gray ramp, blue = green = red = i, reserved 0.
    if (bitCount <= 8) {
        uint8_t* table = info + kBmpInfoHeaderSize;
        for (uint32_t i = 0; i < 256; ++i) {
            table[i * 4 + 0] = table[i * 4 + 1] = table[i * 4 + 2] = static_cast<uint8_t>(i);
        }
    }
    return offset;
}
