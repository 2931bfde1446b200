// The wide vector row of gray from colour (the AVX2 row is with the filters' rows).
#pragma once
#include <cstdint>

namespace pixel {

// Gray from colour of `count` pixels of 3 or 4 bytes into one byte each, 64
// at a time (AVX-512 with byte permutes); returns the number of pixels done
// (a multiple of 64).
int GrayFromColorRowAvx512(uint8_t* dst, const uint8_t* src, int count, int pixelBytes);

}  // namespace pixel
