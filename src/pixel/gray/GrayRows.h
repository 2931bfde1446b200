// Vector rows of the gray modes. They give exactly the bytes of the straight
// loops in GrayKernels.cpp.
#pragma once
#include <cstdint>

namespace pixel {

// Gray from colour of `count` pixels of 3 or 4 bytes into one byte each, 16
// at a time; returns the number of pixels done (a multiple of 16).
int GrayFromColorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes);

// Even bytes (from the row's start) through `even`, odd ones through `odd`:
// the two site classes of a mosaic row. 64 bytes at a time (AVX-512 VBMI);
// returns the number of bytes done. In place allowed. (Sixteen shuffles a
// table made an AVX2 twin slower than the straight loop: 6.9 against 4.5 ms.)
int ApplyByteTablePairRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, const uint8_t* even, const uint8_t* odd);

// Gray from colour of `count` pixels of 3 or 4 bytes into one byte each, 64
// at a time (AVX-512 with byte permutes), the rest of 16 by the AVX2 row;
// returns the number of pixels done (a multiple of 16).
int GrayFromColorRowAvx512(uint8_t* dst, const uint8_t* src, int count, int pixelBytes);

}  // namespace pixel
