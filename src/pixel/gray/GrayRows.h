// Vector rows of the gray modes. They give exactly the bytes of the straight
// loops in GrayKernels.cpp.
#pragma once
#include <cstdint>

namespace pixel {

// Gray from colour of `count` pixels of 3 or 4 bytes into one byte each, 32
// at a time; returns the number of pixels done. With `stream` (a large
// picture) the AVX2 row writes past the caches from the first 32-byte
// boundary of the output on; the caller ends the picture with _mm_sfence.
int GrayFromColorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, bool stream);

// The two site classes of one mosaic row: even bytes (from the row's start)
// and odd ones, each with its table of trunc(v * gain / 128) + offset clipped
// to 0..255, and that gain and offset.
struct GraySites {
    const uint8_t* table[2];
    int32_t gain[2];
    int32_t offset[2];
};

// Gray correction of `bytes` bytes of a mosaic row; returns the number of bytes
// done from the row's start. In place allowed. The SSE2 and AVX2 rows compute
// the formula in 16-bit lanes, 16 or 32 bytes at a time, for gains of
// -1023..1023 (none done otherwise); the AVX-512 row looks the tables up, 64
// bytes at a time, for any gain. (A table looked up by sixteen AVX2 shuffles
// was slower than the straight loop: 6.9 against 4.5 ms.)
int GrayCorrectionRowSse2(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites);
int GrayCorrectionRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites);
int GrayCorrectionRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites);

}  // namespace pixel
