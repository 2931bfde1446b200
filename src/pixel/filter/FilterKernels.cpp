// The image adjustment filters.
#include "pixel/filter/FilterKernels.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "pixel/core/Dispatch.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/RowStripes.h"
#include "pixel/filter/FilterRows.h"

using pixel::Load16;
using pixel::Store16;

// ---- tables ----------------------------------------------------------------

void BuildGammaTable(uint16_t* table, int maxValue, int gamma) {
    double k = gamma <= 100 ? gamma / 100.0 : (gamma - 100) / 10.0 + 1;
    if (k <= 0.001) k = 0.001;
    if (k >= 99.999) k = 99.999;
    std::vector<double> ln(static_cast<size_t>(maxValue) + 1, 0.0);
    for (int j = 1; j <= maxValue; ++j) ln[j] = std::log(static_cast<double>(j));
    const double lnM = ln[maxValue];
    table[0] = 0;
    for (int i = 1; i <= maxValue; ++i) {
        const double y = (ln[i] - lnM) * k + lnM;  // ln of M * (i / M)^k
        if (y < 0) {
            table[i] = 1;
            continue;
        }
        // The smallest n in 2..M-1 with ln(n-1) <= y <= ln(n+1). Since y >= 0 =
        // ln 1 and ln rises, that is the smallest n >= 2 with ln(n+1) >= y (its
        // predecessor's ln(n) < y also bounds ln(n-1)), or M when there is none.
        const auto first = ln.begin() + std::min(3, maxValue + 1);  // ln(n+1) for n = 2..M-1
        const auto it = std::lower_bound(first, ln.end(), y);
        table[i] = static_cast<uint16_t>(it == ln.end() ? maxValue : (it - ln.begin()) - 1);
    }
}

void BuildContrastTable(uint16_t* table, int maxValue, int64_t contrast) {
    // 64-bit and double arithmetic: the contrast curve stays exact for every
    // setting, also one far outside the dialog's range (damaged stored settings). The slope is needed only for c <= v
    // <= M - c, which leaves H - c >= 1 / 2 there.
    const int64_t half = (maxValue + 1) / 2;                                        // H: 128 or 512
    const int64_t c = std::clamp<int64_t>(contrast, INT64_MIN / 4, INT64_MAX / 4);  // M - c cannot overflow
    for (int v = 0; v <= maxValue; ++v) {
        int64_t t;
        if (v < c) {
            t = 0;
        } else if (v > maxValue - c) {
            t = maxValue;
        } else {
            t = static_cast<int64_t>((maxValue + 1) / (2.0 * static_cast<double>(half - c)) *
                                     static_cast<double>(v - c));
        }
        table[v] = static_cast<uint16_t>(std::clamp<int64_t>(t, 0, maxValue));
    }
}

void BuildBrightnessTable(uint16_t* table, int maxValue, int brightness) {
    float f = 1.0f;
    if (brightness > 0) f = 1.0f + static_cast<float>(brightness) * 0.039215688f;
    if (brightness < 0) f = 1.0f - static_cast<float>(-static_cast<int64_t>(brightness)) * 0.003921569f;
    for (int s = 0; s <= maxValue; ++s) {
        const float v = std::clamp(static_cast<float>(s) * f, -1.0f, static_cast<float>(maxValue) + 1.0f);
        table[s] = static_cast<uint16_t>(std::clamp(static_cast<int>(v), 0, maxValue));
    }
}

void BuildSharpnessTable(int16_t* table, int maxValue, int sharpness) {
    // A difference beyond +-M already clips every sample to 0 or M, so the
    // entries are cut to 16 bits without changing any result.
    for (int d = -maxValue; d <= maxValue; ++d)
        table[d + maxValue] = static_cast<int16_t>(std::clamp<int64_t>(int64_t{sharpness} * d / 10, -32768, 32767));
}

// ---- affine tables -----------------------------------------------------------

