// Copying a finished picture into the application's memory, whole rows with
// their padding, in memory order or last row first.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies `rows` rows of `stride` bytes from `src` to `dst`; `reversed` puts
// the last row of `src` first.
void CopyFrameRows(uint8_t* dst, const uint8_t* src, size_t stride, size_t rows, bool reversed);
