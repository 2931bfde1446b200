// Bayer interpolation and white balance against a reference written from the
// formulas' tables, on every phase and on pictures down to one pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "PixelTestUtil.h"
#include "pixel/demosaic/Bayer.h"
#include "pixel/demosaic/DemosaicKernels.h"

using testutil::Image;

namespace {

// ---- reference --------------------------------------------------------------

enum { kRed, kBlue, kGreen1, kGreen2 };

// Colour of a site straight from the phase table: the row flag (bit 0 of the
// phase, toggled on odd rows) and the column flag (bit 1, toggled on odd columns).
int RefClass(int phase, int x, int y) {
    const bool row = ((phase & 1) != 0) != ((y % 2) != 0);
    const bool col = ((phase & 2) != 0) != ((x % 2) != 0);
    if (row && !col) return kRed;
    if (!row && col) return kBlue;
    if (!row && !col) return kGreen1;
    return kGreen2;
}

struct Tap {
    int weight, dx, dy;
};
struct Formula {
    Tap blue[4];
    Tap green[2];
    Tap red[4];
};

// The formula table per class: blue sum, green sum, red sum.
const Formula kFormulas[4] = {
    // red
    {{{9, -1, -1}, {3, -1, 1}, {3, 1, -1}, {1, 1, 1}},
     {{1, -1, 0}, {1, 0, -1}},
     {{9, 0, 0}, {3, -2, 0}, {3, 0, -2}, {1, -2, -2}}},
    // blue
    {{{9, 0, 0}, {3, -2, 0}, {3, 0, -2}, {1, -2, -2}},
     {{1, -1, 0}, {1, 0, -1}},
     {{9, -1, -1}, {3, -1, 1}, {3, 1, -1}, {1, 1, 1}}},
    // first green
    {{{9, -1, 0}, {3, 1, 0}, {3, -1, -2}, {1, 1, -2}},
     {{1, -1, -1}, {1, 0, 0}},
     {{9, 0, -1}, {3, 0, 1}, {3, -2, -1}, {1, -2, 1}}},
    // second green
    {{{9, 0, -1}, {3, 0, 1}, {3, -2, -1}, {1, -2, 1}},
     {{1, -1, -1}, {1, 0, 0}},
     {{9, -1, 0}, {3, 1, 0}, {3, -1, -2}, {1, 1, -2}}},
};

// Outside the picture: four sites further inside; where even that is outside
// (pictures under four sites) two sites at a time, keeping the colour, and
// the only site there is for a single row or column.
int RefFold(int c, int n) {
    if (c < 0) c += 4;
    if (c >= n) c -= 4;
    if (n == 1) return 0;
    while (c < 0) c += 2;
    while (c >= n) c -= 2;
    return c;
}

void RefDemosaic(Image& dst, const Image& src, const BayerParams& p, bool wide) {
    const int kb = static_cast<int>(std::trunc(1.28 * p.gainBlue));
    const int kr = static_cast<int>(std::trunc(1.28 * p.gainRed));
    const int maxValue = wide ? 1023 : 255;
    const auto sample = [&](int x, int y) {
        x = RefFold(x, src.width), y = RefFold(y, src.height);
        return wide ? src.get16(x, y) : src.get8(x, y);
    };
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const Formula& f = kFormulas[RefClass(p.mode, x, y)];
            long b = 0, g = 0, r = 0;
            for (const Tap& t : f.blue) b += t.weight * sample(x + t.dx, y + t.dy);
            for (const Tap& t : f.green) g += t.weight * sample(x + t.dx, y + t.dy);
            for (const Tap& t : f.red) r += t.weight * sample(x + t.dx, y + t.dy);
            const long out[3] = {std::min<long>(b * kb / 2048, maxValue), std::min<long>(g / 2, maxValue),
                                 std::min<long>(r * kr / 2048, maxValue)};
            for (int c = 0; c < 3; ++c)
                wide ? dst.set16(x, y, static_cast<int>(out[c]), c) : dst.set8(x, y, static_cast<int>(out[c]), c);
        }
}

void RunDemosaic(Image& dst, const Image& src, const BayerParams& p) {
    const bool wide = src.bpp == 2;
    const auto w1 = reinterpret_cast<intptr_t>(&p);
    ASSERT_EQ(testutil::RunWhole(wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8, dst, src, w1), 1);
    ASSERT_EQ(testutil::RunWhole(wide ? KernelDemosaicBorder16 : KernelDemosaicBorder8, dst, src, w1), 1);
}

// ---- tests --------------------------------------------------------------------

