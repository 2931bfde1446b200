// The vector and multi-band paths of the pixel core against the straight
// kernels they replace: the same bytes, on random pictures of odd and tiny
// sizes, padded and unpadded rows, every Bayer phase and extreme parameters.
// Included by the native test (under the sanitizers) and by the Windows test
// (the DLL's own compiler, run under wine).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "PixelTestUtil.h"
#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdLevel.h"
#include "pixel/demosaic/DemosaicKernels.h"
#include "pixel/filter/FilterKernels.h"
#include "pixel/gray/GrayKernels.h"
#include "pixel/output/FrameCopy.h"
#include "pixel/output/OutputKernels.h"
#include "pixel/placement/DualOutput.h"
#include "pixel/placement/PlacementKernels.h"

namespace fastpath {

using testutil::Image;

// Runs body once for every vector level this processor has and for one and
// three bands of rows; the levels and bands are restored afterwards.
inline void ForEachPath(const std::function<void(const std::string&)>& body) {
    std::vector<pixel::SimdLevel> levels{pixel::SimdLevel::Sse2};
    for (const auto l : {pixel::SimdLevel::Avx2, pixel::SimdLevel::Avx512})
        if (pixel::DetectedSimdLevel() >= l) levels.push_back(l);
    for (const auto level : levels) {
        for (const int bands : {1, 3}) {
            pixel::SetSimdCeiling(level);
            pixel::SetStripeCeiling(bands);
            body("level " + std::to_string(static_cast<int>(level)) + ", bands " + std::to_string(bands));
        }
    }
    pixel::SetSimdCeiling(pixel::SimdLevel::Avx512);
    pixel::SetStripeCeiling(0);
}

// Widths around every vector width (8, 16 pixels plus the two border columns
// on each side) and heights around the band split.
inline const std::vector<int>& Widths() {
    static const std::vector<int> w{1, 2, 3, 5, 6, 11, 12, 13, 19, 20, 21, 22, 23, 36, 37, 38, 53, 71};
    return w;
}
// The widths above and some beyond the 64-pixel steps of the widest vectors.
inline const std::vector<int>& WidthsWithWide() {
    static const std::vector<int> w = [] {
        std::vector<int> all = Widths();
        all.insert(all.end(), {67, 68, 69, 70, 133, 198});
        return all;
    }();
    return w;
}
inline const std::vector<int>& Heights() {
    static const std::vector<int> h{1, 2, 3, 4, 5, 6, 7, 9, 140};
    return h;
}

inline std::string Where(const std::string& path, int w, int h, bool tight) {
    return path + ", " + std::to_string(w) + "x" + std::to_string(h) + (tight ? " unpadded" : " padded");
}

// ---- bands of rows --------------------------------------------------------------------

TEST(FastPaths, BandsCoverEveryRowExactlyOnce) {
    for (const int limit : {1, 2, 3, 16})
        for (const int rows : {0, 1, 5, 63, 64, 129, 1000})
            for (const int minRows : {1, 64}) {
                pixel::SetStripeCeiling(limit);
                std::vector<int> seen(static_cast<size_t>(rows), 0);
                std::vector<std::pair<int, int>> bands(32, {-1, -1});
                std::atomic<int> count{0};
                pixel::ForEachStripe(rows, minRows, [&](int first, int end) {
                    for (int y = first; y < end; ++y) ++seen[static_cast<size_t>(y)];
                    bands[static_cast<size_t>(count++)] = {first, end};
                });
                pixel::SetStripeCeiling(0);
                const std::string where = std::to_string(rows) + " rows, limit " + std::to_string(limit) +
                                          ", at least " + std::to_string(minRows);
                EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), rows) << where;
                // No more bands than allowed, none shorter than asked unless there is only one.
                EXPECT_LE(count.load(), std::max(1, std::min(limit, rows / minRows))) << where;
                for (int i = 0; i < count.load() && count.load() > 1; ++i) {
                    EXPECT_GE(bands[i].second - bands[i].first, minRows) << where;
                }
            }
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
            for (const int w : WidthsWithWide())
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

TEST(FastPaths, DemosaicOfAPictureLargerThanTheCachesMatchesTheStraightKernel) {
    // 24-bit output of this size is written past the caches from the first
    // aligned pixel of each row on; unpadded rows of an odd width also start
    // at odd addresses, where no pixel is aligned.
    ForEachPath([&](const std::string& path) {
        for (const bool tight : {false, true}) {
            Image raw(2731, 1030, 1, tight);
            testutil::FillRandom(raw, 3);
            for (const int phase : {0, 3}) {
                const BayerParams p{phase, 137, 100, 83};
                CompareDemosaic(raw, 3, tight, p, Where(path, raw.width, raw.height, tight));
            }
        }
    });
}

