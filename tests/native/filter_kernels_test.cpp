// Adjustment filters against references written from their rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "PixelTestUtil.h"
#include "pixel/filter/FilterKernels.h"

using testutil::Image;

namespace {

// ---- references -----------------------------------------------------------------

std::vector<int> RefGamma(int maxValue, int gamma) {
    double k = gamma <= 100 ? gamma / 100.0 : (gamma - 100) / 10.0 + 1;
    k = std::min(std::max(k, 0.001), 99.999);
    std::vector<int> t(maxValue + 1, 0);
    for (int i = 1; i <= maxValue; ++i) {
        const double y = (std::log(i) - std::log(maxValue)) * k + std::log(maxValue);
        if (y < 0) {
            t[i] = 1;
            continue;
        }
        t[i] = maxValue;
        for (int n = 2; n <= maxValue - 1; ++n)
            if (std::log(n - 1) <= y && y <= std::log(n + 1)) {
                t[i] = n;
                break;
            }
    }
    return t;
}

std::vector<int> RefContrast(int maxValue, long long c) {
    const long long h = maxValue == 255 ? 128 : 512;
    std::vector<int> t(maxValue + 1);
    for (int v = 0; v <= maxValue; ++v)
        t[v] =
            v < c ? 0
            : v > maxValue - c
                ? maxValue
                : static_cast<int>((maxValue + 1.0) / (2.0 * static_cast<double>(h - c)) * static_cast<double>(v - c));
    return t;
}

int RefBrightness(int s, int b, int maxValue) {
    const float f = b > 0 ? 1 + b * 0.039215688f : b < 0 ? 1 - std::abs(b) * 0.003921569f : 1.0f;
    return std::clamp(static_cast<int>(std::trunc(s * f)), 0, maxValue);
}

// The hexcone transform, step by step as the formula reads.
void RefHexcone(int& b, int& g, int& r, int hue, int sat) {
    int S[256], R[256];
    for (int k = 0; k < 256; ++k) {
        R[k] = k ? 16711680 / k : 0;
        S[k] = (32768 + k * (sat + 256) * 256) >> 16;
    }
    const int u = (hue & 255) * 6;
    int rr = u & 511;
    if (rr > 255) rr -= 512;
    int rot = ((u + 256) >> 9) % 3 * 510 + rr;
    while (rot < 0) rot += 1530;
    while (rot >= 1530) rot -= 1530;
    int base, d, mx, cand;
    if (r >= g) {
        base = 1, d = g - b, mx = r, cand = g;
    } else {
        base = 3, d = b - r, mx = g, cand = r;
    }
    if (mx < b) base = 5, d = r - g, mx = b;
    const int mn = std::min(cand, b), Q = mx - mn, L = mx + mn;
    const int Qn = std::min(S[Q], L <= 255 ? L : 511 - L);
    const int lo = (L - Qn) >> 1, span = ((Qn + L) >> 1) - lo;
    if (Q == 0) {
        b = g = r = lo;
        return;
    }
    int s = base - (d < 0) + rot / 255;
    int f = ((R[Q] * (d + (d < 0 ? Q : 0)) + 32768) >> 16) + rot % 255;
    if (f > 254) f -= 255, s += 1;
    const int t = (span * f + 128) >> 8;
    const int table[6][3] = {{lo + span - t, lo, lo + span}, {lo, lo + t, lo + span},
                             {lo, lo + span, lo + span - t}, {lo + t, lo + span, lo},
                             {lo + span, lo + span - t, lo}, {lo + span, lo, lo + t}};
    b = table[s % 6][0], g = table[s % 6][1], r = table[s % 6][2];
}

bool Wide(int bpp) { return bpp == 2 || bpp == 6 || bpp == 8; }
int Channels(int bpp) { return bpp == 1 || bpp == 2 ? 1 : 3; }
int Get(const Image& img, int x, int y, int c) { return Wide(img.bpp) ? img.get16(x, y, c) : img.get8(x, y, c); }

// ---- gamma --------------------------------------------------------------------------

TEST(Gamma, TablesMatchTheLogarithmRule) {
    for (int maxValue : {255, 1023})
        for (int gamma : {0, 1, 10, 50, 99, 100, 101, 150, 199, 200}) {
            std::vector<uint16_t> t(maxValue + 1);
            BuildGammaTable(t.data(), maxValue, gamma);
            const std::vector<int> ref = RefGamma(maxValue, gamma);
            for (int i = 0; i <= maxValue; ++i) ASSERT_EQ(t[i], ref[i]) << "gamma " << gamma << " i " << i;
        }
}

TEST(Gamma, FiftyMaps64To127AndZeroBrightens) {
    uint16_t t[256];
    BuildGammaTable(t, 255, 50);
    EXPECT_EQ(t[64], 127);
    EXPECT_EQ(t[0], 0);
    BuildGammaTable(t, 255, 0);
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(t[i], 250) << i;
        EXPECT_LE(t[i], 255) << i;
    }
}