namespace pixel {

namespace {

// What the rows compute for sample v (0..M), lane by lane, or -1 where a lane
// would overflow: 8-bit samples in 16-bit lanes (u << (16 - shift), the high
// half of the product, packed with unsigned saturation), 16-bit samples in
// 32-bit lanes (the low half of the product, shifted, packed with unsigned
// saturation, limited to M).
int64_t AffineLane(int v, int maxValue, const AffineMap& map) {
    const int64_t u = std::max(v + map.offset, 0);
    if (maxValue == kFilterMax8) {
        const int64_t x = u << (16 - map.shift);
        if (x > 0xFFFF) return -1;
        const int64_t t = (x * map.multiplier) >> 16;
        return t > 0x7FFF ? -1 : std::min<int64_t>(t, kFilterMax8);
    }
    const int64_t product = u * map.multiplier;
    if (product > 0xFFFFFFFFll || (product >> map.shift) > 0x7FFF) return -1;  // SSE2 shifts 16-bit halves
    return std::min<int64_t>(product >> map.shift, kFilterMax10);
}

// The smallest multiplier for this offset and shift, if one gives every entry:
// each entry t < M asks t 2^shift <= u m < (t + 1) 2^shift, the entry M only
// the lower bound, and u = 0 an entry 0.
bool FitMultiplier(const uint16_t* table, int maxValue, int offset, int shift, AffineMap& map) {
    const uint64_t one = uint64_t{1} << shift;
    uint64_t lo = 0, hi = maxValue == kFilterMax8 ? 0xFFFF : 0xFFFFFFFF;
    for (int v = 0; v <= maxValue && lo <= hi; ++v) {
        const uint64_t t = table[v], u = static_cast<uint64_t>(std::max(v + offset, 0));
        if (u == 0) {
            if (t != 0) return false;
            continue;
        }
        lo = std::max(lo, (t * one + u - 1) / u);
        if (t < static_cast<uint64_t>(maxValue)) hi = std::min(hi, ((t + 1) * one - 1) / u);
    }
    if (lo > hi) return false;
    map = {offset, shift, static_cast<uint32_t>(lo)};
    for (int v = 0; v <= maxValue; ++v)
        if (AffineLane(v, maxValue, map) != table[v]) return false;
    return true;
}

}  // namespace

bool FitAffineMap(const uint16_t* table, int maxValue, AffineMap& map) {
    if (maxValue != kFilterMax8 && maxValue != kFilterMax10) return false;
    // Between 0 and M such a map steps up by floor(slope) or one more, never
    // by more than two amounts: most other tables (gamma) end here.
    int least = INT_MAX, most = INT_MIN;
    for (int v = 0; v <= maxValue; ++v) {
        if (table[v] > maxValue) return false;
        if (v > 0 && table[v - 1] > 0 && table[v] < maxValue) {
            least = std::min(least, table[v] - table[v - 1]);
            most = std::max(most, table[v] - table[v - 1]);
        }
    }
    if (least <= most && most - least > 1) return false;
    // Offsets to try: none; minus the last of the leading zeros (contrast
    // above 0); and those near where the line through the first and the last
    // entry between 0 and M meets 0.
    std::vector<int> offsets{0};
    int zeros = 0;
    while (zeros <= maxValue && table[zeros] == 0) ++zeros;
    if (zeros >= 2) offsets.push_back(1 - zeros);
    int v2 = maxValue;
    while (v2 > 0 && table[v2] == maxValue) --v2;
    const int v1 = std::min(zeros, v2);
    if (v2 > v1 && table[v2] > table[v1]) {
        const double slope = static_cast<double>(table[v2] - table[v1]) / (v2 - v1);
        const int guess = static_cast<int>(std::lround(table[v1] / slope)) - v1;
        for (int d = -4; d <= 4; ++d) offsets.push_back(guess + d);
    }
    for (const int offset : offsets) {
        if (offset < -maxValue || offset > maxValue) continue;
        // The largest ratio t / u asks the least multiplier m >= ratio 2^shift;
        // the largest shift whose m still fits the lanes gives the finest steps.
        int64_t num = 0, den = 1;
        for (int v = 0; v <= maxValue; ++v) {
            const int64_t u = std::max(v + offset, 0);
            if (u > 0 && table[v] * den > num * u) num = table[v], den = u;
        }
        const int64_t top = std::max(maxValue + offset, 1);  // the largest u
        int shift = maxValue == kFilterMax8 ? 16 : 31;
        const auto least = [&](int s) { return ((num << s) + den - 1) / den; };
        if (maxValue == kFilterMax8) {
            while (shift > 8 && least(shift) > 0xFFFF) --shift;  // u << (16 - shift) is checked below
        } else {
            while (shift > 1 && least(shift) * top > 0xFFFFFFFFll) --shift;
        }
        if (FitMultiplier(table, maxValue, offset, shift, map)) return true;
    }
    return false;
}

}  // namespace pixel

