// Gray modes of the monochrome output.
#include "pixel/gray/GrayKernels.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>

#include "pixel/core/Dispatch.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/demosaic/Bayer.h"
#include "pixel/gray/GrayRows.h"

namespace {

// Gain and offset of the sites of one class; the user-facing names are
// crossed over for the blue and red sites.
void ClassGainOffset(const GrayParams& p, BayerClass c, int& gain, int& offset) {
    switch (c) {
        case BayerClass::Blue:
            gain = p.gainR, offset = p.offsetR;
            break;
        case BayerClass::Green1:
            gain = p.gainG1, offset = p.offsetG1;
            break;
        case BayerClass::Green2:
            gain = p.gainG2, offset = p.offsetG2;
            break;
        case BayerClass::Red:
            gain = p.gainB, offset = p.offsetB;
            break;
    }
}

}  // namespace

namespace {

// The vector rows look the bytes up straight from the row's start, so the
// mosaic must be one byte per site on both sides.
template <bool Vector>
int GrayCorrection(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                   uint16_t srcBpp, int dstStride, int srcStride, const GrayParams& p) {
    // One table per site class: trunc(v * gain / 128) + offset, clipped.
    uint8_t table[4][256];
    int gain[4], offset[4];
    for (int c = 0; c < 4; ++c) {
        ClassGainOffset(p, static_cast<BayerClass>(c), gain[c], offset[c]);
        for (int v = 0; v < 256; ++v)
            table[c][v] = static_cast<uint8_t>(std::clamp<int64_t>(int64_t{v} * gain[c] / 128 + offset[c], 0, 255));
    }
    const auto vectorRow = Vector && dstBpp == 1 && srcBpp == 1 ? pixel::Rows().grayCorrection : nullptr;
    const int phase = p.mode & 3;
    int y = 0;
    pixel::ForEachRow<false>(
        dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, [&](uint8_t* d, const uint8_t* s, int m) {
            const int even = static_cast<int>(BayerClassAt(phase, 0, y));
            const int odd = static_cast<int>(BayerClassAt(phase, 1, y));
            int x = 0;
            if (vectorRow != nullptr) {
                const pixel::GraySites sites{
                    {table[even], table[odd]}, {gain[even], gain[odd]}, {offset[even], offset[odd]}};
                x = vectorRow(d, s, m, sites);
            }
            for (; x < m; ++x) d[x * dstBpp] = table[(x & 1) ? odd : even][s[x * srcBpp]];
            ++y;
        });
    return 1;
}

}  // namespace

int KernelGrayCorrection(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                         uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    return GrayCorrection<true>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                                *reinterpret_cast<const GrayParams*>(word1));
}

int KernelGrayCorrectionReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                                  uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                  intptr_t) {
    return GrayCorrection<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                                 *reinterpret_cast<const GrayParams*>(word1));
}

namespace {

// Sums and counts of the usable samples (not 0, not 255) of one row's even and
// odd columns; each column parity is one site class.
struct ParitySums {
    uint64_t sum[2] = {0, 0};
    uint64_t count[2] = {0, 0};
};

// 16 columns a step: the unusable samples are masked to 0, and the byte sums
// of even and odd columns (and of a 1 per usable sample) come from sums of
// absolute differences against zero.
ParitySums SumRow(const uint8_t* row, int width) {
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi8(-1);
    const __m128i evenBytes = _mm_set1_epi16(0x00FF), one = _mm_set1_epi8(1);
    __m128i sumEven = zero, sumOdd = zero, countEven = zero, countOdd = zero;
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        const __m128i unusable = _mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, full));
        const __m128i kept = _mm_andnot_si128(unusable, v), counted = _mm_andnot_si128(unusable, one);
        sumEven = _mm_add_epi64(sumEven, _mm_sad_epu8(_mm_and_si128(kept, evenBytes), zero));
        sumOdd = _mm_add_epi64(sumOdd, _mm_sad_epu8(_mm_srli_epi16(kept, 8), zero));
        countEven = _mm_add_epi64(countEven, _mm_sad_epu8(_mm_and_si128(counted, evenBytes), zero));
        countOdd = _mm_add_epi64(countOdd, _mm_sad_epu8(_mm_srli_epi16(counted, 8), zero));
    }
    const auto total = [](__m128i v) {
        return static_cast<uint64_t>(_mm_cvtsi128_si64(v)) +
               static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
    };
    ParitySums s;
    s.sum[0] = total(sumEven), s.sum[1] = total(sumOdd);
    s.count[0] = total(countEven), s.count[1] = total(countOdd);
    for (; x < width; ++x) {
        const uint8_t v = row[x];
        if (v == 0 || v == 255) continue;  // black and saturated sites say nothing about the gain
        s.sum[x & 1] += v;
        ++s.count[x & 1];
    }
    return s;
}

}  // namespace