// ---- contrast -----------------------------------------------------------------------

TEST(Contrast, Tables) {
    uint16_t t[256];
    BuildContrastTable(t, 255, 64);
    for (int v = 0; v <= 63; ++v) EXPECT_EQ(t[v], 0);
    for (int v = 192; v <= 255; ++v) EXPECT_EQ(t[v], 255);
    EXPECT_EQ(t[128], 128);
    BuildContrastTable(t, 255, -127);
    EXPECT_EQ(t[0], 63);
    EXPECT_EQ(t[255], 191);
    for (int maxValue : {255, 1023})
        for (int c : {-508, -127, -1, 1, 64, 127, 508}) {
            if (maxValue == 255 && std::abs(c) > 127) continue;
            std::vector<uint16_t> table(maxValue + 1);
            BuildContrastTable(table.data(), maxValue, c);
            const std::vector<int> ref = RefContrast(maxValue, c);
            for (int v = 0; v <= maxValue; ++v) ASSERT_EQ(table[v], ref[v]) << c << " " << v;
        }
    // Settings beyond the dialog's range (damaged stored settings, and four
    // times such a setting for the 16-bit gray mode) follow the same rule:
    // from c = H on nothing is left for the slope, and a very negative c
    // squeezes the picture towards the middle.
    for (int maxValue : {255, 1023})
        for (long long c : {128LL, 200LL, 511LL, 600LL, 1024LL, 4LL * INT32_MAX, -300LL, -100000LL, 4LL * INT32_MIN}) {
            std::vector<uint16_t> table(maxValue + 1);
            BuildContrastTable(table.data(), maxValue, c);
            const std::vector<int> ref = RefContrast(maxValue, c);
            for (int v = 0; v <= maxValue; ++v) ASSERT_EQ(table[v], ref[v]) << c << " " << v;
        }
}

TEST(Tables, ParametersOutsideTheirRangesStayInRange) {
    std::vector<uint16_t> t(1024);
    for (int maxValue : {255, 1023})
        for (int v : {INT32_MIN, -100000, 100000, INT32_MAX}) {
            BuildGammaTable(t.data(), maxValue, v);
            BuildContrastTable(t.data(), maxValue, v);
            for (int i = 0; i <= maxValue; ++i) ASSERT_LE(t[i], maxValue);
            BuildBrightnessTable(t.data(), maxValue, v);
            for (int i = 0; i <= maxValue; ++i) ASSERT_LE(t[i], maxValue);
            std::vector<int16_t> d(2 * maxValue + 1);
            BuildSharpnessTable(d.data(), maxValue, v);
        }
    uint8_t b = 10, g = 20, r = 30;
    HueSaturationPixel(b, g, r, INT32_MIN, INT32_MAX);
    HueSaturationPixel(b, g, r, INT32_MAX, INT32_MIN);
}

// ---- brightness and the table kernel -------------------------------------------

TEST(Brightness, ExtremesAndReference) {
    uint16_t t[1024];
    BuildBrightnessTable(t, 255, 255);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[23], 253);  // 23 x 11
    for (int s = 24; s < 256; ++s) EXPECT_EQ(t[s], 255);
    BuildBrightnessTable(t, 255, -255);
    for (int s = 0; s < 256; ++s) EXPECT_EQ(t[s], 0);
    for (int maxValue : {255, 1023})
        for (int b : {-255, -128, -1, 0, 1, 7, 100, 255}) {
            BuildBrightnessTable(t, maxValue, b);
            for (int s = 0; s <= maxValue; ++s) ASSERT_EQ(t[s], RefBrightness(s, b, maxValue)) << b << " " << s;
        }
}

TEST(ApplyTable, EverySampleFormatOnOddSizes) {
    std::vector<uint16_t> table(1024);
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2, 3, 4, 6, 8}) {
            const int maxValue = FilterMaxValue(bpp);
            BuildGammaTable(table.data(), maxValue, 37);
            Image img(size.w, size.h, bpp);
            if (Wide(bpp)) {
                testutil::FillRandom16(img, size.w + bpp, 2047);  // above 1023 reads as 1023
            } else {
                testutil::FillRandom(img, size.w + bpp);
            }
            const Image before = img;
            ASSERT_EQ(testutil::RunInPlace(KernelApplyTable, img, reinterpret_cast<intptr_t>(table.data())), 1);
            for (int y = 0; y < size.h; ++y)
                for (int x = 0; x < size.w; ++x) {
                    for (int c = 0; c < Channels(bpp); ++c)
                        ASSERT_EQ(Get(img, x, y, c), table[std::min(Get(before, x, y, c), maxValue)]);
                    if (bpp == 4) {
                        ASSERT_EQ(img.get8(x, y, 3), before.get8(x, y, 3));
                    }
                    if (bpp == 8) {
                        ASSERT_EQ(img.get16(x, y, 3), before.get16(x, y, 3));
                    }
                }
        }
}

