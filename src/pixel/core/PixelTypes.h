// Shared vocabulary of the pixel core: rectangles and the two kernel shapes
// that DibBuffer::Convert and DibBuffer::Stretch hand their work to.
// Windows-free on purpose: the same kernels build natively for sanitizer
// runs, fuzzing and benchmarks.
#pragma once
#include <cstdint>

// Laid out like the Win32 RECT (four 32-bit signed values, right/bottom
// exclusive), so a RECT* can be reinterpreted as a PixRect* on Windows.
struct PixRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Convert kernel: same-size transfer over a clipped source rectangle given in
// memory rows; the destination starts at (dstCol, dstRow). Returns 1.
using ConvertKernel = int (*)(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                              uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                              intptr_t word2);

// Stretch kernel: scaled transfer from srcRect into dstRect. Returns 1.
using StretchKernel = int (*)(uint8_t* dst, const uint8_t* src, const PixRect* dstRect, const PixRect* srcRect,
                              int dstWidth, int dstHeight, int srcWidth, int srcHeight, uint16_t dstBpp,
                              uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// Clips a transfer of source rectangle `rect` to destination point (x, y),
// both counted from the top-left of the picture, and turns the result into
// memory rows of the bottom-up bitmaps. On success `rect` is the source
// rectangle in memory rows, x the destination column and y the destination
// memory row. On failure `rect` becomes {0,0,0,0}, x and y 0, and it returns false.
bool ClipTransfer(PixRect& rect, int& x, int& y, int srcWidth, int srcHeight, int dstWidth, int dstHeight);