// ---- lookup kernel (gamma, contrast, brightness) ----------------------------

namespace {

// One sample through the table: table[min(v, M)] (an 8-bit sample is at most M).
template <bool Wide>
inline void LookUp(uint8_t* d, const uint8_t* s, const uint16_t* table) {
    if constexpr (Wide) {
        Store16(d, table[std::min<int>(Load16(s), kFilterMax10)]);
    } else {
        *d = static_cast<uint8_t>(table[*s]);
    }
}

// Pixel by pixel, the first sample (gray) or the first three (colour): the
// straight kernel, and the fast one where the level has no vector row.
template <bool Wide>
void TablePixels(const pixel::KernelRect& k, const uint16_t* table, int minRows) {
    constexpr int kSample = Wide ? 2 : 1;
    const int channels = (k.srcBpp == 1 || k.srcBpp == 2) ? 1 : 3;
    const int dstBpp = k.dstBpp, srcBpp = k.srcBpp;
    pixel::RunRows(k, 1, minRows, pixel::NoVectorRow{}, [=](uint8_t* d, const uint8_t* s, int x) {
        for (int c = 0; c < channels; ++c)
            LookUp<Wide>(d + x * dstBpp + c * kSample, s + x * srcBpp + c * kSample, table);
    });
}

// Rows as streams of samples (the same pixel size on both sides): the
// vector row, then the row's last samples one by one; a fourth sample stays.
template <bool Wide, typename VectorRow>
void TableSamples(const pixel::KernelRect& k, const uint16_t* table, const VectorRow& vectorRow) {
    constexpr int kSample = Wide ? 2 : 1;
    const bool keepFourth = k.srcBpp == 4 * kSample;
    pixel::RunRows(k, k.srcBpp / kSample, 64, vectorRow, [=](uint8_t* d, const uint8_t* s, int i) {
        if (!keepFourth || i % 4 != 3) LookUp<Wide>(d + i * kSample, s + i * kSample, table);
    });
}

// Where the level has no vector lookup: eight bytes (four 16-bit samples) read
// at a time and looked up one by one, a fifth faster than a read per sample.
template <bool KeepFourth>
int ByteTableRowPlain(uint8_t* d, const uint8_t* s, int bytes, const uint8_t* table) {
    int i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, s + i, 8);
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k)
            if (!KeepFourth || k % 4 != 3) d[i + k] = table[(v >> (8 * k)) & 255];
    }
    return i;
}

template <bool KeepFourth>
int WordTableRowPlain(uint8_t* d, const uint8_t* s, int samples, const uint16_t* table) {
    int i = 0;
    for (; i + 4 <= samples; i += 4) {
        uint64_t v;
        std::memcpy(&v, s + 2 * i, 8);
#pragma GCC unroll 4
        for (int k = 0; k < (KeepFourth ? 3 : 4); ++k)
            Store16(d + 2 * (i + k), table[std::min<int>(static_cast<int>((v >> (16 * k)) & 0xFFFF), kFilterMax10)]);
    }
    return i;
}

}  // namespace

int KernelApplyTableReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                              uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                              intptr_t) {
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const uint16_t* table = reinterpret_cast<const uint16_t*>(word1);
    if (FilterMaxValue(srcBpp) == kFilterMax10) {
        TablePixels<true>(k, table, 0);
    } else {
        TablePixels<false>(k, table, 0);
    }
    return 1;
}

