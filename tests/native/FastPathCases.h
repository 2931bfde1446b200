// The vector and multi-band paths of the pixel core against the straight
// kernels they replace: the same bytes, on random pictures of odd and tiny
// sizes, padded and unpadded rows, every Bayer phase and extreme parameters.
// Included by the native test (under the sanitizers) and by the Windows test
// (the DLL's own compiler, run under wine).
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PixelTestUtil.h"
#include "pixel/DemosaicKernels.h"
#include "pixel/RowStripes.h"
#include "pixel/SimdLevel.h"

namespace fastpath {

using testutil::Image;

// Runs body once for every vector level this processor has and for one and
// three bands of rows; the levels and bands are restored afterwards.
inline void ForEachPath(const std::function<void(const std::string&)>& body) {
    std::vector<pixel::SimdLevel> levels{pixel::SimdLevel::Sse2};
    if (pixel::DetectedSimdLevel() == pixel::SimdLevel::Avx2) levels.push_back(pixel::SimdLevel::Avx2);
    for (const auto level : levels) {
        for (const int bands : {1, 3}) {
            pixel::SetSimdCeiling(level);
            pixel::SetStripeCeiling(bands);
            body("level " + std::to_string(static_cast<int>(level)) + ", bands " + std::to_string(bands));
        }
    }
    pixel::SetSimdCeiling(pixel::SimdLevel::Avx2);
    pixel::SetStripeCeiling(0);
}

// Widths around every vector width (8, 16 pixels plus the two border columns
// on each side) and heights around the band split.
inline const std::vector<int>& Widths() {
    static const std::vector<int> w{1, 2, 3, 5, 6, 11, 12, 13, 19, 20, 21, 22, 23, 36, 37, 38, 53, 71};
    return w;
}
inline const std::vector<int>& Heights() {
    static const std::vector<int> h{1, 2, 3, 4, 5, 6, 7, 9, 140};
    return h;
}

inline std::string Where(const std::string& path, int w, int h, bool tight) {
    return path + ", " + std::to_string(w) + "x" + std::to_string(h) + (tight ? " unpadded" : " padded");
}

// ---- demosaicing ----------------------------------------------------------------

// Both kernels over the same random output picture (its fourth bytes must
// survive), fast then straight, compared byte for byte.
inline void CompareDemosaic(const Image& src, int dstBpp, bool tight, const BayerParams& p, const std::string& where) {
    const bool wide = src.bpp == 2;
    Image fast(src.width, src.height, dstBpp, tight), straight(src.width, src.height, dstBpp, tight);
    testutil::FillRandom(fast, 7);
    straight.bytes = fast.bytes;
    const auto params = reinterpret_cast<intptr_t>(&p);
    testutil::RunWhole(wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8, fast, src, params);
    testutil::RunWhole(wide ? KernelDemosaicInterior16Reference : KernelDemosaicInterior8Reference, straight, src,
                       params);
    ASSERT_EQ(fast.bytes, straight.bytes)
        << where << ", bpp " << dstBpp << ", phase " << p.mode << ", gains " << p.gainRed << "/" << p.gainBlue;
}

TEST(FastPaths, DemosaicMatchesTheStraightKernelOnEverySizePhaseAndGain) {
    const BayerParams gains[] = {{0, 100, 100, 100},   {0, 0, 100, 0},      {0, 400, 100, 37},
                                 {0, 1599, 100, 1599}, {0, 1600, 100, 100}, {0, -5, 100, 100000}};
    ForEachPath([&](const std::string& path) {
        for (const bool tight : {false, true})
            for (const int w : Widths())
                for (const int h : Heights()) {
                    Image raw8(w, h, 1, tight), raw16(w, h, 2, tight);
                    testutil::FillRandom(raw8, static_cast<uint32_t>(w * 131 + h));
                    testutil::FillRandom16(raw16, static_cast<uint32_t>(w * 17 + h), 1023);
                    for (int phase = 0; phase < 4; ++phase)
                        for (BayerParams p : gains) {
                            p.mode = phase;
                            const std::string where = Where(path, w, h, tight);
                            CompareDemosaic(raw8, 3, tight, p, where);
                            CompareDemosaic(raw8, 4, tight, p, where);
                            CompareDemosaic(raw16, 6, tight, p, where);
                            CompareDemosaic(raw16, 8, tight, p, where);
                        }
                }
    });
}

TEST(FastPaths, Demosaic16KeepsSamplesAboveTenBitsExact) {
    // Samples the camera never sends (up to 4095 still fits the vector sums;
    // above that the row falls back) must give the straight kernel's bytes.
    ForEachPath([&](const std::string& path) {
        for (const int maxValue : {4095, 65535}) {
            Image raw(53, 9, 2);
            testutil::FillRandom16(raw, 99, 1023);
            raw.set16(30, 4, maxValue);  // one wild sample in the middle of a row
            Image all(37, 7, 2);
            testutil::FillRandom16(all, 5, maxValue);
            for (int phase = 0; phase < 4; ++phase) {
                const BayerParams p{phase, 250, 100, 80};
                CompareDemosaic(raw, 6, false, p, path + ", one sample " + std::to_string(maxValue));
                CompareDemosaic(all, 8, false, p, path + ", all up to " + std::to_string(maxValue));
            }
        }
    });
}

}  // namespace fastpath
