// The image adjustment filters: gamma, contrast and brightness as lookup
// tables, sharpness (unsharp mask) and hue/saturation (integer hexcone).
// Sample formats by bytes per pixel: 1 (8-bit gray), 3/4 (blue, green, red
// bytes; a fourth byte untouched), 2 (16-bit gray), 6/8 (16-bit blue, green,
// red; a fourth sample untouched). 16-bit samples carry 10 bits (M = 1023) and
// every filter reads a sample above 1023 as 1023; 8-bit samples have M = 255.
#pragma once
#include "pixel/core/PixelTypes.h"

constexpr int kFilterMax8 = 255;
constexpr int kFilterMax10 = 1023;

// M for a buffer of this many bytes per pixel: 1023 for 2, 6, 8; else 255.
constexpr int FilterMaxValue(int bytesPerPixel) {
    return (bytesPerPixel == 2 || bytesPerPixel == 6 || bytesPerPixel == 8) ? kFilterMax10 : kFilterMax8;
}

// Gamma table of maxValue + 1 entries for m_gamma 0..200 (100 = identity).
void BuildGammaTable(uint16_t* table, int maxValue, int gamma);
// Contrast table of maxValue + 1 entries for the factor c (the parameter; four
// times the parameter for the 16-bit gray buffer). H is 128 for maxValue 255
// and 512 for 1023: v < c gives 0, v > M - c gives M, otherwise
// trunc((M + 1) / (2 (H - c)) * (v - c)); any c.
void BuildContrastTable(uint16_t* table, int maxValue, int64_t contrast);
// Brightness table of maxValue + 1 entries for m_brightness -255..255:
// trunc(s * f) with the single-precision factor f, clipped to maxValue.
void BuildBrightnessTable(uint16_t* table, int maxValue, int brightness);
// Sharpness difference table of 2 * maxValue + 1 entries, entry d + maxValue
// = trunc(sharpness * d / 10) for d = -maxValue..maxValue.
void BuildSharpnessTable(int16_t* table, int maxValue, int sharpness);

// Every sample s becomes table[min(s, M)], in place allowed (dst == src).
// word1 = pointer to the uint16_t table of M + 1 entries (M by the pixel size).
// Runs gamma, contrast and brightness.
int KernelApplyTable(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// The straight lookup loop: the reference of the vector path above.
int KernelApplyTableReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                              uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                              intptr_t word2);

// Two lookup filters in one pass: first[v] becomes then[first[v]], so that
// one KernelApplyTable run gives the bytes of running `first`, then `then`.
// Consecutive gamma, contrast and brightness runs fold into one table this
// way; sharpness and hue/saturation are not per-sample tables and end a run.
void ComposeTables(uint16_t* first, const uint16_t* then, int maxValue);

// Sharpness: src is the picture before the filter, dst the output buffer of
// the same format; in place allowed (dst == src), and the result is always
// that of reading an untouched copy of src. For 2 <= x <= w-3, 2 <= y <= h-3
// and each channel: b = (sum of the 4x4 source samples x-2..x+1, y-2..y+1)
// >> 4, v = source sample, output = clip(v + D[v - b], 0, M). The two
// outermost rows and columns are not written. word1 = pointer to the int16_t
// difference table (BuildSharpnessTable with the same M).
int KernelSharpness(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                    uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// Hue and saturation set: {m_hue, 0, m_saturation, 10}; lightness and reserved
// are carried but not used by the transform.
struct HueSatParams {
    int32_t hue;
    int32_t lightness;
    int32_t saturation;
    int32_t reserved;
};

// Hue rotation and saturation of 24/32-bit (8-bit channels) or 48/64-bit
// (10-bit channels) pixels, in place allowed. 10-bit channels enter the 8-bit
// transform as min(v, 1023) >> 2 and leave as v8 << 2 | v8 >> 6 (0..1023).
// Uses the process-wide reciprocal and chroma tables; the chroma table is
// rebuilt under a lock when the saturation differs from the last one, and each
// run works on its own snapshot. word1 = pointer to a HueSatParams.
int KernelHueSaturation(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                        uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// The straight versions of the sharpness and hue/saturation kernels: the
// reference their vector paths match byte for byte. The sharpness reference
// reads src while writing dst: it must not run in place.
int KernelSharpnessReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                             uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                             intptr_t word2);
int KernelHueSaturationReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                 uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                 intptr_t word2);

// The hexcone transform of one 8-bit pixel (blue, green, red in place), for
// the given hue and saturation; rebuilds the shared chroma table when needed.
void HueSaturationPixel(uint8_t& blue, uint8_t& green, uint8_t& red, int hue, int saturation);