// The picture and its copy made together against the two kernels and the
// copy after them: the same bytes in both places, padding included.
inline void CompareDemosaicWithCopy(const Image& raw, bool tight, const BayerParams& p, const std::string& where) {
    const int w = raw.width, h = raw.height;
    Image together(w, h, 3, tight), apart(w, h, 3, tight);
    testutil::FillRandom(together, 8);
    apart.bytes = together.bytes;
    std::vector<uint8_t> copy(together.bytes.size()), want(copy.size());
    for (const bool bottomUp : {false, true}) {
        std::fill(copy.begin(), copy.end(), uint8_t{0x5A});
        ASSERT_EQ(DemosaicWithCopy8To24(together.bits(), raw.bits(), w, h, together.stride, raw.stride, p, copy.data(),
                                        bottomUp),
                  1);
        const auto params = reinterpret_cast<intptr_t>(&p);
        testutil::RunWhole(KernelDemosaicInterior8, apart, raw, params);
        testutil::RunWhole(KernelDemosaicBorder8, apart, raw, params);
        CopyFrameRows(want.data(), apart.bits(), static_cast<size_t>(apart.stride), static_cast<size_t>(h), bottomUp);
        ASSERT_EQ(together.bytes, apart.bytes) << where << ", phase " << p.mode;
        ASSERT_EQ(copy, want) << where << ", phase " << p.mode << (bottomUp ? ", last row first" : "");
    }
}

TEST(FastPaths, DemosaicWithCopyGivesThePictureAndItsCopy) {
    const BayerParams gains[] = {{0, 100, 100, 100}, {0, 1600, 100, 37}};
    ForEachPath([&](const std::string& path) {
        for (const bool tight : {false, true})
            for (const int w : WidthsWithWide())
                for (const int h : {1, 2, 3, 5, 6, 140}) {
                    Image raw(w, h, 1, tight);
                    testutil::FillRandom(raw, static_cast<uint32_t>(w * 7 + h));
                    for (int phase = 0; phase < 4; ++phase)
                        for (BayerParams p : gains) {
                            p.mode = phase;
                            CompareDemosaicWithCopy(raw, tight, p, Where(path, w, h, tight));
                        }
                }
    });
    // Large enough to be written past the caches; the rows of the copy (last
    // first) lie at other offsets from a 16-byte boundary than the picture's.
    Image raw(2731, 1030, 1);
    testutil::FillRandom(raw, 6);
    ForEachPath([&](const std::string& path) {
        if (pixel::ActiveSimdLevel() == pixel::SimdLevel::Avx2 || path.find("bands 1") != std::string::npos)
            CompareDemosaicWithCopy(raw, false, {1, 137, 100, 83}, path + ", 2731x1030");
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

// ---- adjustment filters -----------------------------------------------------------

// The fast kernel from `copy` into another picture and in place on a copy of
// it, against the straight kernel from `copy`: the same bytes.
inline void CompareSharpness(const Image& copy, int sharpness, const std::string& where) {
    const int maxValue = FilterMaxValue(copy.bpp);
    std::vector<int16_t> diff(2 * maxValue + 1);
    BuildSharpnessTable(diff.data(), maxValue, sharpness);
    const auto table = reinterpret_cast<intptr_t>(diff.data());
    Image fast(copy.width, copy.height, copy.bpp, copy.stride == copy.width * copy.bpp);
    testutil::FillRandom(fast, 9);
    Image straight = fast;
    testutil::RunWhole(KernelSharpness, fast, copy, table);
    testutil::RunWhole(KernelSharpnessReference, straight, copy, table);
    ASSERT_EQ(fast.bytes, straight.bytes) << where << ", sharpness " << sharpness;
    Image inPlace = copy, fromCopy = copy;
    testutil::RunInPlace(KernelSharpness, inPlace, table);
    testutil::RunWhole(KernelSharpnessReference, fromCopy, copy, table);
    ASSERT_EQ(inPlace.bytes, fromCopy.bytes) << where << ", in place, sharpness " << sharpness;
}

TEST(FastPaths, SharpnessMatchesTheStraightKernelForEveryFormatAndSetting) {
    // Settings inside and beyond the vector range (256 for 8-bit, 64 for 10-bit
    // samples), negative ones from damaged settings, and 16-bit samples above
    // 1023. Widths up to 40 meet every vector tail and the two-column border;
    // 300 is long enough for the vectors that run behind the column sums.
    const int settings[] = {0, 1, 12, 30, -7, 64, 65, 256, 257, 100000, -300};
    struct Case {
        int w, h;
        bool everySetting;
    };
    std::vector<Case> cases;
    for (const int w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22, 35, 36, 37, 38, 39, 40})
        for (const int h : {1, 4, 5, 6, 7, 9})
            if (w <= 6 || h <= 6 || (w + h) % 3 == 0) cases.push_back({w, h, true});
    // Long rows and bands of rows (140: two bands, 200: three).
    for (const Case c : {Case{300, 7, false}, Case{71, 9, false}, Case{40, 140, false}, Case{21, 200, false}})
        cases.push_back(c);
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {1, 2, 3, 4, 6, 8})
            for (const bool tight : {false, true})
                for (const Case c : cases) {
                    const std::string where = Where(path, c.w, c.h, tight) + ", bpp " + std::to_string(bpp);
                    Image copy(c.w, c.h, bpp, tight);
                    testutil::FillRandom(copy, static_cast<uint32_t>(c.w * 31 + c.h * 7 + bpp));
                    if ((bpp == 2 || bpp == 6 || bpp == 8) && c.w % 2 == 0) {
                        // Else every 16-bit value: most are above 1023 (read as 1023).
                        testutil::FillRandom16(copy, static_cast<uint32_t>(c.w + c.h), 1023);
                        copy.set16(c.w / 2, c.h / 2, 4000);
                    }
                    for (const int sharpness : settings)
                        if (c.everySetting || sharpness == 12 || sharpness == -7 || sharpness == 257)
                            CompareSharpness(copy, sharpness, where);
                }
    });
}

