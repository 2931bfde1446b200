// Vector rows of the byte-moving kernels: the dual-output reordering, the
// horizontal mirror and the widening of camera bytes to 16-bit samples. Each
// moves exactly the bytes of its straight version and handles any length
// (the tail the vectors do not fill goes byte by byte).
#pragma once
#include <cstddef>
#include <cstdint>

namespace pixel {

// One camera row: pairs (a, b) -> a into left[k], b into right[-k].
void ReorderRowSse2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth);
void ReorderRowAvx2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth);
// The same with streaming stores, which write past the caches: `left` lies on
// a 16-byte boundary and halfWidth is a multiple of 16.
void ReorderRowStreamAvx2(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth);

// Reverses the order of `count` samples of `sampleBytes` (1 or 2) bytes:
// from src into dst, or in place when dst == src.
void MirrorRowSse2(uint8_t* dst, const uint8_t* src, int count, int sampleBytes);
void MirrorRowAvx2(uint8_t* dst, const uint8_t* src, int count, int sampleBytes);

// 16-bit samples byte << 2 from `count` bytes. In place allowed when dst lies
// at or behind src (the bytes are read before their place is written: the row
// goes from its end to its start).
void WidenRowSse2(uint8_t* dst, const uint8_t* src, int count);
void WidenRowAvx2(uint8_t* dst, const uint8_t* src, int count);

// Exchanges `bytes` bytes between two rows that do not overlap.
void SwapRowsSse2(uint8_t* a, uint8_t* b, size_t bytes);

}  // namespace pixel