void MeasureGrayGains(const uint8_t* bits, int width, int height, int stride, GrayParams* params) {
    uint64_t sum[4] = {0, 0, 0, 0};
    uint64_t count[4] = {0, 0, 0, 0};
    const int phase = params->mode & 3;
    for (int y = 0; y < height; ++y) {
        const ParitySums s = SumRow(bits + static_cast<ptrdiff_t>(y) * stride, width);
        for (int parity = 0; parity < 2; ++parity) {
            const int c = static_cast<int>(BayerClassAt(phase, parity, y));
            sum[c] += s.sum[parity];
            count[c] += s.count[parity];
        }
    }
    // Means in single precision (the sum divided in double first, so that a
    // full frame's sum keeps its digits).
    const auto mean = [&](BayerClass c) {
        const int i = static_cast<int>(c);
        return count[i] ? static_cast<float>(static_cast<double>(sum[i]) / static_cast<double>(count[i])) : 0.0f;
    };
    const float m0 = mean(BayerClass::Green1);
    if (m0 <= 0.0f) return;  // no reference: every ratio undefined, keep the gains
    const auto ratio = [&](BayerClass c, int32_t& gain) {
        const float m = mean(c);
        if (m > 0.0f) gain = static_cast<int32_t>(m0 / m * 128.0f);
    };
    ratio(BayerClass::Blue, params->gainR);
    params->gainG1 = 128;
    ratio(BayerClass::Green2, params->gainG2);
    ratio(BayerClass::Red, params->gainB);
}

namespace {

// Gray from one colour pixel (blue, green, red).
inline void GrayPixel(uint8_t* d, const uint8_t* p) {
    d[0] = static_cast<uint8_t>(std::min((59 * p[1] + 30 * p[2] + 11 * p[0]) / 100, 255));
}

}  // namespace

int KernelGrayFromColorReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                                 uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const int outBytes = dstBpp, inBytes = srcBpp;
    pixel::RunRows(k, 1, 0, pixel::NoVectorRow{},
                   [=](uint8_t* d, const uint8_t* s, int x) { GrayPixel(d + x * outBytes, s + x * inBytes); });
    return 1;
}

int KernelGrayFromColor(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                        uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    if (dstBpp != 1 || (srcBpp != 3 && srcBpp != 4))
        return KernelGrayFromColorReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                            word2);
    const pixel::KernelRect k{dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride};
    const auto vectorRow = pixel::Rows().grayFromColor;
    // A large picture is written past the caches, each band ended by a store fence.
    const int rows = r->bottom - r->top;
    const bool stream = vectorRow != nullptr && int64_t{r->right - r->left} * rows >= pixel::simd::kStreamBytes;
    const auto vector = [&](uint8_t* d, const uint8_t* s, int n) {
        return vectorRow != nullptr ? vectorRow(d, s, n, srcBpp, stream) : 0;
    };
    const auto unit = [pixelBytes = int{srcBpp}](uint8_t* d, const uint8_t* s, int x) {
        GrayPixel(d + x, s + x * pixelBytes);
    };
    if (!stream) {
        pixel::RunRows(k, 1, 64, vector, unit);
        return 1;
    }
    pixel::ForEachStripe(rows, 64, [&](int first, int end) {
        const PixRect band{r->left, r->top + first, r->right, r->top + end};
        pixel::KernelRect part = k;
        part.r = &band;
        part.dstRow = dstRow + first;
        pixel::RunRows(part, 1, 0, vector, unit);
        _mm_sfence();
    });
    return 1;
}