TEST(Bayer, PhaseZeroPositions) {
    EXPECT_EQ(BayerClassAt(0, 0, 1), BayerClass::Red);     // odd rows, even columns
    EXPECT_EQ(BayerClassAt(0, 1, 0), BayerClass::Blue);    // even rows, odd columns
    EXPECT_EQ(BayerClassAt(0, 0, 0), BayerClass::Green1);  // even rows, even columns
    EXPECT_EQ(BayerClassAt(0, 1, 1), BayerClass::Green2);  // odd rows, odd columns
    for (int phase = 0; phase < 4; ++phase)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) EXPECT_EQ(static_cast<int>(BayerClassAt(phase, x, y)), RefClass(phase, x, y));
    // Mirroring toggles the phase so that the same site keeps its colour.
    EXPECT_EQ(BayerClassAt(1, 0, 0), BayerClassAt(0, 0, 1));
    EXPECT_EQ(BayerClassAt(2, 0, 0), BayerClassAt(0, 1, 0));
}

TEST(Demosaic, UniformEightyStaysEightyEverywhere) {
    for (const auto& size : testutil::OddSizes()) {
        for (int phase = 0; phase < 4; ++phase) {
            const BayerParams p{phase, 100, 100, 100};
            for (int dstBpp : {3, 4}) {
                Image src(size.w, size.h, 1), dst(size.w, size.h, dstBpp);
                src.fill(80);
                RunDemosaic(dst, src, p);
                for (int y = 0; y < size.h; ++y)
                    for (int x = 0; x < size.w; ++x)
                        for (int c = 0; c < 3; ++c)
                            ASSERT_EQ(dst.get8(x, y, c), 80) << x << "," << y << " phase " << phase;
            }
            for (int dstBpp : {6, 8}) {
                Image src(size.w, size.h, 2), dst(size.w, size.h, dstBpp);
                for (int y = 0; y < size.h; ++y)
                    for (int x = 0; x < size.w; ++x) src.set16(x, y, 320);
                RunDemosaic(dst, src, p);
                for (int y = 0; y < size.h; ++y)
                    for (int x = 0; x < size.w; ++x)
                        for (int c = 0; c < 3; ++c) ASSERT_EQ(dst.get16(x, y, c), 320);
            }
        }
    }
}

TEST(Demosaic, RedGainClipsTo255) {
    for (int phase = 0; phase < 4; ++phase) {
        Image src(8, 6, 1), dst(8, 6, 3);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) src.set8(x, y, RefClass(phase, x, y) == kRed ? 200 : 100);
        RunDemosaic(dst, src, {phase, 200, 100, 100});
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(dst.get8(x, y, 2), 255);  // red
                EXPECT_EQ(dst.get8(x, y, 1), 100);  // green, not gained
                EXPECT_EQ(dst.get8(x, y, 0), 100);  // blue
            }
    }
}

TEST(Demosaic, TenBitOutputClipsTo1023) {
    Image src(6, 6, 2), dst(6, 6, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) src.set16(x, y, 1000);
    RunDemosaic(dst, src, {0, 800, 100, 150});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(dst.get16(x, y, 2), 1023);
            EXPECT_EQ(dst.get16(x, y, 1), 1000);
            EXPECT_EQ(dst.get16(x, y, 0), 1023);
        }
}

TEST(Demosaic, MatchesTheReferenceOnRandomMosaics) {
    // The last set lies far outside what users can set (damaged stored settings):
    // the factors 2176 and 38400 still follow the white-balance formula.
    const BayerParams gains[] = {
        {0, 100, 100, 100}, {0, 137, 50, 83}, {0, 0, 100, 800}, {0, 399, 100, 1}, {0, 1700, 100, 30000}};
    int seed = 1;
    for (const auto& size : testutil::OddSizes()) {
        for (int phase = 0; phase < 4; ++phase) {
            for (BayerParams p : gains) {
                p.mode = phase;
                for (int dstBpp : {3, 4}) {
                    Image src(size.w, size.h, 1), dst(size.w, size.h, dstBpp), expected(size.w, size.h, dstBpp);
                    testutil::FillRandom(src, seed++);
                    testutil::FillRandom(dst, 99);
                    expected = dst;  // the fourth byte stays as it was
                    RefDemosaic(expected, src, p, false);
                    RunDemosaic(dst, src, p);
                    ASSERT_EQ(dst.bytes, expected.bytes)
                        << size.w << "x" << size.h << " phase " << phase << " bpp " << dstBpp;
                }
                for (int dstBpp : {6, 8}) {
                    Image src(size.w, size.h, 2), dst(size.w, size.h, dstBpp), expected(size.w, size.h, dstBpp);
                    testutil::FillRandom16(src, seed++, 1023);
                    testutil::FillRandom(dst, 98);
                    expected = dst;
                    RefDemosaic(expected, src, p, true);
                    RunDemosaic(dst, src, p);
                    ASSERT_EQ(dst.bytes, expected.bytes)
                        << size.w << "x" << size.h << " phase " << phase << " bpp " << dstBpp;
                }
            }
        }
    }
}

