// Measurement windows, factor and new values of the automatic exposure control.
#include <gtest/gtest.h>

#include "PixelTestUtil.h"
#include "pixel/measure/ExposureMeasure.h"

using testutil::Image;

namespace {

// Paints window i of an 8-bit or 16-bit frame with a value on the 0..255 scale.
void Paint(Image& img, const PixRect& w, int value) {
    for (int y = w.top; y < w.bottom; ++y)
        for (int x = w.left; x < w.right; ++x) img.bpp == 2 ? img.set16(x, y, value << 2 | 3) : img.set8(x, y, value);
}

int FactorOf(const Image& img) {
    return MeasureExposureFactor(img.bits(), img.width, img.height, img.stride, img.bpp, nullptr);
}

Image Frame(int bpp, const int means[5], int w = 4896 / 8, int h = 3264 / 8) {
    Image img(w, h, bpp);
    img.fill(0);
    PixRect windows[5];
    ExposureWindows(w, h, windows);
    for (int i = 0; i < 5; ++i) Paint(img, windows[i], means[i]);
    return img;
}

TEST(ExposureWindows, CoordinatesAreTruncated) {
    PixRect w[5];
    ExposureWindows(4896, 3264, w);
    EXPECT_EQ(w[0].left, 489);
    EXPECT_EQ(w[0].top, 326);
    EXPECT_EQ(w[0].right, 979);
    EXPECT_EQ(w[0].bottom, 652);
    EXPECT_EQ(w[2].left, 2203);   // 0.45 x 4896 = 2203.2
    EXPECT_EQ(w[2].top, 1468);    // 0.45 x 3264 = 1468.8
    EXPECT_EQ(w[2].right, 2692);  // 2692.8
    EXPECT_EQ(w[2].bottom, 1795);
    EXPECT_EQ(w[4].right, 4406);
    EXPECT_EQ(w[4].bottom, 2937);
    EXPECT_EQ(w[1].top, w[4].top);
    EXPECT_EQ(w[3].left, w[4].left);
}

TEST(ExposureFactor, AllThirtyIsOnePointFive) {
    for (int bpp : {1, 2}) {
        const int means[5] = {30, 30, 30, 30, 30};
        const Image img = Frame(bpp, means);
        int measured[5];
        EXPECT_EQ(MeasureExposureFactor(img.bits(), img.width, img.height, img.stride, bpp, measured), 150);
        for (int m : measured) EXPECT_EQ(m, 30);
    }
    EXPECT_EQ(ComputeNewGain(100, 150, 1023), 150);
    EXPECT_EQ(ComputeNewExposure(3000, 150, 3335), 2000);
}

TEST(ExposureFactor, AllBrightIsAQuarter) {
    const int means[5] = {250, 250, 250, 250, 250};
    EXPECT_EQ(FactorOf(Frame(1, means)), 25);
    EXPECT_EQ(FactorOf(Frame(2, means)), 25);
    EXPECT_EQ(ComputeNewExposure(1000, 25, 3335), 3335);  // 4000, limited
    EXPECT_EQ(ComputeNewExposure(1000, 25, 1668), 1668);
    EXPECT_EQ(ComputeNewExposure(400, 25, 3335), 1600);
}

TEST(ExposureFactor, SmallDeviationChangesNothing) {
    const int means[5] = {120, 120, 80, 120, 120};
    const int f = FactorOf(Frame(1, means));
    EXPECT_EQ(f, 105);
    EXPECT_FALSE(ExposureNeedsChange(f));
    EXPECT_TRUE(ExposureNeedsChange(120));
    EXPECT_TRUE(ExposureNeedsChange(60));
    EXPECT_FALSE(ExposureNeedsChange(61));
    EXPECT_FALSE(ExposureNeedsChange(119));
}

TEST(ExposureFactor, FirstMatchingTestApplies) {
    struct {
        int means[5];
        int percent;
    } cases[] = {
        {{201, 100, 100, 100, 100}, 85}, {{161, 100, 100, 100, 100}, 90},
        {{49, 100, 100, 100, 100}, 110}, {{99, 100, 100, 100, 100}, 105},
        {{200, 160, 100, 100, 100}, 90}, {{50, 201, 161, 49, 99}, 105 - 15 - 10 + 10 + 5},
        {{100, 0, 0, 0, 0}, 140},        {{255, 255, 255, 255, 255}, 25},
    };
    for (const auto& c : cases) EXPECT_EQ(ExposureFactorPercent(c.means), c.percent);
}

TEST(ExposureGain, ZeroGainInTheDarkBecomesFour) {
    EXPECT_EQ(ComputeNewGain(0, 150, 1023), 4);
    EXPECT_EQ(ComputeNewGain(3, 120, 1023), 4);
    EXPECT_EQ(ComputeNewGain(4, 150, 1023), 6);
    EXPECT_EQ(ComputeNewGain(4, 50, 1023), 2);  // darkening may go below 4
    EXPECT_EQ(ComputeNewGain(1000, 140, 1023), 1023);
    EXPECT_EQ(ComputeNewGain(100, 115, 1023), 115);  // exact hundredths, no 114.99999
}

TEST(ExposureValue, LowSixteenBitsMinimumAndFloor) {
    EXPECT_EQ(ComputeNewExposure(5, 150, 3335), 4);  // 3 -> 4 when brightening
    EXPECT_EQ(ComputeNewExposure(1, 50, 3335), 2);
    EXPECT_EQ(ComputeNewExposure(0, 50, 3335), 1);  // at least 1
    EXPECT_EQ(ComputeNewExposure(70000, 100, 3335), 3335);
    EXPECT_EQ(ComputeNewExposure(65536 + 3, 100, 3335), 3);  // low 16 bits of 65539
}

TEST(WindowMean, IntegerMeanAndEmptyWindows) {
    Image img(4, 2, 1);
    img.set8(0, 0, 1), img.set8(1, 0, 2), img.set8(0, 1, 2), img.set8(1, 1, 2);
    EXPECT_EQ(WindowMean(img.bits(), 4, 2, img.stride, 1, {0, 0, 2, 2}), 1);  // 7 / 4
    EXPECT_EQ(WindowMean(img.bits(), 4, 2, img.stride, 1, {1, 1, 1, 2}), 0);
    EXPECT_EQ(WindowMean(img.bits(), 4, 2, img.stride, 1, {3, 0, 9, 9}), 0);  // clipped to the picture
    Image wide(2, 1, 2);
    wide.set16(0, 0, 1023), wide.set16(1, 0, 0x7FC | 0x400);  // bits above 10 are dropped by & 255
    EXPECT_EQ(WindowMean(wide.bits(), 2, 1, wide.stride, 2, {0, 0, 1, 1}), 255);
    EXPECT_EQ(WindowMean(wide.bits(), 2, 1, wide.stride, 2, {1, 0, 2, 1}), 255);
}

TEST(ExposureMeasure, TinyFramesHaveEmptyWindows) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2}) {
            Image img(size.w, size.h, bpp);
            testutil::FillRandom(img, 3);
            int means[5];
            const int f = MeasureExposureFactor(img.bits(), size.w, size.h, img.stride, bpp, means);
            EXPECT_GE(f, 25);
            EXPECT_LE(f, 150);
        }
}

}  // namespace