// ---- sharpness ---------------------------------------------------------------------

void RunSharpness(Image& out, const Image& copy, int sharpness) {
    const int maxValue = FilterMaxValue(out.bpp);
    std::vector<int16_t> diff(2 * maxValue + 1);
    BuildSharpnessTable(diff.data(), maxValue, sharpness);
    ASSERT_EQ(testutil::RunWhole(KernelSharpness, out, copy, reinterpret_cast<intptr_t>(diff.data())), 1);
}

TEST(Sharpness, DifferenceTable) {
    int16_t d[511];
    BuildSharpnessTable(d, 255, 7);
    EXPECT_EQ(d[255 + 0], 0);
    EXPECT_EQ(d[255 + 13], 9);   // 91 / 10
    EXPECT_EQ(d[255 - 13], -9);  // toward zero
    EXPECT_EQ(d[0], -178);
}

TEST(Sharpness, UniformPictureIsUnchanged) {
    for (int bpp : {1, 2, 3, 4, 6, 8}) {
        Image copy(9, 8, bpp);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 9; ++x)
                for (int c = 0; c < Channels(bpp); ++c) Wide(bpp) ? copy.set16(x, y, 700, c) : copy.set8(x, y, 170, c);
        Image out = copy;
        RunSharpness(out, copy, 30);
        EXPECT_EQ(out.bytes, copy.bytes);
    }
}

TEST(Sharpness, IsolatedBrightPixelClips) {
    Image copy(9, 9, 1);
    copy.set8(4, 4, 200);
    Image out = copy;
    RunSharpness(out, copy, 10);
    EXPECT_EQ(out.get8(4, 4), 255);  // 200 + (200 - 12) clipped
    EXPECT_EQ(out.get8(3, 3), 0);    // 0 + trunc(-12) clipped
}

TEST(Sharpness, MatchesTheReferenceOnOddSizes) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2, 3, 4, 6, 8})
            for (int s : {1, 10, 30, -7, 5000, INT32_MAX}) {  // the last three only from damaged settings
                const int maxValue = FilterMaxValue(bpp);
                Image copy(size.w, size.h, bpp), out(size.w, size.h, bpp);
                if (Wide(bpp)) {
                    testutil::FillRandom16(copy, size.w * 7 + size.h + bpp, 1100);
                } else {
                    testutil::FillRandom(copy, size.w * 7 + size.h + bpp);
                }
                testutil::FillRandom(out, 5);
                Image expected = out;
                for (int y = 2; y <= size.h - 3; ++y)
                    for (int x = 2; x <= size.w - 3; ++x)
                        for (int c = 0; c < Channels(bpp); ++c) {
                            int sum = 0;
                            for (int yy = y - 2; yy <= y + 1; ++yy)
                                for (int xx = x - 2; xx <= x + 1; ++xx) sum += std::min(Get(copy, xx, yy, c), maxValue);
                            const int v = std::min(Get(copy, x, y, c), maxValue);
                            const long long o = std::clamp<long long>(v + 1LL * s * (v - sum / 16) / 10, 0, maxValue);
                            Wide(bpp) ? expected.set16(x, y, static_cast<int>(o), c)
                                      : expected.set8(x, y, static_cast<int>(o), c);
                        }
                RunSharpness(out, copy, s);
                ASSERT_EQ(out.bytes, expected.bytes) << size.w << "x" << size.h << " bpp " << bpp << " s " << s;
            }
}

// ---- hue and saturation --------------------------------------------------------

void RunHue(Image& img, int hue, int sat) {
    const HueSatParams p{hue, 0, sat, 10};
    ASSERT_EQ(testutil::RunInPlace(KernelHueSaturation, img, reinterpret_cast<intptr_t>(&p)), 1);
}

TEST(HueSaturation, NeutralExampleIsUnchanged) {
    Image img(1, 1, 3);
    img.set8(0, 0, 50, 0), img.set8(0, 0, 100, 1), img.set8(0, 0, 200, 2);
    RunHue(img, 0, 0);
    EXPECT_EQ(img.get8(0, 0, 0), 50);
    EXPECT_EQ(img.get8(0, 0, 1), 100);
    EXPECT_EQ(img.get8(0, 0, 2), 200);
}

