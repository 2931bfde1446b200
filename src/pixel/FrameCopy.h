// Copying a finished picture into the application's memory, whole rows with
// their padding, in memory order or last row first.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies `rows` rows of `stride` bytes from `src` to `dst`; `reversed` puts
// the last row of `src` first.
void CopyFrameRows(uint8_t* dst, const uint8_t* src, size_t stride, size_t rows, bool reversed);

namespace pixel {

// Copies `bytes` bytes that do not overlap. With `stream` the stores go past
// the caches, for a picture of at least simd::kStreamBytes; the copying
// thread then ends the whole picture with a store fence (_mm_sfence) before
// anyone else reads it.
void CopyBytes(uint8_t* dst, const uint8_t* src, size_t bytes, bool stream);

}  // namespace pixel