int KernelApplyTable(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const uint16_t* table = reinterpret_cast<const uint16_t*>(word1);
    const int bpp = srcBpp;
    const bool wide = FilterMaxValue(bpp) == kFilterMax10;
    if (dstBpp != srcBpp || (bpp != 1 && bpp != 3 && bpp != 4 && !wide))
        return KernelApplyTableReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                         word2);
    const pixel::RowTable& rowsAt = pixel::Rows();
    const bool keepFourth = bpp == 4 || bpp == 8;
    // Contrast and brightness: a few multiplies a vector instead of the lookup.
    const auto affineRow = wide ? rowsAt.affineWords : rowsAt.affineBytes;
    pixel::AffineMap map;
    if (affineRow != nullptr && pixel::FitAffineMap(table, FilterMaxValue(bpp), map)) {
        const auto row = [&](uint8_t* d, const uint8_t* s, int n) { return affineRow(d, s, n, keepFourth, map); };
        if (wide) {
            TableSamples<true>(k, table, row);
        } else {
            TableSamples<false>(k, table, row);
        }
        return 1;
    }
    if (wide) {
        if (rowsAt.wordTable == nullptr) {
            TableSamples<true>(k, table, [table, keepFourth](uint8_t* d, const uint8_t* s, int n) {
                return keepFourth ? WordTableRowPlain<true>(d, s, n, table) : WordTableRowPlain<false>(d, s, n, table);
            });
            return 1;
        }
        pixel::WordTable words;
        pixel::MakeWordTable(words, table);
        TableSamples<true>(k, table, [&](uint8_t* d, const uint8_t* s, int n) {
            return rowsAt.wordTable(d, s, n, keepFourth, words);
        });
        return 1;
    }
    pixel::ByteTable bytes;
    pixel::MakeByteTable(bytes, table);
    if (rowsAt.byteTable == nullptr) {
        // Sample by sample along the row (pixel sizes agree here), about twice
        // as fast as pixel by pixel.
        const uint8_t* entries = bytes.bytes;
        TableSamples<false>(k, table, [entries, keepFourth](uint8_t* d, const uint8_t* s, int n) {
            return keepFourth ? ByteTableRowPlain<true>(d, s, n, entries) : ByteTableRowPlain<false>(d, s, n, entries);
        });
        return 1;
    }
    TableSamples<false>(
        k, table, [&](uint8_t* d, const uint8_t* s, int n) { return rowsAt.byteTable(d, s, n, keepFourth, bytes); });
    return 1;
}

void ComposeTables(uint16_t* first, const uint16_t* then, int maxValue) {
    for (int v = 0; v <= maxValue; ++v) first[v] = then[std::min<int>(first[v], maxValue)];
}

// ---- sharpness ----------------------------------------------------------------

namespace {

template <bool Wide, int Channels>
void Sharpen(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, int dstBpp, int srcBpp,
             int dstStride, int srcStride, const int16_t* diff) {
    constexpr int kMax = Wide ? kFilterMax10 : kFilterMax8;
    const int w = r->right - r->left, h = r->bottom - r->top;
    if (w < 5 || h < 5) return;  // no pixel has two rows and columns on every side
    const uint8_t* s0 = src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp;
    uint8_t* d0 = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    const auto sample = [&](const uint8_t* row, int x, int c) -> int {
        if constexpr (Wide) {
            return std::min<int>(Load16(row + x * srcBpp + 2 * c), kMax);
        } else {
            return row[x * srcBpp + c];
        }
    };
    std::vector<int> columns(static_cast<size_t>(w) * Channels);  // 4-row column sums
    for (int y = 2; y <= h - 3; ++y) {
        const uint8_t* rows[4];
        for (int i = 0; i < 4; ++i) rows[i] = s0 + static_cast<ptrdiff_t>(y - 2 + i) * srcStride;
        for (int x = 0; x <= w - 2; ++x)
            for (int c = 0; c < Channels; ++c)
                columns[x * Channels + c] =
                    sample(rows[0], x, c) + sample(rows[1], x, c) + sample(rows[2], x, c) + sample(rows[3], x, c);
        uint8_t* d = d0 + static_cast<ptrdiff_t>(y) * dstStride;
        for (int x = 2; x <= w - 3; ++x) {
            for (int c = 0; c < Channels; ++c) {
                const int blur = (columns[(x - 2) * Channels + c] + columns[(x - 1) * Channels + c] +
                                  columns[x * Channels + c] + columns[(x + 1) * Channels + c]) >>
                                 4;
                const int v = sample(rows[2], x, c);
                const int out = std::clamp(v + diff[v - blur + kMax], 0, kMax);
                if constexpr (Wide) {
                    Store16(d + x * dstBpp + 2 * c, static_cast<uint16_t>(out));
                } else {
                    d[x * dstBpp + c] = static_cast<uint8_t>(out);
                }
            }
        }
    }
}

}  // namespace

int KernelSharpnessReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                             uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    const int16_t* diff = reinterpret_cast<const int16_t*>(word1);
    switch (srcBpp) {
        case 1:
            Sharpen<false, 1>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, diff);
            break;
        case 2:
            Sharpen<true, 1>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, diff);
            break;
        case 3:
        case 4:
            Sharpen<false, 3>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, diff);
            break;
        case 6:
        case 8:
            Sharpen<true, 3>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, diff);
            break;
        default:
            break;
    }
    return 1;
}

namespace {

// Where one band of output rows [y0, y1) reads the original rows it needs
// from: rows y0 - 2, y0 - 1 (above) and y1 (below) belong to the neighbours.
struct SharpenBand {
    int y0, y1;
    const uint8_t* above[2];
    const uint8_t* below;
};

struct SharpenFrame {
    const uint8_t* s0;  // first source row (the rectangle's corner)
    uint8_t* d0;        // first output row
    int srcStride, dstStride;
    int w, tap, channels, maxValue, sharpness;
    bool wide, inPlace;
    size_t rowBytes;  // bytes of one row of the rectangle
    int (*row)(const pixel::SharpenRowJob&);
    bool keepsColumns;  // the row keeps its column sums from one row to the next
    bool readsOwnRow;   // ... and leaves no tail
    const int16_t* diff;
};

// The samples a vector row left, one by one with the table.
void SharpenTail(const SharpenFrame& f, const pixel::SharpenRowJob& job, int p) {
    const auto sample = [&](const uint8_t* rowStart, int q) {
        return f.wide ? std::min<int>(Load16(rowStart + 2 * q), kFilterMax10) : rowStart[q];
    };
    for (; p < job.end; ++p) {
        if (p % f.tap >= f.channels) continue;
        int box = 0;
        for (int i = 0; i < 4; ++i)
            for (int k = -2; k <= 1; ++k) box += sample(job.rows[i], p + k * f.tap);
        const int v = sample(job.rows[2], p);
        const int out = std::clamp(v + f.diff[v - (box >> 4) + f.maxValue], 0, f.maxValue);
        if (f.wide) {
            Store16(job.dst + 2 * p, static_cast<uint16_t>(out));
        } else {
            job.dst[p] = static_cast<uint8_t>(out);
        }
    }
}

// Sharpened in place, a band keeps the originals of its last rows in a ring
// of five (rows y - 3 .. y + 1 are read while row y is written).
void SharpenRows(const SharpenFrame& f, const SharpenBand& band) {
    constexpr int kRing = 5;
    std::vector<uint8_t> ring(f.inPlace ? kRing * f.rowBytes : 0);
    std::vector<uint16_t> columns(static_cast<size_t>(f.w + 2) * f.tap + 64);
    const auto outRow = [&](int k) { return f.d0 + static_cast<ptrdiff_t>(k) * f.dstStride; };
    const auto kept = [&](int k) { return ring.data() + static_cast<size_t>(k % kRing) * f.rowBytes; };
    const auto original = [&](int k) -> const uint8_t* {
        if (!f.inPlace) return f.s0 + static_cast<ptrdiff_t>(k) * f.srcStride;
        if (k < band.y0) return band.above[k - (band.y0 - 2)];
        if (k >= band.y1) return band.below;
        return kept(k);
    };
    for (int k = band.y0; f.inPlace && k < std::min(band.y0 + 2, band.y1); ++k)
        std::memcpy(kept(k), outRow(k), f.rowBytes);
    for (int y = band.y0; y < band.y1; ++y) {
        const bool entering = f.inPlace && y > band.y0 && y + 1 < band.y1;  // row y + 1 joins the ring now
        pixel::SharpenRowJob job{};
        job.columns = columns.data();
        job.dst = outRow(y);
        job.begin = 2 * f.tap;
        job.end = (f.w - 2) * f.tap;
        job.tap = f.tap;
        job.wide = f.wide;
        job.keepFourth = f.tap == 4;
        job.sharpness = f.sharpness;
        if (f.keepsColumns && y > band.y0) {
            job.enter = entering ? outRow(y + 1) : original(y + 1);
            job.leave = original(y - 3);
            job.save = entering ? kept(y + 1) : nullptr;
            if (y + 4 < band.y1) job.ahead = f.inPlace ? outRow(y + 4) : original(y + 4);
        } else if (entering) {
            std::memcpy(kept(y + 1), outRow(y + 1), f.rowBytes);
        }
        for (int i = 0; i < 3; ++i) job.rows[i] = original(y - 2 + i);
        job.rows[3] = entering && f.keepsColumns ? outRow(y + 1) : original(y + 1);
        // The AVX-512 row (no tail left) reads each sample of row y just before
        // writing it: in place it reads the output row itself, already in the
        // cache for the store.
        if (f.readsOwnRow && f.inPlace) job.rows[2] = outRow(y);
        SharpenTail(f, job, f.row != nullptr ? f.row(job) : job.begin);
    }
}

// The sharpness a difference table was built for, when it is exactly
// BuildSharpnessTable's table for a setting the vector rows cover (|s| up to
// 256 for 8-bit samples, 64 for 10-bit ones, which keeps |s d| below 2^16).
bool VectorSharpness(const int16_t* diff, int maxValue, int& sharpness) {
    const int s = diff[maxValue + 10];  // entry d = 10 is s itself
    if (s < -(maxValue == kFilterMax8 ? 256 : 64) || s > (maxValue == kFilterMax8 ? 256 : 64)) return false;
    for (int d = -maxValue; d <= maxValue; ++d)
        if (diff[d + maxValue] != s * d / 10) return false;
    sharpness = s;
    return true;
}

}  // namespace

