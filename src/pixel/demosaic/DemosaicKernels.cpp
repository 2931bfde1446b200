// Bayer interpolation: each output pixel is the colour at the corner shared by
// the sites (x-1, y-1) and (x, y), interpolated bilinearly from the four
// nearest sites of each colour with weights 9, 3, 3, 1 (sixteenths).
#include "pixel/demosaic/DemosaicKernels.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pixel/core/Dispatch.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdCommon.h"
#include "pixel/demosaic/Bayer.h"
#include "pixel/demosaic/DemosaicRows.h"
#include "pixel/output/FrameCopy.h"

namespace {

// The white-balance gain in percent as an integer factor (128 = unity),
// trunc(1.28 * gain) in double precision. A negative gain (only from damaged
// stored settings) gives no colour. From 2048 * (Max + 1) on every non-zero sum
// already clips to Max, so larger factors are cut there: the result is the
// same and every product stays within the accumulator (32 bits for 8-bit
// sums of at most 16 x 255, 64 bits for 16-bit sums).
template <typename T>
int64_t GainFactor(int32_t gain) {
    constexpr double kSaturating = 2048.0 * ((sizeof(T) == 1 ? 255 : 1023) + 1);
    return static_cast<int64_t>(std::clamp(1.28 * gain, 0.0, kSaturating));
}

template <typename T>
inline int Load(const uint8_t* p) {
    if constexpr (sizeof(T) == 1) {
        return *p;
    } else {
        return pixel::Load16(p);
    }
}

// The three sums of the interpolation for a site of class C; P(dx, dy) reads
// the site at (x + dx, y + dy), dx and dy in -2..1.
struct Sums {
    int blue, green, red;
};

template <BayerClass C, typename Get>
inline Sums SumsAt(const Get& P) {
    // Same colour as the site: itself and its same-colour neighbours up and left.
    const auto own = [&] { return 9 * P(0, 0) + 3 * P(-2, 0) + 3 * P(0, -2) + P(-2, -2); };
    // The diagonal colour: the four diagonal neighbours.
    const auto diagonal = [&] { return 9 * P(-1, -1) + 3 * P(-1, 1) + 3 * P(1, -1) + P(1, 1); };
    // On a green site: the colour of the left/right neighbours, and of the up/down neighbours.
    const auto horizontal = [&] { return 9 * P(-1, 0) + 3 * P(1, 0) + 3 * P(-1, -2) + P(1, -2); };
    const auto vertical = [&] { return 9 * P(0, -1) + 3 * P(0, 1) + 3 * P(-2, -1) + P(-2, 1); };
    if constexpr (C == BayerClass::Red) {
        return {diagonal(), P(-1, 0) + P(0, -1), own()};
    } else if constexpr (C == BayerClass::Blue) {
        return {own(), P(-1, 0) + P(0, -1), diagonal()};
    } else if constexpr (C == BayerClass::Green1) {
        return {horizontal(), P(-1, -1) + P(0, 0), vertical()};
    } else {
        return {vertical(), P(-1, -1) + P(0, 0), horizontal()};
    }
}

// Writes blue, green, red: (B * kb) >> 11, G >> 1, (R * kr) >> 11, each at most
// Max. Acc holds the products: 32 bits suffice for 8-bit sums (at most
// 16 x 255 times at most 2^19) and for 16-bit sums (below 2^20) with factors
// below 2048, the gains users can set; larger factors on 16-bit sums take 64.
template <typename T, typename Acc>
inline void StorePixel(uint8_t* d, const Sums& s, int64_t kb, int64_t kr) {
    constexpr int kMax = sizeof(T) == 1 ? 255 : 1023;
    const int blue = static_cast<int>(std::min<Acc>((s.blue * static_cast<Acc>(kb)) >> 11, kMax));
    const int green = std::min(s.green >> 1, kMax);
    const int red = static_cast<int>(std::min<Acc>((s.red * static_cast<Acc>(kr)) >> 11, kMax));
    if constexpr (sizeof(T) == 1) {
        d[0] = static_cast<uint8_t>(blue);
        d[1] = static_cast<uint8_t>(green);
        d[2] = static_cast<uint8_t>(red);
    } else {
        pixel::Store16(d, static_cast<uint16_t>(blue));
        pixel::Store16(d + 2, static_cast<uint16_t>(green));
        pixel::Store16(d + 4, static_cast<uint16_t>(red));
    }
}

struct Frame {
    uint8_t* dst;
    const uint8_t* src;
    int width, height;
    int dstBpp, srcBpp;
    ptrdiff_t dstStride, srcStride;
    int phase;
    int64_t kb, kr;
};

template <typename T>
Frame MakeFrame(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1) {
    const auto* params = reinterpret_cast<const BayerParams*>(word1);
    Frame f;
    f.dst = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + static_cast<ptrdiff_t>(dstCol) * dstBpp;
    f.src = src + static_cast<ptrdiff_t>(r->top) * srcStride + static_cast<ptrdiff_t>(r->left) * srcBpp;
    f.width = r->right - r->left;
    f.height = r->bottom - r->top;
    f.dstBpp = dstBpp;
    f.srcBpp = srcBpp;
    f.dstStride = dstStride;
    f.srcStride = srcStride;
    f.phase = params ? params->mode & 3 : 0;
    f.kb = GainFactor<T>(params ? params->gainBlue : 100);
    f.kr = GainFactor<T>(params ? params->gainRed : 100);
    return f;
}

// One interior row from x = first (even, at least 2) to w - 3, the classes
// alternating CEven (even x) and COdd.
template <typename T, typename Acc, BayerClass CEven, BayerClass COdd>
void InteriorRow(const Frame& f, int y, int first = 2) {
    const uint8_t* rows[4];
    for (int i = 0; i < 4; ++i) rows[i] = f.src + (y - 2 + i) * f.srcStride;
    const int bpp = f.srcBpp;
    uint8_t* d = f.dst + y * f.dstStride + first * static_cast<ptrdiff_t>(f.dstBpp);
    const int last = f.width - 3;
    int x = first;
    for (; x <= last; x += 2, d += 2 * f.dstBpp) {
        const auto atEven = [&](int dx, int dy) { return Load<T>(rows[dy + 2] + (x + dx) * bpp); };
        StorePixel<T, Acc>(d, SumsAt<CEven>(atEven), f.kb, f.kr);
        if (x + 1 > last) break;
        const auto atOdd = [&](int dx, int dy) { return Load<T>(rows[dy + 2] + (x + 1 + dx) * bpp); };
        StorePixel<T, Acc>(d + f.dstBpp, SumsAt<COdd>(atOdd), f.kb, f.kr);
    }
}

// The row y from x = first on, the straight way.
template <typename T, typename Acc>
void InteriorRowFrom(const Frame& f, int y, int first) {
    switch (BayerClassAt(f.phase, 0, y)) {
        case BayerClass::Green1:
            InteriorRow<T, Acc, BayerClass::Green1, BayerClass::Blue>(f, y, first);
            break;
        case BayerClass::Blue:
            InteriorRow<T, Acc, BayerClass::Blue, BayerClass::Green1>(f, y, first);
            break;
        case BayerClass::Red:
            InteriorRow<T, Acc, BayerClass::Red, BayerClass::Green2>(f, y, first);
            break;
        case BayerClass::Green2:
            InteriorRow<T, Acc, BayerClass::Green2, BayerClass::Red>(f, y, first);
            break;
    }
}

template <typename T, typename Acc>
int InteriorWith(const Frame& f) {
    for (int y = 2; y <= f.height - 3; ++y) InteriorRowFrom<T, Acc>(f, y, 2);
    return 1;
}

// The straight kernel: the reference for the vector rows below.
template <typename T>
int InteriorReference(const Frame& f) {
    const bool narrow = sizeof(T) == 1 || (f.kb < 2048 && f.kr < 2048);
    return narrow ? InteriorWith<T, int32_t>(f) : InteriorWith<T, int64_t>(f);
}

using RowFn = int (*)(const pixel::DemosaicRowJob&);

// The vector row function for this frame, or null where only the straight
// kernel applies (large factors, other pixel sizes, no vector unit).
template <typename T>
RowFn VectorRow(const Frame& f) {
    if (f.kb >= 2048 || f.kr >= 2048) return nullptr;
    const bool eight = sizeof(T) == 1;
    if (eight ? (f.srcBpp != 1 || (f.dstBpp != 3 && f.dstBpp != 4))
              : (f.srcBpp != 2 || (f.dstBpp != 6 && f.dstBpp != 8)))
        return nullptr;
    return eight ? pixel::Rows().demosaic8 : pixel::Rows().demosaic16;
}

// The vector row's job for the interior row y, output at `dst`.
pixel::DemosaicRowJob RowJob(const Frame& f, int y, uint8_t* dst) {
    pixel::DemosaicRowJob job;
    for (int i = 0; i < 4; ++i) job.rows[i] = f.src + (y - 2 + i) * f.srcStride;
    job.dst = dst;
    job.width = f.width;
    job.dstBpp = f.dstBpp;
    // The block left of and above an even x: its blue site by the class at (x, y).
    const BayerClass c = BayerClassAt(f.phase, 0, y);
    job.blueTop = c == BayerClass::Red || c == BayerClass::Green2;
    job.blueRight = c == BayerClass::Blue || c == BayerClass::Green2;
    job.kb = static_cast<uint32_t>(f.kb);
    job.kr = static_cast<uint32_t>(f.kr);
    return job;
}

// Rows are independent: bands of rows run side by side, each row by vectors
// as far as they fit and the rest of it the straight way.
template <typename T>
int Interior(const Frame& f) {
    const RowFn vectorRow = VectorRow<T>(f);
    if (vectorRow == nullptr || f.height < 5) return InteriorReference<T>(f);
    // A large 24-bit picture is written past the caches: it is larger than
    // they are, and stores that skip them do not first read each line.
    const bool stream =
        sizeof(T) == 1 && f.dstBpp == 3 && int64_t{f.width} * f.height * f.dstBpp >= pixel::simd::kStreamBytes;
    pixel::ForEachStripe(f.height - 4, 64, [&](int first, int end) {
        for (int y = 2 + first; y < 2 + end; ++y) {
            pixel::DemosaicRowJob job = RowJob(f, y, f.dst + y * f.dstStride);
            job.stream = stream;
            const int x = vectorRow(job);
            InteriorRowFrom<T, int32_t>(f, y, x);
        }
        if (stream) _mm_sfence();
    });
    return 1;
}

// A neighbour coordinate outside 0..n-1 is taken four sites further inside,
// which keeps its colour. Pictures of fewer than four rows or columns cannot
// always do that; there the nearest coordinate of the same parity inside is
// taken, and for a single row or column the only one there is.
inline int Fold(int c, int n) {
    if (c >= 0 && c < n) return c;
    c += c < 0 ? 4 : -4;
    if (c >= 0 && c < n) return c;
    if (n == 1) return 0;
    const int parity = c & 1;
    if (c < 0) return parity;
    return ((n - 1) & 1) == parity ? n - 1 : n - 2;
}

template <typename T>
void BorderPixel(const Frame& f, int x, int y) {
    const auto at = [&](int dx, int dy) {
        return Load<T>(f.src + Fold(y + dy, f.height) * f.srcStride + Fold(x + dx, f.width) * f.srcBpp);
    };
    uint8_t* d = f.dst + y * f.dstStride + static_cast<ptrdiff_t>(x) * f.dstBpp;
    switch (BayerClassAt(f.phase, x, y)) {
        case BayerClass::Red:
            StorePixel<T, int64_t>(d, SumsAt<BayerClass::Red>(at), f.kb, f.kr);
            break;
        case BayerClass::Blue:
            StorePixel<T, int64_t>(d, SumsAt<BayerClass::Blue>(at), f.kb, f.kr);
            break;
        case BayerClass::Green1:
            StorePixel<T, int64_t>(d, SumsAt<BayerClass::Green1>(at), f.kb, f.kr);
            break;
        case BayerClass::Green2:
            StorePixel<T, int64_t>(d, SumsAt<BayerClass::Green2>(at), f.kb, f.kr);
            break;
    }
}

// Every pixel the interior pass leaves out: x < 2, x > w - 3, y < 2 or y > h - 3.
template <typename T>
int Border(const Frame& f) {
    const int w = f.width, h = f.height;
    for (int y = 0; y < h; ++y) {
        if (y < 2 || y > h - 3) {
            for (int x = 0; x < w; ++x) BorderPixel<T>(f, x, y);
        } else {
            for (int x = 0; x < std::min(2, w); ++x) BorderPixel<T>(f, x, y);
            for (int x = std::max(2, w - 2); x < w; ++x) BorderPixel<T>(f, x, y);
        }
    }
    return 1;
}

}  // namespace