TEST(HueSaturation, NeutralSettingsMoveNoChannelByMoreThanOne) {
    // The integer model rounds: neutral settings are within one step everywhere.
    int worst = 0;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 3)
            for (int b = 0; b < 256; ++b) {
                uint8_t B = static_cast<uint8_t>(b), G = static_cast<uint8_t>(g), R = static_cast<uint8_t>(r);
                HueSaturationPixel(B, G, R, 0, 0);
                worst = std::max({worst, std::abs(B - b), std::abs(G - g), std::abs(R - r)});
            }
    EXPECT_LE(worst, 1);
}

TEST(HueSaturation, OnlyTheLowEightBitsOfTheHueCount) {
    Image a(23, 7, 3);
    testutil::FillRandom(a, 42);
    Image b = a, c = a, d = a;
    RunHue(a, 256, 30);
    RunHue(b, 0, 30);
    EXPECT_EQ(a.bytes, b.bytes);
    RunHue(c, -1, -20);
    RunHue(d, 255, -20);
    EXPECT_EQ(c.bytes, d.bytes);
}

TEST(HueSaturation, MatchesTheReferenceOnOddSizes) {
    // The last two saturations only come from damaged stored settings.
    const int settings[][2] = {{0, 0},     {1, 0},    {42, 0},   {128, 255}, {200, -255},
                               {-360, 17}, {300, -1}, {85, 100}, {40, 700},  {-3, 10000}};
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {3, 4, 6, 8})
            for (const auto& hs : settings) {
                Image img(size.w, size.h, bpp);
                if (Wide(bpp)) {
                    testutil::FillRandom16(img, size.w + size.h + bpp, 1100);
                } else {
                    testutil::FillRandom(img, size.w + size.h + bpp);
                }
                Image expected = img;
                for (int y = 0; y < size.h; ++y)
                    for (int x = 0; x < size.w; ++x) {
                        if (Wide(bpp)) {
                            int ch[3];
                            for (int c = 0; c < 3; ++c) ch[c] = std::min(img.get16(x, y, c), 1023) >> 2;
                            RefHexcone(ch[0], ch[1], ch[2], hs[0], hs[1]);
                            for (int c = 0; c < 3; ++c) expected.set16(x, y, ch[c] * 4 + ch[c] / 64, c);
                        } else {
                            int b = img.get8(x, y, 0), g = img.get8(x, y, 1), r = img.get8(x, y, 2);
                            RefHexcone(b, g, r, hs[0], hs[1]);
                            expected.set8(x, y, b, 0), expected.set8(x, y, g, 1), expected.set8(x, y, r, 2);
                        }
                    }
                RunHue(img, hs[0], hs[1]);
                ASSERT_EQ(img.bytes, expected.bytes) << "hue " << hs[0] << " sat " << hs[1] << " bpp " << bpp;
            }
}

TEST(HueSaturation, SaturationExtremes) {
    // Full desaturation leaves (almost) gray; full saturation pushes a muted colour apart.
    uint8_t b = 50, g = 100, r = 200;
    HueSaturationPixel(b, g, r, 0, -255);
    EXPECT_LE(std::max({b, g, r}) - std::min({b, g, r}), 1);
    b = 100, g = 120, r = 140;
    HueSaturationPixel(b, g, r, 0, 255);
    EXPECT_GT(r - b, 40 * 3 / 2);

    // At -256 no chroma is left; a stored setting below that is no less gray
    // (and never pushes a channel outside 0..255).
    Image gray(64, 4, 3), below(64, 4, 3);
    testutil::FillRandom(gray, 12);
    below = gray;
    RunHue(gray, 0, -256);
    RunHue(below, 0, INT32_MIN);
    EXPECT_EQ(below.bytes, gray.bytes);
    for (int x = 0; x < 64; ++x) {
        EXPECT_EQ(gray.get8(x, 1, 0), gray.get8(x, 1, 1));
        EXPECT_EQ(gray.get8(x, 1, 1), gray.get8(x, 1, 2));
    }
}

TEST(HueSaturation, TwoSessionsWithDifferentSaturationsDoNotDisturbEachOther) {
    Image base(64, 16, 3);
    testutil::FillRandom(base, 8);
    Image expectA = base, expectB = base;
    RunHue(expectA, 30, 100);
    RunHue(expectB, 30, -100);
    bool okA = true, okB = true;
    const auto worker = [&](int sat, const Image& expected, bool& ok) {
        for (int i = 0; i < 200; ++i) {
            Image img = base;
            const HueSatParams p{30, 0, sat, 10};
            testutil::RunInPlace(KernelHueSaturation, img, reinterpret_cast<intptr_t>(&p));
            ok = ok && img.bytes == expected.bytes;
        }
    };
    std::thread a(worker, 100, std::cref(expectA), std::ref(okA));
    std::thread b(worker, -100, std::cref(expectB), std::ref(okB));
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

}  // namespace