TEST(FastPaths, SharpnessIntoAnOverlappingPlaceReadsTheOriginal) {
    // The output one row and one column off its source in the same buffer:
    // every sample is read before any is written over.
    for (const int bpp : {1, 3, 8}) {
        const int w = 45, h = 30, maxValue = FilterMaxValue(bpp);
        std::vector<int16_t> diff(2 * maxValue + 1);
        BuildSharpnessTable(diff.data(), maxValue, 20);
        const auto table = reinterpret_cast<intptr_t>(diff.data());
        Image shared(w, h, bpp);
        testutil::FillRandom(shared, 3);
        Image expected = shared;
        const PixRect rect{0, 0, w - 1, h - 1};
        KernelSharpnessReference(expected.bits(), shared.bits(), &rect, 1, 1, static_cast<uint16_t>(bpp),
                                 static_cast<uint16_t>(bpp), expected.stride, shared.stride, table, 0);
        KernelSharpness(shared.bits(), shared.bits(), &rect, 1, 1, static_cast<uint16_t>(bpp),
                        static_cast<uint16_t>(bpp), shared.stride, shared.stride, table, 0);
        ASSERT_EQ(shared.bytes, expected.bytes) << "bpp " << bpp;
    }
}

TEST(FastPaths, HueSaturationMatchesTheStraightKernelForEveryHueAndSaturation) {
    const int hues[] = {0, 1, 40, 128, 255, 256, -1, 360};
    const int saturations[] = {0, 30, -255, 255, -256, 256, 257, -300};
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {3, 4, 6, 8})
            for (const int w : {1, 15, 16, 17, 31, 33, 50, 64, 79})  // around 16 and 32 pixels a vector
                for (const int h : {1, 3, 70, 200}) {
                    if (h == 200 && w != 17) continue;  // one picture tall enough for three bands
                    Image src(w, h, bpp, h == 3);       // three rows unpadded, the others padded
                    // 16-bit: any sample in one row (mostly above 1023), 0..1100 in the others.
                    if (bpp <= 4 || h == 1) {
                        testutil::FillRandom(src, static_cast<uint32_t>(w * 5 + h + bpp));
                    } else {
                        testutil::FillRandom16(src, static_cast<uint32_t>(w * 5 + h + bpp), 1100);
                    }
                    // Gray, black, white and saturated pixels besides the random ones.
                    const uint8_t corners[][3] = {{0, 0, 0}, {255, 255, 255}, {7, 7, 7}, {255, 0, 0}, {0, 255, 255}};
                    for (int i = 0; i < 5 && i < w; ++i)
                        for (int c = 0; c < 3; ++c) {
                            if (bpp <= 4) {
                                src.set8(i, 0, corners[i][c], c);
                            } else {
                                src.set16(i, 0, corners[i][c] << 2, c);
                            }
                        }
                    for (const int hue : hues)
                        for (const int saturation : saturations) {
                            const HueSatParams p{hue, 0, saturation, 10};
                            const auto params = reinterpret_cast<intptr_t>(&p);
                            Image fast = src, straight = src;  // in place, as the session runs it
                            testutil::RunInPlace(KernelHueSaturation, fast, params);
                            testutil::RunInPlace(KernelHueSaturationReference, straight, params);
                            ASSERT_EQ(fast.bytes, straight.bytes) << path << ", " << w << "x" << h << ", bpp " << bpp
                                                                  << ", hue " << hue << ", saturation " << saturation;
                            Image to(w, h, bpp), toStraight(w, h, bpp);
                            testutil::FillRandom(to, 4);
                            toStraight.bytes = to.bytes;
                            testutil::RunWhole(KernelHueSaturation, to, src, params);
                            testutil::RunWhole(KernelHueSaturationReference, toStraight, src, params);
                            ASSERT_EQ(to.bytes, toStraight.bytes) << path << ", into another buffer, bpp " << bpp;
                        }
                }
    });
}