int DemosaicWithCopy8To24(uint8_t* dst, const uint8_t* src, int width, int height, int dstStride, int srcStride,
                          const BayerParams& params, uint8_t* copy, bool bottomUp) {
    if (width <= 0 || height <= 0) return 1;
    const PixRect whole{0, 0, width, height};
    const auto word1 = reinterpret_cast<intptr_t>(&params);
    const Frame f = MakeFrame<uint8_t>(dst, src, &whole, 0, 0, 3, 1, dstStride, srcStride, word1);
    // The copying row where the frame has vector rows at all (factors below 2048).
    const RowFn vectorRow = height >= 5 && VectorRow<uint8_t>(f) != nullptr ? pixel::Rows().demosaic8Copy : nullptr;
    if (vectorRow == nullptr) {
        // One pass after the other.
        Interior<uint8_t>(f);
        Border<uint8_t>(f);
        CopyFrameRows(copy, dst, static_cast<size_t>(dstStride), static_cast<size_t>(height), bottomUp);
        return 1;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3, stride = static_cast<size_t>(dstStride);
    const bool stream = int64_t{height} * dstStride >= pixel::simd::kStreamBytes;
    pixel::ForEachStripe(height, 64, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            uint8_t* const out = dst + static_cast<ptrdiff_t>(y) * dstStride;
            uint8_t* const to = copy + static_cast<ptrdiff_t>(bottomUp ? height - 1 - y : y) * dstStride;
            if (y < 2 || y > height - 3) {
                for (int x = 0; x < width; ++x) BorderPixel<uint8_t>(f, x, y);
                std::memcpy(to, out, stride);
                continue;
            }
            // The vectors write both rows; the rest of the row is made in the
            // output and copied from there (with the padding).
            pixel::DemosaicRowJob job = RowJob(f, y, out);
            job.stream = stream;
            job.copy = to;
            const int x = vectorRow(job);
            InteriorRowFrom<uint8_t, int32_t>(f, y, x);
            for (int b = 0; b < std::min(2, width); ++b) BorderPixel<uint8_t>(f, b, y);
            for (int b = std::max(2, width - 2); b < width; ++b) BorderPixel<uint8_t>(f, b, y);
            const size_t head = std::min<size_t>(6, rowBytes);
            const size_t done = std::min(static_cast<size_t>(x) * 3, rowBytes);
            std::memcpy(to, out, head);
            std::memcpy(to + done, out + done, stride - done);
        }
        if (stream) _mm_sfence();
    });
    return 1;
}

