// The gray modes of the 8-bit monochrome output: per-site gray correction of
// the raw mosaic (mode 1), with its automatic gain measure, and gray from a
// demosaiced colour frame (mode 2).
#pragma once
#include "pixel/core/PixelTypes.h"

// Gray correction set. `mode` is the Bayer phase. The gains (128 = unity) and
// offsets are named as the user sees them; the sites they act on are:
// blue sites gainR/offsetR, first-green gainG1/offsetG1, second-green
// gainG2/offsetG2, red sites gainB/offsetB.
struct GrayParams {
    int32_t mode;
    int32_t gainR;
    int32_t gainG1;
    int32_t gainG2;
    int32_t gainB;
    int32_t offsetR;
    int32_t offsetG1;
    int32_t offsetG2;
    int32_t offsetB;
};

// Gray correction, 8 -> 8 bits, in place allowed (dst == src): each sample v
// becomes trunc(v * gain / 128) + offset of its site, clipped to 0..255.
// word1 = pointer to a GrayParams.
int KernelGrayCorrection(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                         uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                         intptr_t word2);
// The straight loop of the kernel above: the reference of its vector rows.
int KernelGrayCorrectionReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                  uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                  intptr_t word2);

// Automatic gray gains over an 8-bit mosaic: per site class, the mean of the
// samples other than 0 and 255; with the first-green mean m0 as reference
// gainR = m0 / m(blue) * 128, gainG1 = 128, gainG2 = m0 / m(green2) * 128,
// gainB = m0 / m(red) * 128. Uses params->mode as phase and updates the four
// gains in place; a gain whose ratio is undefined keeps its current value.
void MeasureGrayGains(const uint8_t* bits, int width, int height, int stride, GrayParams* params);

// Gray from colour, 24/32 -> 8 bits: (59 g + 30 r + 11 b) / 100.
int KernelGrayFromColor(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                        uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// The straight gray-from-colour loop: the reference of its vector path.
int KernelGrayFromColorReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                 uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                 intptr_t word2);