// Every 24-bit colour once (a 4096 x 4096 picture) through each vector level,
// and every hue and every saturation of the fast range (and far beyond it) on
// a small random picture.
TEST(FastPaths, HueSaturationMatchesTheStraightKernelForEveryColourHueAndSaturation) {
    std::vector<pixel::SimdLevel> levels{pixel::SimdLevel::Sse2};
    for (const auto l : {pixel::SimdLevel::Avx2, pixel::SimdLevel::Avx512})
        if (pixel::DetectedSimdLevel() >= l) levels.push_back(l);
    Image colours(4096, 4096, 3);
    for (int y = 0; y < 4096; ++y)
        for (int x = 0; x < 4096; ++x)
            for (int c = 0; c < 3; ++c) colours.set8(x, y, (y * 4096 + x) >> (8 * c) & 255, c);
    for (const auto& [hue, saturation] : {std::pair{40, 30}, {1, 256}, {200, -256}, {128, -97}, {77, 255}}) {
        const HueSatParams p{hue, 0, saturation, 10};
        const auto params = reinterpret_cast<intptr_t>(&p);
        Image straight = colours;
        testutil::RunInPlace(KernelHueSaturationReference, straight, params);
        for (const auto level : levels) {
            pixel::SetSimdCeiling(level);
            Image fast(4096, 4096, 3);
            testutil::RunWhole(KernelHueSaturation, fast, colours, params);
            EXPECT_TRUE(fast.bytes == straight.bytes)
                << "level " << static_cast<int>(level) << ", hue " << hue << ", saturation " << saturation;
        }
        pixel::SetSimdCeiling(pixel::SimdLevel::Avx512);
    }

    std::vector<std::pair<int, int>> settings;
    for (int hue = -1; hue <= 256; ++hue) settings.emplace_back(hue, hue % 7 * 80 - 256);
    for (int saturation = -258; saturation <= 258; ++saturation) settings.emplace_back(saturation * 3, saturation);
    for (const int far : {INT_MIN, INT_MIN + 1, -65536, 65536, INT_MAX}) {
        settings.emplace_back(far, 0);
        settings.emplace_back(40, far);
    }
    for (const int bpp : {3, 4}) {
        Image src(37, 3, bpp);
        testutil::FillRandom(src, 9);
        for (const auto level : levels) {
            pixel::SetSimdCeiling(level);
            for (const auto& [hue, saturation] : settings) {
                const HueSatParams p{hue, 0, saturation, 10};
                Image fast = src, straight = src;
                testutil::RunInPlace(KernelHueSaturation, fast, reinterpret_cast<intptr_t>(&p));
                testutil::RunInPlace(KernelHueSaturationReference, straight, reinterpret_cast<intptr_t>(&p));
                ASSERT_EQ(fast.bytes, straight.bytes) << "level " << static_cast<int>(level) << ", bpp " << bpp
                                                      << ", hue " << hue << ", saturation " << saturation;
            }
        }
    }
    pixel::SetSimdCeiling(pixel::SimdLevel::Avx512);
}

// The lookup tables of the three table filters at settings across their
// ranges and beyond, plus an arbitrary one.
inline std::vector<std::vector<uint16_t>> Tables(int maxValue) {
    std::vector<std::vector<uint16_t>> tables;
    const auto add = [&](auto build) {
        tables.emplace_back(maxValue + 1);
        build(tables.back().data());
    };
    for (const int g : {0, 50, 140, 200}) add([&](uint16_t* t) { BuildGammaTable(t, maxValue, g); });
    for (const int c : {-127, 64, 1000}) add([&](uint16_t* t) { BuildContrastTable(t, maxValue, c); });
    for (const int b : {-255, 20, 255}) add([&](uint16_t* t) { BuildBrightnessTable(t, maxValue, b); });
    std::mt19937 rng(1);
    add([&](uint16_t* t) {
        for (int v = 0; v <= maxValue; ++v) t[v] = static_cast<uint16_t>(rng() % (maxValue + 1));
    });
    return tables;
}

