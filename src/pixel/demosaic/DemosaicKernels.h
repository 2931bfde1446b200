// Bayer interpolation (demosaicing) and the automatic white balance measure.
// The kernels follow the convert-kernel contract (PixelTypes.h) and are run
// over the whole frame: srcRect = {0, 0, w, h}, dstCol 0, dstRow 0, word1 =
// pointer to a BayerParams. Run the interior kernel, then the border kernel.
#pragma once
#include "pixel/core/PixelTypes.h"

// Phase (0..3; only its two low bits count) and white-balance gains in
// percent (100 = unity). The red and blue factors are trunc(1.28 * gain); a
// negative gain counts as 0. Green is not gained.
struct BayerParams {
    int32_t mode;
    int32_t gainRed;
    int32_t gainGreen;
    int32_t gainBlue;
};

// 8-bit mosaic (srcBpp 1) -> blue, green, red bytes (dstBpp 3 or 4; a fourth
// byte is left untouched). Pixels with 2 <= x <= w-3 and 2 <= y <= h-3.
int KernelDemosaicInterior8(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                            uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                            intptr_t word2);
// 8-bit mosaic: the two outermost rows and columns the interior pass leaves out.
int KernelDemosaicBorder8(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                          uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                          intptr_t word2);
// 16-bit (10-bit) mosaic (srcBpp 2) -> 16-bit blue, green, red clipped to 1023
// (dstBpp 6 or 8; a fourth sample is left untouched).
int KernelDemosaicInterior16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                             uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                             intptr_t word2);
// 16-bit mosaic: the border pass.
int KernelDemosaicBorder16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                           uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                           intptr_t word2);

// The straight per-pixel interior kernels, kept as the reference that the
// vector paths of the two kernels above must match byte for byte.
int KernelDemosaicInterior8Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                     uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                     intptr_t word2);
int KernelDemosaicInterior16Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                      uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                      intptr_t word2);

// The interior and border kernels' 24-bit picture of an 8-bit mosaic (both
// width x height, rows at their strides) that is also copied as it is made
// into `copy`: rows of dstStride bytes, padding included, the picture's last
// row first when bottomUp (CopyFrameRows's copy of dst). Each row is built in
// a small buffer and written to both places from there, so that the copy
// does not read the picture back from memory. Returns 1.
int DemosaicWithCopy8To24(uint8_t* dst, const uint8_t* src, int width, int height, int dstStride, int srcStride,
                          const BayerParams& params, uint8_t* copy, bool bottomUp);

// White-balance gains in percent.
struct WhiteBalanceGains {
    int32_t red;
    int32_t blue;
};

// Automatic white balance: class means over the whole mosaic (8- or 16-bit
// samples, bytesPerSample 1 or 2) give blue = 100 mG / mB and red = 100 mG / mR.
// A gain whose ratio is undefined (a class mean of 0, or no samples) keeps the
// value in `current`. Results are limited to 0..INT32_MAX (callers cap them).
WhiteBalanceGains MeasureWhiteBalance(const uint8_t* bits, int width, int height, int stride, int bytesPerSample,
                                      int phase, WhiteBalanceGains current);
