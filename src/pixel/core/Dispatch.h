// The one place that knows which vector rows exist: a table of every kernel
// family's row functions for each instruction level, filled once per level on
// first use. A kernel asks Rows() for its entry and runs the straight loop
// (its reference) where the entry is empty; no kernel looks at the level.
// The level in force is the processor's, lowered only by the ceiling that
// tests and benchmarks set (SetSimdCeiling), which picks another table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "pixel/core/SimdLevel.h"

namespace pixel {

struct DemosaicRowJob;
struct SharpenRowJob;
struct ByteTable;
struct WordTable;
struct AffineMap;
struct GraySites;

struct RowTable {
    SimdLevel level;

    // Demosaicing, 8- and 16-bit samples: the interior pixels x = 2, 3, ... of
    // one row; returns the first x not computed.
    int (*demosaic8)(const DemosaicRowJob&);
    int (*demosaic16)(const DemosaicRowJob&);
    // The 8-bit row that writes 24-bit pixels also to the job's copy row.
    int (*demosaic8Copy)(const DemosaicRowJob&);

    // Lookup tables (gamma, contrast, brightness) on 8- and 16-bit samples;
    // each returns the samples done from the row's start.
    int (*byteTable)(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const ByteTable& table);
    int (*wordTable)(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const WordTable& table);
    // The same where the table is an affine map (contrast, brightness).
    int (*affineBytes)(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const AffineMap& map);
    int (*affineWords)(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const AffineMap& map);
    // Hue and saturation; returns the pixels done.
    int (*hueSaturation)(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation, int rotation);
    // Unsharp mask; returns the first sample position not computed.
    int (*sharpen)(const SharpenRowJob&);
    bool sharpenKeepsColumns;  // the row keeps its column sums from one row to the next
    bool sharpenReadsOwnRow;   // ... and leaves no tail, reading row y just before writing it

    // Gray correction of a mosaic row (even and odd sites each by their own
    // gain and offset) and gray from colour; each returns the bytes (pixels) done.
    int (*grayCorrection)(uint8_t* dst, const uint8_t* src, int bytes, const GraySites& sites);
    int (*grayFromColor)(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, bool stream);

    // Byte moves; each does the whole row.
    void (*reorder)(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth);
    void (*reorderStream)(uint8_t* left, uint8_t* right, const uint8_t* pairs, int halfWidth);
    void (*mirror)(uint8_t* dst, const uint8_t* src, int count, int sampleBytes);
    void (*widen)(uint8_t* dst, const uint8_t* src, int count);
    void (*swapRows)(uint8_t* a, uint8_t* b, size_t bytes);

    // 16-bit samples to bytes (48-bit pixels, and 64-bit ones without their
    // fourth sample); return the samples (pixels) done.
    int (*narrow48)(uint8_t* dst, const uint8_t* src, int samples, bool stream, bool descending);
    int (*narrow64)(uint8_t* dst, const uint8_t* src, int pixels);
};

// The rows of the level in force.
const RowTable& Rows();

// The rows of `level`, or of the processor's level where that is lower.
const RowTable& RowsAt(SimdLevel level);

}  // namespace pixel