int KernelDemosaicInterior8(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                            uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    return Interior<uint8_t>(
        MakeFrame<uint8_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

int KernelDemosaicInterior8Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                     uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                     intptr_t) {
    return InteriorReference<uint8_t>(
        MakeFrame<uint8_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

int KernelDemosaicBorder8(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                          uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    return Border<uint8_t>(
        MakeFrame<uint8_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

int KernelDemosaicInterior16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                             uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    return Interior<uint16_t>(
        MakeFrame<uint16_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

int KernelDemosaicInterior16Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                      uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                      intptr_t) {
    return InteriorReference<uint16_t>(
        MakeFrame<uint16_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

int KernelDemosaicBorder16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                           uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t) {
    return Border<uint16_t>(
        MakeFrame<uint16_t>(dst, src, srcRect, dstCol, dstRow, dstBpp, srcBpp, dstStride, srcStride, word1));
}

WhiteBalanceGains MeasureWhiteBalance(const uint8_t* bits, int width, int height, int stride, int bytesPerSample,
                                      int phase, WhiteBalanceGains current) {
    // Sums and counts per class, indexed by BayerClass.
    uint64_t sum[4] = {0, 0, 0, 0};
    uint64_t count[4] = {0, 0, 0, 0};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * stride;
        uint64_t even = 0, odd = 0;
        for (int x = 0; x + 1 < width; x += 2) {
            if (bytesPerSample == 2) {
                even += pixel::Load16(row + 2 * x);
                odd += pixel::Load16(row + 2 * x + 2);
            } else {
                even += row[x];
                odd += row[x + 1];
            }
        }
        if (width & 1) even += bytesPerSample == 2 ? pixel::Load16(row + 2 * (width - 1)) : row[width - 1];
        const auto evenClass = static_cast<int>(BayerClassAt(phase, 0, y));
        const auto oddClass = static_cast<int>(BayerClassAt(phase, 1, y));
        sum[evenClass] += even;
        count[evenClass] += static_cast<uint64_t>((width + 1) / 2);
        sum[oddClass] += odd;
        count[oddClass] += static_cast<uint64_t>(width / 2);
    }
    const auto mean = [&](uint64_t s, uint64_t n) { return n ? static_cast<double>(s) / static_cast<double>(n) : 0.0; };
    const int green1 = static_cast<int>(BayerClass::Green1), green2 = static_cast<int>(BayerClass::Green2);
    const double mG = mean(sum[green1] + sum[green2], count[green1] + count[green2]);
    const double mB = mean(sum[static_cast<int>(BayerClass::Blue)], count[static_cast<int>(BayerClass::Blue)]);
    const double mR = mean(sum[static_cast<int>(BayerClass::Red)], count[static_cast<int>(BayerClass::Red)]);
    if (mG <= 0.0) return current;  // no reference: both ratios undefined
    const double s = mG + mB + mR;
    const double k = (s / mG) / 3;
    // trunc, limited to what an int32_t holds (a tiny class mean gives a huge ratio).
    const auto gain = [&](double m) { return static_cast<int32_t>(std::min(((s / m) / 3 * 100) / k, 2147483647.0)); };
    WhiteBalanceGains result = current;
    if (mB > 0.0) result.blue = gain(mB);
    if (mR > 0.0) result.red = gain(mR);
    return result;
}
