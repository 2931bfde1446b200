// Gray modes: per-site correction, its automatic gains, gray from colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "PixelTestUtil.h"
#include "pixel/gray/GrayKernels.h"

using testutil::Image;

namespace {

// Phase table written out for phase 0 and shifted by the two phase bits:
// 'R' red, 'B' blue, '1' first green, '2' second green.
char Site(int phase, int x, int y) {
    static const char kPhase0[2][2] = {{'1', 'B'}, {'R', '2'}};  // [row parity][column parity]
    return kPhase0[(y + (phase & 1)) % 2][(x + ((phase >> 1) & 1)) % 2];
}

int RefCorrect(int v, const GrayParams& p, char site) {
    int gain = 0, offset = 0;
    switch (site) {
        case 'B':
            gain = p.gainR, offset = p.offsetR;
            break;  // blue sites use the "R" pair
        case '1':
            gain = p.gainG1, offset = p.offsetG1;
            break;
        case '2':
            gain = p.gainG2, offset = p.offsetG2;
            break;
        case 'R':
            gain = p.gainB, offset = p.offsetB;
            break;  // red sites use the "B" pair
    }
    return std::clamp(v * gain / 128 + offset, 0, 255);
}

TEST(GrayCorrection, GainUnityOffsetMinus255GivesBlack) {
    Image img(7, 5, 1);
    testutil::FillRandom(img, 1);
    const GrayParams p{0, 128, 128, 128, 128, -255, -255, -255, -255};
    testutil::RunInPlace(KernelGrayCorrection, img, reinterpret_cast<intptr_t>(&p));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(img.get8(x, y), 0);
}

TEST(GrayCorrection, EachSiteUsesItsOwnGainAndOffset) {
    for (int phase = 0; phase < 4; ++phase) {
        Image img(4, 4, 1);
        img.fill(100);
        const GrayParams p{phase, 64, 128, 192, 256, 1, 2, 3, 4};
        testutil::RunInPlace(KernelGrayCorrection, img, reinterpret_cast<intptr_t>(&p));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const char s = Site(phase, x, y);
                const int expected = s == 'B' ? 51 : s == '1' ? 102 : s == '2' ? 153 : 204;
                EXPECT_EQ(img.get8(x, y), expected) << s << " phase " << phase;
            }
    }
}

TEST(GrayCorrection, MatchesTheReferenceOnOddSizes) {
    const GrayParams sets[] = {{0, 128, 128, 128, 128, 0, 0, 0, 0},
                               {1, 255, 0, 17, 200, 255, -255, 13, -7},
                               {2, 3, 250, 128, 90, -40, 40, 0, 100},
                               {3, 128, 129, 127, 255, -1, 1, 0, 0}};
    for (const auto& size : testutil::OddSizes())
        for (const GrayParams& p : sets) {
            Image src(size.w, size.h, 1), dst(size.w, size.h, 1);
            testutil::FillRandom(src, size.w * 13 + size.h);
            ASSERT_EQ(testutil::RunWhole(KernelGrayCorrection, dst, src, reinterpret_cast<intptr_t>(&p)), 1);
            for (int y = 0; y < size.h; ++y)
                for (int x = 0; x < size.w; ++x)
                    ASSERT_EQ(dst.get8(x, y), RefCorrect(src.get8(x, y), p, Site(p.mode, x, y)));
        }
}

TEST(GrayCorrection, ParametersOutsideTheirRangesStillClip) {
    Image img(4, 2, 1);
    img.fill(200);
    const GrayParams p{0, INT32_MAX, INT32_MIN, 0, 128, INT32_MAX, 0, INT32_MIN, 300};
    testutil::RunInPlace(KernelGrayCorrection, img, reinterpret_cast<intptr_t>(&p));
    EXPECT_EQ(img.get8(1, 0), 255);  // blue site
    EXPECT_EQ(img.get8(0, 0), 0);    // first green
    EXPECT_EQ(img.get8(1, 1), 0);    // second green
    EXPECT_EQ(img.get8(0, 1), 255);  // red site
}

TEST(GrayGains, RatiosToTheFirstGreenIgnoringBlackAndSaturatedSites) {
    for (int phase = 0; phase < 4; ++phase) {
        Image img(10, 6, 1);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) {
                const char s = Site(phase, x, y);
                img.set8(x, y, s == '1' ? 100 : s == 'B' ? 50 : s == '2' ? 200 : 80);
            }
        // Black and saturated sites say nothing.
        img.set8(0, 0, 0);
        img.set8(1, 0, 255);
        img.set8(0, 1, 255);
        img.set8(1, 1, 0);
        GrayParams p{phase, 1, 2, 3, 4, 0, 0, 0, 0};
        MeasureGrayGains(img.bits(), img.width, img.height, img.stride, &p);
        EXPECT_EQ(p.gainR, 256);  // blue sites
        EXPECT_EQ(p.gainG1, 128);
        EXPECT_EQ(p.gainG2, 64);
        EXPECT_EQ(p.gainB, 160);  // red sites
    }
}

