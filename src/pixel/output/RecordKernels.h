// Kernels of the AVI recorder: gray frame buffers into the 24-bit bottom-up
// frames of the file. Same calling contract as the output kernels.
#pragma once
#include "pixel/core/PixelTypes.h"

// 8 -> 24 bits (source bytes per pixel 1) or 16 -> 24 bits (2: the 10-bit
// sample reduced to 8, (v >> 2) & 255), rows reversed: blue = green = red =
// the gray value, as the gray ramp shows it.
int KernelGrayTo24Flip(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                       uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