TEST(FastPaths, TableLookupMatchesTheStraightKernel) {
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {1, 2, 3, 4, 6, 8}) {
            const int maxValue = FilterMaxValue(bpp);
            auto tables = Tables(maxValue);
            if (maxValue == kFilterMax10) {  // entries of all 16 bits
                std::mt19937 rng(2);
                tables.emplace_back(maxValue + 1);
                for (auto& entry : tables.back()) entry = static_cast<uint16_t>(rng());
            }
            for (const bool tight : {false, true})
                for (const int w : Widths())
                    for (const int h : {1, 2, 130}) {
                        if (h == 130 && w % 3 != 0) continue;  // bands: a few widths suffice
                        Image src(w, h, bpp, tight);
                        testutil::FillRandom(src, static_cast<uint32_t>(w * 13 + h + bpp));
                        if (maxValue == kFilterMax10) {  // mostly 10-bit samples, some above: read as 1023
                            testutil::FillRandom16(src, static_cast<uint32_t>(w + h), 1100);
                            src.set16(w - 1, h - 1, 65535, bpp / 2 - 1);
                        }
                        for (const auto& table : tables) {
                            const auto word = reinterpret_cast<intptr_t>(table.data());
                            const std::string where = Where(path, w, h, tight) + ", bpp " + std::to_string(bpp);
                            Image fast = src, straight = src;
                            testutil::RunInPlace(KernelApplyTable, fast, word);
                            testutil::RunInPlace(KernelApplyTableReference, straight, word);
                            ASSERT_EQ(fast.bytes, straight.bytes) << where << ", in place";
                            Image to(w, h, bpp, tight);  // its fourth bytes or samples must survive
                            testutil::FillRandom(to, 8);
                            Image toStraight = to;
                            testutil::RunWhole(KernelApplyTable, to, src, word);
                            testutil::RunWhole(KernelApplyTableReference, toStraight, src, word);
                            ASSERT_EQ(to.bytes, toStraight.bytes) << where;
                        }
                    }
        }
    });
}

// Every contrast and brightness setting (computed, or looked up where the
// table is no exact affine map) on pictures holding every sample value.
TEST(FastPaths, ContrastAndBrightnessMatchTheStraightKernelForEverySetting) {
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {1, 2, 3, 4, 6, 8}) {
            const int maxValue = FilterMaxValue(bpp);
            const int samplesPerPixel = bpp == 1 || bpp == 2 ? 1 : (maxValue == kFilterMax10 ? bpp / 2 : bpp);
            const int w = 37, h = (maxValue + 1) * 5 / 4 / (w * samplesPerPixel) + 2;
            Image src(w, h, bpp);
            int n = 0;  // every value 0..M in turn, then some above M (read as M)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < samplesPerPixel; ++c, ++n) {
                        if (maxValue == kFilterMax10) {
                            src.set16(x, y, n <= maxValue ? n : 1000 + n * 7 % 64000, c);
                        } else {
                            src.bytes[static_cast<size_t>(y) * src.stride + x * bpp + c] = static_cast<uint8_t>(n);
                        }
                    }
            std::vector<uint16_t> table(static_cast<size_t>(maxValue) + 1);
            const auto compare = [&](const std::string& what) {
                const auto word = reinterpret_cast<intptr_t>(table.data());
                Image fast = src, straight = src;
                testutil::RunInPlace(KernelApplyTable, fast, word);
                testutil::RunInPlace(KernelApplyTableReference, straight, word);
                ASSERT_EQ(fast.bytes, straight.bytes) << path << ", bpp " << bpp << ", " << what;
            };
            const int contrastMax = bpp == 2 ? 508 : 127;
            for (int c = -contrastMax; c <= contrastMax; ++c) {
                BuildContrastTable(table.data(), maxValue, c);
                compare("contrast " + std::to_string(c));
            }
            for (int b = -255; b <= 255; ++b) {
                BuildBrightnessTable(table.data(), maxValue, b);
                compare("brightness " + std::to_string(b));
            }
        }
    });
}

TEST(FastPaths, ComposedTablesGiveTheBytesOfTheFiltersOneAfterAnother) {
    for (const int bpp : {1, 3, 4, 2, 6, 8}) {
        const int maxValue = FilterMaxValue(bpp);
        Image src(37, 5, bpp);
        testutil::FillRandom(src, static_cast<uint32_t>(bpp));  // 16-bit samples up to 65535: read as M
        const auto tables = Tables(maxValue);
        for (size_t i = 0; i < tables.size(); ++i) {
            const auto& a = tables[i];
            const auto& b = tables[(i + 3) % tables.size()];
            const auto& c = tables[(i + 7) % tables.size()];
            Image oneByOne = src, fused = src;
            for (const auto* t : {&a, &b, &c})
                testutil::RunInPlace(KernelApplyTableReference, oneByOne, reinterpret_cast<intptr_t>(t->data()));
            std::vector<uint16_t> composed = a;
            ComposeTables(composed.data(), b.data(), maxValue);
            ComposeTables(composed.data(), c.data(), maxValue);
            testutil::RunInPlace(KernelApplyTable, fused, reinterpret_cast<intptr_t>(composed.data()));
            ASSERT_EQ(fused.bytes, oneByOne.bytes) << "bpp " << bpp << ", tables " << i;
        }
    }
}