int KernelSharpness(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                    uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const int16_t* diff = reinterpret_cast<const int16_t*>(word1);
    const int bpp = srcBpp;
    const bool wide = bpp == 2 || bpp == 6 || bpp == 8;
    const int w = r->right - r->left, h = r->bottom - r->top;
    if ((bpp != 1 && bpp != 3 && bpp != 4 && !wide) || w < 5 || h < 5) return 1;  // nothing to write
    SharpenFrame f{};
    f.s0 = src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp;
    f.d0 = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    f.rowBytes = static_cast<size_t>(w) * bpp;
    f.inPlace = f.d0 == f.s0 && dstStride == srcStride && dstBpp == srcBpp;
    // An output that overlaps the source any other way reads a copy of it.
    std::vector<uint8_t> held;
    const auto span = [&](const uint8_t* p, int stride, int pixelBytes) {
        const auto a = reinterpret_cast<uintptr_t>(p) + std::min<ptrdiff_t>(0, static_cast<ptrdiff_t>(h - 1) * stride);
        return std::pair{a, a + static_cast<uintptr_t>(std::abs(static_cast<ptrdiff_t>(h - 1) * stride)) +
                                static_cast<uintptr_t>(w) * pixelBytes};
    };
    const auto [s1, s2] = span(f.s0, srcStride, srcBpp);
    const auto [d1, d2] = span(f.d0, dstStride, dstBpp);
    if (!f.inPlace && s1 < d2 && d1 < s2) {
        held.resize(f.rowBytes * h);
        for (int y = 0; y < h; ++y)
            std::memcpy(held.data() + y * f.rowBytes, f.s0 + static_cast<ptrdiff_t>(y) * srcStride, f.rowBytes);
        f.s0 = held.data();
        srcStride = static_cast<int>(f.rowBytes);
    }
    if (dstBpp != srcBpp) {
        const PixRect whole{0, 0, w, h};
        return KernelSharpnessReference(f.d0, f.s0, &whole, 0, 0, dstBpp, srcBpp, dstStride, srcStride, word1, word2);
    }
    f.srcStride = srcStride;
    f.dstStride = dstStride;
    f.w = w;
    f.wide = wide;
    f.tap = bpp / (wide ? 2 : 1);  // samples per pixel
    f.channels = f.tap == 1 ? 1 : 3;
    f.maxValue = wide ? kFilterMax10 : kFilterMax8;
    f.diff = diff;
    const pixel::RowTable& rowsAt = pixel::Rows();
    if (rowsAt.sharpen != nullptr && VectorSharpness(diff, f.maxValue, f.sharpness)) {
        f.keepsColumns = rowsAt.sharpenKeepsColumns;
        f.readsOwnRow = rowsAt.sharpenReadsOwnRow;
        f.row = rowsAt.sharpen;
    }
    // Bands of output rows 2 .. h - 3 side by side. In place, the original
    // rows each band needs from its neighbours are kept before any is written.
    const int rows = h - 4;
    const int count = std::clamp(rows / 64, 1, pixel::StripeLimit());
    std::vector<SharpenBand> bands(static_cast<size_t>(count));
    std::vector<uint8_t> edges(f.inPlace ? 3 * f.rowBytes * (count - 1) : 0);
    for (int i = 0; i < count; ++i) {
        SharpenBand& b = bands[static_cast<size_t>(i)];
        b.y0 = 2 + static_cast<int>(static_cast<int64_t>(rows) * i / count);
        b.y1 = 2 + static_cast<int>(static_cast<int64_t>(rows) * (i + 1) / count);
        if (!f.inPlace) continue;
        // Rows 0, 1 and h - 2 are never written: the outer bands read them directly.
        b.above[0] = f.d0;
        b.above[1] = f.d0 + dstStride;
        b.below = f.d0 + static_cast<ptrdiff_t>(h - 2) * dstStride;
        if (i > 0) {
            uint8_t* keep = edges.data() + 3 * f.rowBytes * (i - 1);  // rows y0 - 2, y0 - 1, y0
            for (int k = 0; k < 3; ++k)
                std::memcpy(keep + k * f.rowBytes, f.d0 + static_cast<ptrdiff_t>(b.y0 - 2 + k) * dstStride, f.rowBytes);
            b.above[0] = keep;
            b.above[1] = keep + f.rowBytes;
            bands[static_cast<size_t>(i) - 1].below = keep + 2 * f.rowBytes;
        }
    }
    pixel::ForEachStripe(count, 1, [&](int first, int end) {
        for (int i = first; i < end; ++i) SharpenRows(f, bands[static_cast<size_t>(i)]);
    });
    return 1;
}