TEST(Demosaic, OutOfRangeGainsAreLimited) {
    // Negative gains give no colour; 16-bit samples above 10 bits do not overflow.
    Image src(6, 6, 2), dst(6, 6, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) src.set16(x, y, 65535);
    RunDemosaic(dst, src, {0, -50, 100, 1000000});
    EXPECT_EQ(dst.get16(3, 3, 2), 0);
    EXPECT_EQ(dst.get16(3, 3, 0), 1023);
}

// ---- white balance ------------------------------------------------------------

void FillClasses(Image& img, int phase, const int value[4]) {
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int v = value[RefClass(phase, x, y)];
            img.bpp == 2 ? img.set16(x, y, v) : img.set8(x, y, v);
        }
}

// Straight from the definition: class means, s and k in double precision.
WhiteBalanceGains RefWhiteBalance(const Image& img, int phase) {
    double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int c = RefClass(phase, x, y);
            sum[c] += img.bpp == 2 ? img.get16(x, y) : img.get8(x, y);
            count[c] += 1;
        }
    const double mG = (sum[kGreen1] + sum[kGreen2]) / (count[kGreen1] + count[kGreen2]);
    const double mB = sum[kBlue] / count[kBlue], mR = sum[kRed] / count[kRed];
    const double s = mG + mB + mR, k = (s / mG) / 3;
    return {static_cast<int32_t>(std::trunc(((s / mR) / 3 * 100) / k)),
            static_cast<int32_t>(std::trunc(((s / mB) / 3 * 100) / k))};
}

TEST(WhiteBalance, GainsAreTheGreenRatios) {
    for (int phase = 0; phase < 4; ++phase) {
        Image img(10, 8, 1);
        const int values[4] = {50, 200, 100, 100};  // red, blue, green1, green2
        FillClasses(img, phase, values);
        const WhiteBalanceGains g =
            MeasureWhiteBalance(img.bits(), img.width, img.height, img.stride, 1, phase, {1, 2});
        const WhiteBalanceGains ref = RefWhiteBalance(img, phase);
        EXPECT_EQ(g.red, ref.red);
        EXPECT_EQ(g.blue, ref.blue);
        EXPECT_NEAR(g.red, 200, 1);  // 100 mG / mR
        EXPECT_NEAR(g.blue, 50, 1);  // 100 mG / mB
    }
}

TEST(WhiteBalance, RandomFramesMatchTheReference) {
    for (const auto& size : testutil::OddSizes()) {
        if (size.w < 2 || size.h < 2) continue;  // every class present
        for (int phase = 0; phase < 4; ++phase) {
            Image img8(size.w, size.h, 1), img16(size.w, size.h, 2);
            testutil::FillRandom(img8, size.w * 31 + size.h + phase);
            testutil::FillRandom16(img16, size.w * 17 + size.h + phase, 1023);
            for (const Image* img : {&img8, &img16}) {
                WhiteBalanceGains ref = RefWhiteBalance(*img, phase);
                if (ref.red <= 0 || ref.blue <= 0) continue;  // a zero class mean: covered below
                const WhiteBalanceGains g =
                    MeasureWhiteBalance(img->bits(), img->width, img->height, img->stride, img->bpp, phase, {0, 0});
                EXPECT_EQ(g.red, ref.red);
                EXPECT_EQ(g.blue, ref.blue);
            }
        }
    }
}

TEST(WhiteBalance, ZeroClassMeanKeepsThatGain) {
    Image img(6, 6, 2);
    const int noBlue[4] = {300, 0, 600, 600};
    FillClasses(img, 3, noBlue);
    WhiteBalanceGains g = MeasureWhiteBalance(img.bits(), 6, 6, img.stride, 2, 3, {123, 321});
    EXPECT_EQ(g.red, 200);
    EXPECT_EQ(g.blue, 321);

    const int noGreen[4] = {30, 60, 0, 0};
    FillClasses(img, 3, noGreen);
    g = MeasureWhiteBalance(img.bits(), 6, 6, img.stride, 2, 3, {123, 321});
    EXPECT_EQ(g.red, 123);
    EXPECT_EQ(g.blue, 321);

    // A single pixel has only one class.
    Image one(1, 1, 1);
    one.fill(90);
    g = MeasureWhiteBalance(one.bits(), 1, 1, one.stride, 1, 0, {7, 8});
    EXPECT_EQ(g.red, 7);
    EXPECT_EQ(g.blue, 8);
}

TEST(WhiteBalance, TinyBlueMeanSaturatesInsteadOfOverflowing) {
    Image img(4000, 4, 1);
    const int values[4] = {100, 0, 255, 255};
    FillClasses(img, 0, values);
    img.set8(1, 0, 1);  // one blue site of 1 among 4000
    const WhiteBalanceGains g = MeasureWhiteBalance(img.bits(), img.width, img.height, img.stride, 1, 0, {0, 0});
    EXPECT_GT(g.blue, 1000000);
    EXPECT_EQ(g.red, 255);
}

}  // namespace