TEST(FastPaths, GrayFromColorMatchesTheStraightKernel) {
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {3, 4})
            for (const bool tight : {false, true})
                for (const int w : WidthsWithWide())
                    for (const int h : {1, 3, 70, 200}) {
                        if (h == 200 && w != 67) continue;  // one picture tall enough for three bands
                        Image src(w, h, bpp, tight), fast(w, h, 1, tight);
                        testutil::FillRandom(src, static_cast<uint32_t>(w + h * 3 + bpp));
                        if (w >= 2) {
                            for (int c = 0; c < 3; ++c) src.set8(0, 0, 255, c), src.set8(1, 0, 0, c);
                        }
                        testutil::FillRandom(fast, 2);
                        Image straight = fast;
                        testutil::RunWhole(KernelGrayFromColor, fast, src);
                        testutil::RunWhole(KernelGrayFromColorReference, straight, src);
                        ASSERT_EQ(fast.bytes, straight.bytes) << Where(path, w, h, tight) << ", bpp " << bpp;
                    }
    });
    // A picture larger than the caches (its output written past them), in three
    // bands at the AVX2 level; padding bytes survive.
    if (pixel::DetectedSimdLevel() >= pixel::SimdLevel::Avx2) {
        pixel::SetSimdCeiling(pixel::SimdLevel::Avx2);
        pixel::SetStripeCeiling(3);
        Image src(2901, 2900, 3), fast(2901, 2900, 1);
        testutil::FillRandom(src, 4);
        testutil::FillRandom(fast, 5);
        Image straight = fast;
        testutil::RunWhole(KernelGrayFromColor, fast, src);
        testutil::RunWhole(KernelGrayFromColorReference, straight, src);
        pixel::SetSimdCeiling(pixel::SimdLevel::Avx512);
        pixel::SetStripeCeiling(0);
        ASSERT_EQ(fast.bytes, straight.bytes) << "2901x2900";
    }
}

TEST(FastPaths, GrayCorrectionMatchesTheStraightKernel) {
    const GrayParams settings[] = {
        {0, 120, 128, 130, 140, -3, 0, 2, 5},
        {0, 0, 255, 1000, -7, 255, -255, 40, -40},              // beyond the dialog's ranges: everything clips
        {0, INT_MAX, INT_MIN, 1, 129, INT_MAX, INT_MIN, 0, 1},  // products beyond 32 bits
        {0, -128, 1023, -1023, 64, 4097, -4097, 300, -300},     // the edges of what the 16-bit lanes compute
    };
    ForEachPath([&](const std::string& path) {
        for (const bool tight : {false, true})
            for (const int w : WidthsWithWide())
                for (const int h : {1, 3, 70}) {
                    Image src(w, h, 1, tight);
                    testutil::FillRandom(src, static_cast<uint32_t>(w * 5 + h));
                    for (int phase = 0; phase < 4; ++phase)
                        for (GrayParams g : settings) {
                            g.mode = phase;
                            const auto word = reinterpret_cast<intptr_t>(&g);
                            Image fast(w, h, 1, tight), inPlace = src;
                            testutil::FillRandom(fast, 9);  // padding bytes must survive
                            Image straight = fast;
                            testutil::RunWhole(KernelGrayCorrection, fast, src, word);
                            testutil::RunWhole(KernelGrayCorrectionReference, straight, src, word);
                            ASSERT_EQ(fast.bytes, straight.bytes) << Where(path, w, h, tight) << ", phase " << phase;
                            testutil::RunInPlace(KernelGrayCorrection, inPlace, word);
                            for (int y = 0; y < h; ++y)
                                for (int x = 0; x < w; ++x)
                                    ASSERT_EQ(inPlace.get8(x, y), straight.get8(x, y))
                                        << Where(path, w, h, tight) << ", in place at " << x << "," << y;
                        }
                }
    });
}

// ---- byte movers ----------------------------------------------------------------------

TEST(FastPaths, Color48To24GivesTheSameBytesEitherRowOrder) {
    const std::pair<ConvertKernel, ConvertKernel> kernels[] = {{KernelColor48To24, KernelColor48To24Reference},
                                                               {KernelColor48To24Flip, KernelColor48To24FlipReference}};
    const auto compare = [&](const Image& src, bool tight, const std::string& where) {
        for (const auto& [fast, reference] : kernels) {
            Image to(src.width, src.height, 3, tight);  // padding bytes must survive
            testutil::FillRandom(to, 3);
            Image toStraight = to;
            testutil::RunWhole(fast, to, src);
            testutil::RunWhole(reference, toStraight, src);
            ASSERT_EQ(to.bytes, toStraight.bytes) << where << (fast == KernelColor48To24Flip ? ", flipped" : "");
        }
    };
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {6, 8})
            for (const bool tight : {false, true})
                for (const int w : Widths())
                    for (const int h : {1, 3, 70}) {
                        Image src(w, h, bpp, tight);
                        testutil::FillRandom(src, static_cast<uint32_t>(w * 7 + h + bpp));  // all 16 bits
                        compare(src, tight, Where(path, w, h, tight) + ", bpp " + std::to_string(bpp));
                    }
    });
    // A picture larger than the caches (written past them), rows starting
    // anywhere within a cache line.
    Image big(2731, 2049, 6);
    testutil::FillRandom(big, 1);
    compare(big, false, "2731x2049");
}

