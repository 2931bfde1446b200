// Reordering of the sensor's two outputs into picture rows.
#pragma once
#include <cstdint>

// Each source row holds 2 * halfWidth bytes as pairs (a, b): a belongs to the
// left half counted from the left edge, b to the right half counted from the
// right edge. Writes dst[r * 2h + k] = a and dst[r * 2h + 2h - 1 - k] = b, for
// `rows` rows; src and dst must not overlap. A subsampled frame (divisor d)
// uses the same layout with halfWidth = (4896 / d) / 2 and rows = 3264 / d.
void ReorderDualOutput(uint8_t* dst, const uint8_t* src, int halfWidth, int rows);

// The straight byte-by-byte version: the reference the vector rows match.
void ReorderDualOutputReference(uint8_t* dst, const uint8_t* src, int halfWidth, int rows);
