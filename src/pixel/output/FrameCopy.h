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

// Copies `rows` rows of `bytes` bytes, the first source row to the last
// output row: the source is read from its first row on, the output placed
// from its last row up. Streams pictures of at least simd::kStreamBytes and
// ends them with the store fence itself.
void CopyRowsReversed(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, size_t bytes,
                      size_t rows);

}  // namespace pixel
