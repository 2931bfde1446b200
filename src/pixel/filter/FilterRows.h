// Vector rows of the adjustment filters. They give exactly the bytes of the
// straight kernels in FilterKernels.cpp and cover the settings users can
// make; the kernels fall back to the straight loops for everything else.
#pragma once
#include <cstdint>

namespace pixel {

// 52429 = ceil(2^19 / 10): the sharpness rows form trunc(s d / 10) as
// sign x ((|s| |d| x 52429) >> 19), exact for |s| |d| < 262144.
constexpr short kSharpenTenth = static_cast<short>(0xCCCD);
// How far (in samples) the output positions of the AVX2 and AVX-512 rows run
// behind their column sums: the sums read are stored well before, since a
// load over a store still in flight waits for it.
constexpr int kSharpenLagSamples = 128;

// One output row of the unsharp mask over a stream of samples: 8-bit samples
// (gray, or the bytes of 24/32-bit pixels) or 16-bit ones (read as at most
// 1023). Taps are `tap` samples apart (the samples per pixel), so every
// channel meets only its own kind. Computes positions begin, begin + 1, ...
// while a whole vector fits below end and returns the first position left.
// With keepFourth, every fourth sample (the pixel's fourth byte or sample)
// keeps the output's value.
struct SharpenRowJob {
    const uint8_t* rows[4];  // source rows y - 2 .. y + 1 (row y may be dst for AVX-512)
    uint8_t* dst;            // output row y
    int begin, end;          // sample positions
    int tap;
    bool wide;
    bool keepFourth;
    int sharpness;      // |sharpness| <= 256 (8-bit) or <= 64 (16-bit)
    uint16_t* columns;  // room for end + 2 tap + 64 four-row sums
    // The AVX2 and AVX-512 rows keep `columns` from one row to the next: null
    // `enter` sums rows[] afresh; otherwise row y + 1 (`enter`) is added and
    // row y - 3 (`leave`) taken away, and the entering row's first end + tap
    // samples are also copied to `save` when it is not null (the kept original
    // of a row sharpened in place).
    const uint8_t* enter;
    const uint8_t* leave;
    uint8_t* save;
    const uint8_t* ahead;  // a row to fetch into the cache on the way, or null
};

int SharpenRowSse2(const SharpenRowJob& job);
int SharpenRowAvx2(const SharpenRowJob& job);  // keeps `columns`
// Every position begin..end - 1 (the tail by masks); keeps `columns`.
int SharpenRowAvx512(const SharpenRowJob& job);

// Hue and saturation of `count` pixels of 3 or 4 bytes (8-bit channels) or 6
// or 8 bytes (10-bit channels in 16-bit samples), 32 at a time, for
// saturations -256..256 and a hue rotation 0..1529; returns the number of
// pixels done (a multiple of 32). In place allowed.
int HueSaturationRowAvx2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation, int rotation);
// The same with SSE2, 16 pixels (3 bytes) or 8 (the other sizes) at a time.
int HueSaturationRowSse2(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation, int rotation);
// The same 32 pixels at a time (AVX-512 with VBMI); returns a multiple of 32.
int HueSaturationRowAvx512(uint8_t* dst, const uint8_t* src, int count, int pixelBytes, int saturation, int rotation);

// A 256-entry byte table as the levels' rows look it up.
struct ByteTable {
    uint8_t bytes[256];
};
// From a lookup table of at least 256 entries (each below 256).
void MakeByteTable(ByteTable& out, const uint16_t* table);

// Every byte of `bytes` bytes through the table, 32 (AVX2) or 64 (AVX-512) at
// a time; returns the number of bytes done. With keepFourth every fourth byte
// keeps the output's value. In place allowed.
int ApplyByteTableRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const ByteTable& table);
int ApplyByteTableRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const ByteTable& table);

// A lookup table that is an affine map with truncation, as the contrast and
// brightness tables are: entry v = min(floor(max(v + offset, 0) * multiplier /
// 2^shift), M). The rows compute it instead of looking it up.
struct AffineMap {
    int offset;           // -M..M
    int shift;            // 8..16 for 8-bit samples (16-bit lanes), 1..31 for 16-bit ones
    uint32_t multiplier;  // below 2^16 for 8-bit samples
};
// Whether the table of M + 1 entries (M = 255 or 1023) is such a map for the
// lanes of the rows of that sample size; fills `map` when it is. Every entry
// is checked against the rows' arithmetic: the rows give exactly the table.
bool FitAffineMap(const uint16_t* table, int maxValue, AffineMap& map);

// Every byte of `bytes` bytes (8-bit samples) or every 16-bit sample of
// `samples` samples through the map, 16 (SSE2), 32 (AVX2) or 64 (AVX-512)
// bytes at a time;
// returns the bytes (samples) done. With keepFourth every fourth byte (sample)
// keeps the output's value. In place allowed.
int ApplyAffineRowSse2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const AffineMap& map);
int ApplyAffineRowAvx2(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const AffineMap& map);
int ApplyAffineRowAvx512(uint8_t* dst, const uint8_t* src, int bytes, bool keepFourth, const AffineMap& map);
int ApplyAffineWordRowSse2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const AffineMap& map);
int ApplyAffineWordRowAvx2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const AffineMap& map);

// A 1024-entry table of 16-bit samples in the forms the levels' rows look it
// up in: padded by one entry (the AVX2 row gathers four bytes at an entry), and
// as planes of its low and high bytes (AVX-512).
struct WordTable {
    uint16_t padded[1026];
    uint8_t low[1024];
    uint8_t high[1024];
};
// From a lookup table of 1024 entries.
void MakeWordTable(WordTable& out, const uint16_t* table);

// Every 16-bit sample s of `samples` samples becomes table[min(s, 1023)], 16
// (AVX2) or 64 (AVX-512) at a time; returns the number of samples done. With
// keepFourth every fourth sample keeps the output's value. In place allowed.
int ApplyWordTableRowAvx2(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const WordTable& table);
int ApplyWordTableRowAvx512(uint8_t* dst, const uint8_t* src, int samples, bool keepFourth, const WordTable& table);

}  // namespace pixel