TEST(FastPaths, ReorderingMovesTheSameBytes) {
    ForEachPath([&](const std::string& path) {
        for (const int half : {1, 7, 15, 16, 17, 31, 32, 33, 47, 64, 65, 100})
            for (const int rows : {1, 3, 130}) {
                Image src(2 * half, rows, 1, true), fast(2 * half, rows, 1, true);
                testutil::FillRandom(src, static_cast<uint32_t>(half * 7 + rows));
                testutil::FillRandom(fast, 3);
                Image straight = fast;
                ReorderDualOutput(fast.bits(), src.bits(), half, rows);
                ReorderDualOutputReference(straight.bits(), src.bits(), half, rows);
                ASSERT_EQ(fast.bytes, straight.bytes) << path << ", half width " << half << ", rows " << rows;
            }
    });
    // A whole camera frame, larger than the caches (written past them), into a
    // buffer that starts on a 32-byte boundary, 16 bytes past one, or anywhere.
    const int half = 4896 / 2, rows = 3264;
    const size_t bytes = size_t{2} * half * rows;
    std::vector<uint8_t> src(bytes), straight(bytes), out(bytes + 64);
    for (size_t i = 0; i < bytes; ++i) src[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    ReorderDualOutputReference(straight.data(), src.data(), half, rows);
    ForEachPath([&](const std::string& path) {
        for (const size_t offset : {0, 16, 8}) {
            uint8_t* const base = out.data() + ((32 - reinterpret_cast<uintptr_t>(out.data()) % 32) % 32);
            std::fill(out.begin(), out.end(), uint8_t{0xEE});
            ReorderDualOutput(base + offset, src.data(), half, rows);
            ASSERT_TRUE(std::equal(straight.begin(), straight.end(), base + offset)) << path << ", offset " << offset;
        }
    });
}

TEST(FastPaths, MirrorMovesTheSameBytesInPlaceAndBetweenBuffers) {
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {1, 2, 3})
            for (const bool tight : {false, true})
                for (const int w : WidthsWithWide())
                    for (const int h : {1, 2, 130}) {
                        const std::string where = Where(path, w, h, tight) + ", bpp " + std::to_string(bpp);
                        Image src(w, h, bpp, tight);
                        testutil::FillRandom(src, static_cast<uint32_t>(w + 1000 * h + bpp));
                        Image fast = src, straight = src;  // in place
                        testutil::RunInPlace(KernelMirrorH, fast);
                        testutil::RunInPlace(KernelMirrorHReference, straight);
                        ASSERT_EQ(fast.bytes, straight.bytes) << where << ", in place";
                        Image to(w, h, bpp, tight);  // into another buffer
                        testutil::FillRandom(to, 11);
                        Image toStraight = to;
                        testutil::RunWhole(KernelMirrorH, to, src);
                        testutil::RunWhole(KernelMirrorHReference, toStraight, src);
                        ASSERT_EQ(to.bytes, toStraight.bytes) << where;
                    }
        // Rows around the longest one a mirror in place copies aside.
        for (const int bpp : {1, 2})
            for (const int w : {8191, 8192, 8193, 16384, 16385}) {
                Image fast(w, 2, bpp, false);
                testutil::FillRandom(fast, static_cast<uint32_t>(w + bpp));
                Image straight = fast;
                testutil::RunInPlace(KernelMirrorH, fast);
                testutil::RunInPlace(KernelMirrorHReference, straight);
                ASSERT_EQ(fast.bytes, straight.bytes) << path << ", long row " << w << ", bpp " << bpp;
            }
    });
}

TEST(FastPaths, VerticalMirrorExchangesTheSameRows) {
    ForEachPath([&](const std::string& path) {
        for (const int bpp : {1, 2, 3})
            for (const bool tight : {false, true})
                for (const int w : {1, 5, 16, 17, 37})
                    for (const int h : {1, 2, 3, 4, 129, 260}) {
                        Image fast(w, h, bpp, tight);
                        testutil::FillRandom(fast, static_cast<uint32_t>(w * 3 + h + bpp));
                        Image straight = fast;
                        testutil::RunInPlace(KernelMirrorV, fast);
                        testutil::RunInPlace(KernelMirrorVReference, straight);
                        ASSERT_EQ(fast.bytes, straight.bytes) << Where(path, w, h, tight) << ", bpp " << bpp;
                    }
    });
}