// ---- hue and saturation ------------------------------------------------------

namespace {

// Reciprocal table R[k] = 16711680 / k (k = 1..255), R[0] = 0.
constexpr std::array<int32_t, 256> kReciprocal = [] {
    std::array<int32_t, 256> t{};
    for (int k = 1; k < 256; ++k) t[k] = 16711680 / k;
    return t;
}();

// The process-wide chroma table S[k] = (32768 + k (saturation + 256) 256) >> 16,
// shared by all sessions and rebuilt when a run asks for another saturation.
// The lock keeps two sessions with different saturations from reading a
// half-rebuilt table; each run copies it once and then works lock-free.
std::mutex gChromaLock;
int64_t gChromaSaturation = INT64_MIN;  // no table built yet
std::array<int32_t, 256> gChroma{};

std::array<int32_t, 256> ChromaSnapshot(int saturation) {
    std::lock_guard<std::mutex> lock(gChromaLock);
    if (saturation != gChromaSaturation) {
        // In 64 bits for any stored setting. Below -256 the saturation formula
        // would give a negative chroma (channels outside 0..255): no chroma at all is the
        // least a picture can have. Above 511 an entry changes nothing, as the
        // chroma is limited to at most 255 by Qmax anyway.
        for (int k = 0; k < 256; ++k) {
            const int64_t chroma = (32768 + int64_t{k} * (int64_t{saturation} + 256) * 256) >> 16;
            gChroma[k] = static_cast<int32_t>(std::clamp<int64_t>(chroma, 0, 511));
        }
        gChromaSaturation = saturation;
    }
    return gChroma;
}

// Rotation of the hue in hexcone steps (0..1529, 255 per sixth); only the low
// 8 bits of the hue count.
int HueRotation(int hue) {
    const int u = (hue & 255) * 6;
    int r = u & 511;
    if (r > 255) r -= 512;
    const int p = ((u + 256) >> 9) % 3;
    int rot = p * 510 + r;
    if (rot < 0) rot += 1530;
    if (rot >= 1530) rot -= 1530;
    return rot;
}

inline void Hexcone(int& b, int& g, int& r, int rot, const std::array<int32_t, 256>& chroma) {
    int base, d, mx, candidate;
    if (r >= g) {
        base = 1, d = g - b, mx = r, candidate = g;
    } else {
        base = 3, d = b - r, mx = g, candidate = r;
    }
    if (mx < b) base = 5, d = r - g, mx = b;
    const int mn = std::min(candidate, b);
    const int q = mx - mn, l = mx + mn;
    const int qNew = std::min(chroma[q], l <= 255 ? l : 511 - l);
    const int lo = (l - qNew) >> 1;
    const int span = ((qNew + l) >> 1) - lo;
    if (q == 0) {
        b = g = r = lo;
        return;
    }
    int s = base - (d < 0 ? 1 : 0) + rot / 255;
    int f = ((kReciprocal[q] * (d + (d < 0 ? q : 0)) + 32768) >> 16) + rot % 255;
    if (f > 254) f -= 255, ++s;
    const int t = (span * f + 128) >> 8;
    switch (s % 6) {
        case 0:
            b = lo + span - t, g = lo, r = lo + span;
            break;
        case 1:
            b = lo, g = lo + t, r = lo + span;
            break;
        case 2:
            b = lo, g = lo + span, r = lo + span - t;
            break;
        case 3:
            b = lo + t, g = lo + span, r = lo;
            break;
        case 4:
            b = lo + span, g = lo + span - t, r = lo;
            break;
        default:
            b = lo + span, g = lo, r = lo + t;
            break;
    }
}

}  // namespace

