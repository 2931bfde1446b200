// Vector rows of the 48/64 -> 24-bit copy out: the 10-bit-to-8 reduction
// (v >> 2) & 255 of the first three samples of each pixel, exactly as the
// straight loop in OutputKernels.cpp.
#pragma once
#include <cstdint>

namespace pixel {

// 48-bit pixels: the `samples` samples of a row become as many bytes, 16
// (SSE2) at a time, returning the number done, or all of them (AVX-512). With
// `stream` the AVX-512 row writes past the caches (for pictures larger than
// they are; the caller ends the run with a store fence); `descending` walks the
// row from its end, so that a picture read bottom-up is read as one falling
// stream of addresses, which the processor's prefetchers follow.
int NarrowSamplesSse2(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending);
int NarrowSamplesAvx2(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending);
int NarrowSamplesAvx512(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending);

// 64-bit pixels: `pixels` pixels become three bytes each (the fourth sample is
// skipped), 16 at a time; returns the number of pixels done.
int NarrowPixels64Avx512(uint8_t* dst, const uint8_t* src, int pixels);

}  // namespace pixel