TEST(FastPaths, WideningGivesTheSameSamplesInPlaceAndBetweenBuffers) {
    ForEachPath([&](const std::string& path) {
        for (const bool tight : {false, true})
            for (const int w : Widths())
                for (const int h : {1, 3, 70}) {
                    const std::string where = Where(path, w, h, tight);
                    // In place: the camera's bytes packed at the start of the 16-bit picture.
                    Image fast(w, h, 2, tight);
                    testutil::FillRandom(fast, static_cast<uint32_t>(w * 3 + h));
                    Image straight = fast;
                    testutil::RunInPlace(KernelWidenPacked8To16, fast);
                    testutil::RunInPlace(KernelWidenPacked8To16Reference, straight);
                    ASSERT_EQ(fast.bytes, straight.bytes) << where << ", in place";
                    Image bytes(w, h, 1, tight), to(w, h, 2, tight);
                    testutil::FillRandom(bytes, 5);
                    testutil::FillRandom(to, 6);
                    Image toStraight = to;
                    testutil::RunWhole(KernelWiden8To16, to, bytes);
                    testutil::RunWhole(KernelWiden8To16Reference, toStraight, bytes);
                    ASSERT_EQ(to.bytes, toStraight.bytes) << where;
                }
    });
}

// ---- the state the vector paths leave behind ------------------------------------

// Bits 2 (upper halves of the 256-bit registers) and 6 (upper halves of the
// 512-bit ones) of the state in use (XGETBV 1), or -1 where the processor
// cannot tell. Plain SSE code after a kernel that leaves them set runs at about
// half speed: the application's own code, not only ours. (The sanitizers'
// build calls differently; the Windows build is the one that shows a slip.)
inline int UpperHalvesInUse() {
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    __asm__ volatile("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(0xD), "c"(1));
    if (!(a & 4)) return -1;
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return static_cast<int>(low & 0x44);
#else
    return -1;
#endif
}

TEST(FastPaths, VectorKernelsReturnWithTheUpperRegisterHalvesClean) {
    if (UpperHalvesInUse() < 0) GTEST_SKIP() << "this processor does not report the state in use";
    const int w = 301, h = 9;  // a vector body and a tail in every row
    Image raw8(w, h, 1, false), raw16(w, h, 2, false), c24(w, h, 3, false), c48(w, h, 6, false), c32(w, h, 4, false),
        c64(w, h, 8, false), g8(w, h, 1, false), g16(w, h, 2, false);
    for (Image* img : {&raw8, &raw16, &c24, &c48, &c32, &c64}) testutil::FillRandom(*img, 5);
    BayerParams bayer{3, 120, 100, 90};
    uint16_t table[1024];
    BuildGammaTable(table, 255, 140);
    int16_t diff[2 * 1023 + 1];
    BuildSharpnessTable(diff, 255, 12);
    const HueSatParams hs{40, 0, 30, 10};
    const GrayParams gray{1, 120, 128, 130, 140, -3, 0, 2, 5};
    const auto p = [](const void* q) { return reinterpret_cast<intptr_t>(q); };
    const std::vector<std::pair<std::string, std::function<void()>>> calls = {
        {"demosaic 8 to 24", [&] { testutil::RunWhole(KernelDemosaicInterior8, c24, raw8, p(&bayer)); }},
        {"demosaic 8 to 32", [&] { testutil::RunWhole(KernelDemosaicInterior8, c32, raw8, p(&bayer)); }},
        {"demosaic 16 to 64", [&] { testutil::RunWhole(KernelDemosaicInterior16, c64, raw16, p(&bayer)); }},
        {"lookup table", [&] { testutil::RunInPlace(KernelApplyTable, c24, p(table)); }},
        {"sharpness", [&] { testutil::RunInPlace(KernelSharpness, c24, p(diff)); }},
        {"hue and saturation", [&] { testutil::RunInPlace(KernelHueSaturation, c48, p(&hs)); }},
        {"gray from colour", [&] { testutil::RunWhole(KernelGrayFromColor, g8, c24); }},
        {"gray correction", [&] { testutil::RunInPlace(KernelGrayCorrection, g8, p(&gray)); }},
        {"48 to 24 bits", [&] { testutil::RunWhole(KernelColor48To24Flip, c24, c48); }},
        {"reorder", [&] { ReorderDualOutput(g8.bits(), raw8.bits(), w / 2, h); }},
        {"mirror", [&] { testutil::RunInPlace(KernelMirrorH, raw8); }},
        {"widen", [&] { testutil::RunWhole(KernelWiden8To16, g16, raw8); }},
    };
    ForEachPath([&](const std::string& path) {
        for (const auto& [name, call] : calls) {
            call();
            EXPECT_EQ(UpperHalvesInUse(), 0) << path << ": " << name;
        }
    });
}

}  // namespace fastpath