void HueSaturationPixel(uint8_t& blue, uint8_t& green, uint8_t& red, int hue, int saturation) {
    const auto chroma = ChromaSnapshot(saturation);
    int b = blue, g = green, r = red;
    Hexcone(b, g, r, HueRotation(hue), chroma);
    blue = static_cast<uint8_t>(b), green = static_cast<uint8_t>(g), red = static_cast<uint8_t>(r);
}

namespace {

// One pixel through the hexcone: 8-bit channels as they are, 10-bit ones in
// as min(v, 1023) >> 2 and out as v8 << 2 | v8 >> 6.
template <bool Wide>
inline void HuePixel(uint8_t* d, const uint8_t* s, int rot, const std::array<int32_t, 256>& chroma) {
    int channel[3];
    for (int c = 0; c < 3; ++c) channel[c] = Wide ? std::min<int>(Load16(s + 2 * c), kFilterMax10) >> 2 : s[c];
    Hexcone(channel[0], channel[1], channel[2], rot, chroma);
    for (int c = 0; c < 3; ++c) {
        const int v = channel[c];
        if constexpr (Wide) {
            Store16(d + 2 * c, static_cast<uint16_t>(v << 2 | v >> 6));
        } else {
            d[c] = static_cast<uint8_t>(v);
        }
    }
}

template <bool Wide, typename VectorRow>
void HuePixels(const pixel::KernelRect& k, int rot, const std::array<int32_t, 256>& chroma, int minRows,
               const VectorRow& vectorRow) {
    const int dstBpp = k.dstBpp, srcBpp = k.srcBpp;
    const std::array<int32_t, 256>* table = &chroma;
    pixel::RunRows(k, 1, minRows, vectorRow, [=](uint8_t* d, const uint8_t* s, int x) {
        HuePixel<Wide>(d + x * dstBpp, s + x * srcBpp, rot, *table);
    });
}

}  // namespace

int KernelHueSaturationReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                                 uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                 intptr_t) {
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const auto* params = reinterpret_cast<const HueSatParams*>(word1);
    const auto chroma = ChromaSnapshot(params->saturation);
    const int rot = HueRotation(params->hue);
    if (srcBpp == 6 || srcBpp == 8) {
        HuePixels<true>(k, rot, chroma, 0, pixel::NoVectorRow{});
    } else if (srcBpp == 3 || srcBpp == 4) {
        HuePixels<false>(k, rot, chroma, 0, pixel::NoVectorRow{});
    }
    return 1;
}

int KernelHueSaturation(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                        uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    const auto* params = reinterpret_cast<const HueSatParams*>(word1);
    const int saturation = params->saturation;
    const bool wide = srcBpp == 6 || srcBpp == 8;
    if ((srcBpp != 3 && srcBpp != 4 && !wide) || dstBpp != srcBpp)
        return KernelHueSaturationReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                            word2);
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const auto chroma = ChromaSnapshot(saturation);  // the shared table follows the last run, as on the straight path
    const int rot = HueRotation(params->hue);
    auto vectorRow = pixel::Rows().hueSaturation;
    if (saturation < -256 || saturation > 256) vectorRow = nullptr;  // beyond the vector rows' settings
    const auto row = [&](uint8_t* d, const uint8_t* s, int n) {
        return vectorRow != nullptr ? vectorRow(d, s, n, srcBpp, saturation, rot) : 0;
    };
    if (wide) {
        HuePixels<true>(k, rot, chroma, 32, row);
    } else {
        HuePixels<false>(k, rot, chroma, 32, row);
    }
    return 1;
}
