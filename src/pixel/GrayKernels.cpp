// Gray modes of the monochrome output.
#include "pixel/GrayKernels.h"

#include <algorithm>
#include <cstddef>

#include "pixel/Bayer.h"
#include "pixel/FilterSimd.h"
#include "pixel/GraySimd.h"
#include "pixel/KernelRows.h"
#include "pixel/RowStripes.h"
#include "pixel/SimdLevel.h"

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

int KernelGrayCorrection(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                         uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    const GrayParams& p = *reinterpret_cast<const GrayParams*>(word1);
    // One table per site class: trunc(v * gain / 128) + offset, clipped.
    uint8_t table[4][256];
    for (int c = 0; c < 4; ++c) {
        int gain = 128, offset = 0;
        ClassGainOffset(p, static_cast<BayerClass>(c), gain, offset);
        for (int v = 0; v < 256; ++v)
            table[c][v] = static_cast<uint8_t>(std::clamp<int64_t>(int64_t{v} * gain / 128 + offset, 0, 255));
    }
    const int phase = p.mode & 3;
    int y = 0;
    pixel::ForEachRow<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                             [&](uint8_t* d, const uint8_t* s, int m) {
                                 const uint8_t* even = table[static_cast<int>(BayerClassAt(phase, 0, y))];
                                 const uint8_t* odd = table[static_cast<int>(BayerClassAt(phase, 1, y))];
                                 int x = 0;
                                 for (; x + 1 < m; x += 2) {
                                     d[x * dstBpp] = even[s[x * srcBpp]];
                                     d[(x + 1) * dstBpp] = odd[s[(x + 1) * srcBpp]];
                                 }
                                 if (x < m) d[x * dstBpp] = even[s[x * srcBpp]];
                                 ++y;
                             });
    return 1;
}

void MeasureGrayGains(const uint8_t* bits, int width, int height, int stride, GrayParams* params) {
    uint64_t sum[4] = {0, 0, 0, 0};
    uint64_t count[4] = {0, 0, 0, 0};
    const int phase = params->mode & 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const uint8_t v = row[x];
            if (v == 0 || v == 255) continue;  // black and saturated sites say nothing about the gain
            const int c = static_cast<int>(BayerClassAt(phase, x, y));
            sum[c] += v;
            ++count[c];
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

int KernelGrayFromColorReference(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow,
                                 uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    pixel::ForEachRow<false>(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride,
                             [&](uint8_t* d, const uint8_t* s, int m) {
                                 for (int x = 0; x < m; ++x, d += dstBpp, s += srcBpp) {
                                     const int gray = (59 * s[1] + 30 * s[2] + 11 * s[0]) / 100;
                                     d[0] = static_cast<uint8_t>(std::min(gray, 255));
                                 }
                             });
    return 1;
}

int KernelGrayFromColor(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                        uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    if (dstBpp != 1 || (srcBpp != 3 && srcBpp != 4))
        return KernelGrayFromColorReference(dst, src, r, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1,
                                            word2);
    if (pixel::ActiveSimdLevel() < pixel::SimdLevel::Avx2)
        return pixel::KernelInStripes(KernelGrayFromColorReference, dst, src, r, dstCol, dstRow, dstBpp, srcBpp,
                                      dstStride, srcStride, word1, word2);
    const int rows = r->bottom - r->top;
    const bool wide = pixel::ActiveSimdLevel() >= pixel::SimdLevel::Avx512;
    pixel::ForEachStripe(rows, 64, [&](int first, int end) {
        const PixRect band{r->left, r->top + first, r->right, r->top + end};
        pixel::ForEachRow<false>(dst, src, &band, dstCol, dstRow + first, dstBpp, srcBpp, dstStride, srcStride,
                                 [&](uint8_t* d, const uint8_t* s, int m) {
                                     int done = wide ? pixel::GrayFromColorRowAvx512(d, s, m, srcBpp) : 0;
                                     done += pixel::GrayFromColorRowAvx2(d + done, s + done * srcBpp, m - done, srcBpp);
                                     for (int x = done; x < m; ++x) {
                                         const uint8_t* p = s + x * srcBpp;
                                         d[x] = static_cast<uint8_t>((59 * p[1] + 30 * p[2] + 11 * p[0]) / 100);
                                     }
                                 });
    });
    return 1;
}
