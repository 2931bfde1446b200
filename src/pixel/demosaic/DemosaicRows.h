// Vector versions of the interior Bayer interpolation, one output row at a
// time. They give exactly the bytes of the scalar kernel (DemosaicKernels.cpp)
// and are called only for the cases they cover: blue and red factors below
// 2048 (every gain a user can set) and 3/4-byte (8-bit) or 6/8-byte (16-bit)
// output pixels.
#pragma once
#include <cstdint>

namespace pixel {

// One interior output row y of the picture: the four source rows y - 2 .. y + 1
// (each at column 0), the output row (at column 0), the picture width, and
// where the colours of the 2 x 2 block left and above of an even column x lie.
struct DemosaicRowJob {
    const uint8_t* rows[4];
    uint8_t* dst;
    int width;
    int dstBpp;
    bool blueTop;     // blue in row y - 1 (red in row y), else the reverse
    bool blueRight;   // for even x: blue in column x (red in x - 1), else the reverse
    uint32_t kb, kr;  // factors, below 2048
    // 24-bit output of a whole large picture: the AVX2 row may write it past
    // the caches (the caller then ends the picture with _mm_sfence).
    bool stream = false;
    // Where the row that copies (RowTable::demosaic8Copy) also writes every
    // pixel it computes: a second output row (24-bit), or null.
    uint8_t* copy = nullptr;
};

// The four source rows of a job and where blue and red are read from: a
// colour's sites in the block's upper row (y - 1) pair with row y + 1, its sites
// in the lower row (y) with row y - 2. For a structured binding in each row kernel.
template <bool BlueTop>
struct BayerRows {
    const uint8_t* above2;  // y - 2
    const uint8_t* above;   // y - 1
    const uint8_t* row;     // y
    const uint8_t* below;   // y + 1
    const uint8_t* blueSite;
    const uint8_t* bluePartner;
    const uint8_t* redSite;
    const uint8_t* redPartner;
    explicit BayerRows(const DemosaicRowJob& j)
        : above2(j.rows[0]),
          above(j.rows[1]),
          row(j.rows[2]),
          below(j.rows[3]),
          blueSite(BlueTop ? above : row),
          bluePartner(BlueTop ? below : above2),
          redSite(BlueTop ? row : above),
          redPartner(BlueTop ? above2 : below) {}
};

// Each computes the pixels x = 2, 3, ... while a whole vector fits and returns
// the first x it did not compute (an even number; 2 when none).
int DemosaicRow8Sse2(const DemosaicRowJob& job);
int DemosaicRow8Avx2(const DemosaicRowJob& job);
// 16-bit samples: a vector holding a sample above 4095 is left to the caller
// (returned as not computed), as the 16-bit sums would not hold it.
int DemosaicRow16Sse2(const DemosaicRowJob& job);
int DemosaicRow16Avx2(const DemosaicRowJob& job);
// 64-byte vectors; the rest of the row by the AVX2 rows.
int DemosaicRow8Avx512(const DemosaicRowJob& job);
int DemosaicRow16Avx512(const DemosaicRowJob& job);
// The AVX2 rows from an even x >= 2 on (the pixels before it already done).
int DemosaicRow8Avx2From(const DemosaicRowJob& job, int x);
int DemosaicRow16Avx2From(const DemosaicRowJob& job, int x);

}  // namespace pixel