TEST(GrayGains, MatchesSinglePrecisionReferenceOnRandomFrames) {
    auto sizes = testutil::OddSizes();
    sizes.push_back({33, 6});  // vector steps with a tail, row starts off 16-byte lines when padded
    sizes.push_back({4896, 4});
    for (const auto& size : sizes)
        for (int phase = 0; phase < 4; ++phase)
            for (const bool tight : {false, true}) {
                if (size.w < 2 || size.h < 2) continue;
                Image img(size.w, size.h, 1, tight);
                testutil::FillRandom(img, size.w + 5 * size.h + phase);
                // About a quarter of the sites black or saturated.
                for (auto& b : img.bytes) b = b < 32 ? 0 : b > 223 ? 255 : b;
                double sum[4] = {0, 0, 0, 0};
                int count[4] = {0, 0, 0, 0};
                const char order[4] = {'1', 'B', '2', 'R'};
                for (int y = 0; y < size.h; ++y)
                    for (int x = 0; x < size.w; ++x) {
                        const int v = img.get8(x, y);
                        if (v == 0 || v == 255) continue;
                        const int i = static_cast<int>(std::find(order, order + 4, Site(phase, x, y)) - order);
                        sum[i] += v;
                        ++count[i];
                    }
                GrayParams p{phase, 9, 9, 9, 9, 0, 0, 0, 0};
                MeasureGrayGains(img.bits(), img.width, img.height, img.stride, &p);
                if (count[0] == 0) continue;
                const float m0 = static_cast<float>(sum[0] / count[0]);
                const auto gain = [&](int i) {
                    return count[i] ? static_cast<int>(m0 / static_cast<float>(sum[i] / count[i]) * 128.0f) : 9;
                };
                const std::string where = std::to_string(size.w) + "x" + std::to_string(size.h) + ", phase " +
                                          std::to_string(phase) + (tight ? ", tight" : ", padded");
                EXPECT_EQ(p.gainR, gain(1)) << where;
                EXPECT_EQ(p.gainG2, gain(2)) << where;
                EXPECT_EQ(p.gainB, gain(3)) << where;
            }
}

TEST(GrayGains, NoSamplesKeepTheCurrentGains) {
    Image img(4, 4, 1);
    img.fill(255);
    GrayParams p{0, 11, 22, 33, 44, 0, 0, 0, 0};
    MeasureGrayGains(img.bits(), 4, 4, img.stride, &p);
    EXPECT_EQ(p.gainR, 11);
    EXPECT_EQ(p.gainG1, 22);
    EXPECT_EQ(p.gainG2, 33);
    EXPECT_EQ(p.gainB, 44);

    // Only the blue sites are empty: that gain stays, the others are measured.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) img.set8(x, y, Site(0, x, y) == 'B' ? 0 : 64);
    MeasureGrayGains(img.bits(), 4, 4, img.stride, &p);
    EXPECT_EQ(p.gainR, 11);
    EXPECT_EQ(p.gainG1, 128);
    EXPECT_EQ(p.gainG2, 128);
    EXPECT_EQ(p.gainB, 128);
}

TEST(GrayFromColor, PureRedGives76) {
    Image src(1, 1, 3), dst(1, 1, 1);
    src.set8(0, 0, 0, 0), src.set8(0, 0, 0, 1), src.set8(0, 0, 255, 2);  // blue, green, red
    testutil::RunWhole(KernelGrayFromColor, dst, src);
    EXPECT_EQ(dst.get8(0, 0), 76);
}

TEST(GrayFromColor, MatchesTheWeightedSumOnOddSizes) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {3, 4}) {
            Image src(size.w, size.h, bpp), dst(size.w, size.h, 1);
            testutil::FillRandom(src, size.w * 3 + size.h * 7 + bpp);
            testutil::RunWhole(KernelGrayFromColor, dst, src);
            for (int y = 0; y < size.h; ++y)
                for (int x = 0; x < size.w; ++x) {
                    const int b = src.get8(x, y, 0), g = src.get8(x, y, 1), r = src.get8(x, y, 2);
                    ASSERT_EQ(dst.get8(x, y), (59 * g + 30 * r + 11 * b) / 100);
                }
        }
}

}  // namespace
