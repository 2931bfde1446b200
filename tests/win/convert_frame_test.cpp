// The per-frame conversion of a session without a camera: the source picture
// is filled directly (or placed from a delivered frame) and ConvertFrame runs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "SessionFixture.h"
#include "pixel/demosaic/Bayer.h"
#include "pixel/demosaic/DemosaicKernels.h"
#include "pixel/filter/FilterKernels.h"

namespace {

// A session without a camera whose frame buffers are sized for one colour
// type as the acquisition preparation sizes them, with neutral adjustments.
class FramePath {
public:
    FramePath(int type, int w, int h) {
        CVidlyn& s = session;
        vidlyn::test::AddFrameBuffers(s);
        vidlyn::test::SetNeutralAdjustments(s);
        s.m_colorType = type;
        s.m_width = w;
        s.m_height = h;
        if (type <= 3) {
            EXPECT_EQ(s.m_dib8->Create(w, h, 8), 1);
        }
        if (type == 1 || type >= 4) {
            EXPECT_EQ(s.m_dib16->Create(w, h, 16), 1);
        }
        if (type != 1) {
            EXPECT_EQ(s.m_dib24->Create(w, h, 24), 1);
        }
        if (type == 3) {
            EXPECT_EQ(s.m_dib32->Create(w, h, 32), 1);
        }
        if (type == 4) {
            EXPECT_EQ(s.m_dib48->Create(w, h, 48), 1);
        }
        if (type == 5) {
            EXPECT_EQ(s.m_dib64->Create(w, h, 64), 1);
        }
        EXPECT_EQ(s.m_dibCopy->CreateLike(s.OutputBuffer()), 1);
    }

    DibBuffer* source() { return session.SourceBuffer(); }
    DibBuffer* output() { return session.OutputBuffer(); }

    // Sets every source sample from `value(class, x, y)` with the session's phase.
    void FillMosaic(const std::function<int(BayerClass, int, int)>& value) {
        DibBuffer* b = source();
        for (int y = 0; y < b->height; ++y) {
            for (int x = 0; x < b->width; ++x) {
                const int v = value(BayerClassAt(session.m_adjust.m_bayerMode, x, y), x, y);
                if (b->bitCount == 8) {
                    b->bits[y * b->stride + x] = static_cast<uint8_t>(v);
                } else {
                    reinterpret_cast<uint16_t*>(b->bits + y * b->stride)[x] = static_cast<uint16_t>(v);
                }
            }
        }
    }

    // Sample `channel` of pixel (x, y) of a buffer (bytes or 16-bit samples).
    static int At(const DibBuffer* b, int x, int y, int channel) {
        const uint8_t* row = b->bits + y * b->stride;
        const int samples = b->bitCount / 8 / (b->bitCount >= 48 || b->bitCount == 16 ? 2 : 1);
        if (b->bitCount == 16 || b->bitCount >= 48) {
            return reinterpret_cast<const uint16_t*>(row)[x * samples + channel];
        }
        return row[x * samples + channel];
    }

    CVidlyn session;
};

// Level per colour class of the test scene.
int Scene(BayerClass c) {
    switch (c) {
        case BayerClass::Red:
            return 200;
        case BayerClass::Blue:
            return 40;
        default:
            return 100;
    }
}

TEST(ConvertFrame, UniformFrameGivesUniformGrayInEveryColourMode) {
    for (int type : {2, 3, 4, 5}) {
        SCOPED_TRACE(testing::Message() << "colour type " << type);
        FramePath p(type, 11, 9);              // odd width: padded rows
        const int raw = type >= 4 ? 320 : 80;  // 10-bit samples are the camera's bytes << 2
        p.FillMosaic([&](BayerClass, int, int) { return raw; });
        DibBuffer* out = p.output();
        std::memset(out->bits, 0xAB, static_cast<size_t>(out->stride) * out->height);
        p.session.ConvertFrame();
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 11; ++x) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(FramePath::At(out, x, y, c), raw) << x << "," << y << " channel " << c;
                }
                if (type == 3) {
                    ASSERT_EQ(FramePath::At(out, x, y, 3), 0xAB);
                }
                if (type == 5) {
                    ASSERT_EQ(FramePath::At(out, x, y, 3), 0xABAB);
                }
            }
        }
    }
}

// Left half of the picture at full level, right half at half level (or top
// and bottom), per colour class.
void CheckHalves(FramePath& p, bool horizontal, bool brightFirst) {
    const DibBuffer* out = p.output();
    const int unit = out->bitCount >= 48 ? 4 : 1;
    const int w = out->width;
    const int h = out->height;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int pos = horizontal ? x : y;
            const int half = (horizontal ? w : h) / 2;
            if (pos >= half - 2 && pos < half + 2) continue;  // the interpolation crosses the edge here
            const bool bright = (pos < half) == brightFirst;
            const int k = (bright ? 2 : 1) * unit;
            ASSERT_EQ(FramePath::At(out, x, y, 2), 100 * k) << "red at " << x << "," << y;
            ASSERT_EQ(FramePath::At(out, x, y, 1), 50 * k) << "green at " << x << "," << y;
            ASSERT_EQ(FramePath::At(out, x, y, 0), 20 * k) << "blue at " << x << "," << y;
        }
    }
}

TEST(ConvertFrame, MirrorsKeepColoursOnTheirChannels) {
    // Horizontal: the frame is placed from a delivered frame (subsampling
    // code 2, 1224 x 816 bytes), mirrored, and the phase moves with it.
    for (int type : {2, 4}) {
        SCOPED_TRACE(testing::Message() << "colour type " << type);
        FramePath p(type, 16, 12);
        p.session.m_subSample = 2;
        const int frameW = 1224;
        std::vector<uint8_t> frame(static_cast<size_t>(frameW) * 816);
        for (int y = 0; y < 816; ++y) {
            for (int x = 0; x < frameW; ++x) {
                const int v = Scene(BayerClassAt(0, x, y)) / (x < 8 ? 1 : 2);
                frame[static_cast<size_t>(y) * frameW + x] = static_cast<uint8_t>(v);
            }
        }
        ASSERT_EQ(p.session.PlaceFrame(frame.data(), frame.size()), 1);
        p.session.ConvertFrame();
        {
            SCOPED_TRACE("as delivered");
            CheckHalves(p, true, true);
        }

        p.session.m_analog.m_mirrorH = 1;
        p.session.m_adjust.m_bayerMode ^= 2;
        ASSERT_EQ(p.session.PlaceFrame(frame.data(), frame.size()), 1);
        p.session.ConvertFrame();
        {
            SCOPED_TRACE("mirrored horizontally");
            CheckHalves(p, true, false);
        }
    }

    // Vertical: done by the conversion on the source picture.
    FramePath p(3, 16, 12);
    p.FillMosaic([](BayerClass c, int, int y) { return Scene(c) / (y < 6 ? 1 : 2); });
    p.session.ConvertFrame();
    {
        SCOPED_TRACE("as delivered");
        CheckHalves(p, false, true);
    }
    p.session.m_analog.m_mirrorV = 1;
    p.session.m_adjust.m_bayerMode ^= 1;
    // Filled as delivered: the scene at phase 0.
    p.FillMosaic([](BayerClass, int x, int y) { return Scene(BayerClassAt(0, x, y)) / (y < 6 ? 1 : 2); });
    p.session.ConvertFrame();
    {
        SCOPED_TRACE("mirrored vertically");
        CheckHalves(p, false, false);
    }
}

TEST(ConvertFrame, GrayModes) {
    // Mode 2: gray from colour; pure red gives (30 x 255) / 100.
    FramePath p(0, 10, 8);
    p.session.m_adjust.m_grayMode = 2;
    p.FillMosaic([](BayerClass c, int, int) { return c == BayerClass::Red ? 255 : 0; });
    p.session.ConvertFrame();
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) ASSERT_EQ(FramePath::At(p.session.m_dib8, x, y, 0), 76) << x << "," << y;
    }

    // Mode 1: gain 128 and offset -255 make everything black.
    p.session.m_adjust.m_grayMode = 1;
    p.session.m_adjust.m_grayOffsetR = p.session.m_adjust.m_grayOffsetG1 = -255;
    p.session.m_adjust.m_grayOffsetG2 = p.session.m_adjust.m_grayOffsetB = -255;
    p.FillMosaic([](BayerClass, int x, int y) { return (x * 37 + y * 11) & 255; });
    p.session.ConvertFrame();
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) ASSERT_EQ(FramePath::At(p.session.m_dib8, x, y, 0), 0);
    }
}

TEST(ConvertFrame, AutomaticGrayGainEvensOutTheSites) {
    FramePath p(0, 12, 10);
    ImageAdjustBlock& a = p.session.m_adjust;
    a.m_grayMode = 1;
    auto scene = [](BayerClass c, int, int) {
        switch (c) {
            case BayerClass::Green1:
                return 100;
            case BayerClass::Blue:
                return 50;
            case BayerClass::Green2:
                return 80;
            default:
                return 200;
        }
    };
    // Once: measured on this frame, then the count is used up.
    a.m_grayAutoGainFrames = 1;
    p.FillMosaic(scene);
    p.session.ConvertFrame();
    EXPECT_EQ(a.m_grayGainR, 256);  // blue sites
    EXPECT_EQ(a.m_grayGainG1, 128);
    EXPECT_EQ(a.m_grayGainG2, 160);
    EXPECT_EQ(a.m_grayGainB, 64);  // red sites
    EXPECT_EQ(a.m_grayAutoGainFrames, 0);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) ASSERT_EQ(FramePath::At(p.session.m_dib8, x, y, 0), 100);
    }
    a.m_grayGainR = 128;
    p.FillMosaic(scene);
    p.session.ConvertFrame();
    EXPECT_EQ(a.m_grayGainR, 128);  // not measured again
    EXPECT_EQ(FramePath::At(p.session.m_dib8, 1, 0, 0), 50);

    // Every frame: the count stays negative and the gains follow the scene.
    a.m_grayAutoGainFrames = -1;
    for (int i = 0; i < 3; ++i) {
        a.m_grayGainR = 1;
        p.FillMosaic(scene);
        p.session.ConvertFrame();
        EXPECT_EQ(a.m_grayGainR, 256);
        EXPECT_EQ(a.m_grayAutoGainFrames, -1);
    }
}

// The demosaiced picture of the current source, without any filter.
std::vector<uint8_t> PlainDemosaic(FramePath& p) {
    DibBuffer expected;
    EXPECT_EQ(expected.CreateLike(p.output()), 1);
    const ImageAdjustBlock& a = p.session.m_adjust;
    const BayerParams bp{a.m_bayerMode, a.m_bayerGainRed, a.m_bayerGainGreen, a.m_bayerGainBlue};
    const bool wide = p.source()->bitCount == 16;
    expected.Convert(wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8, p.source(), nullptr, 0, 0,
                     reinterpret_cast<intptr_t>(&bp), 0);
    expected.Convert(wide ? KernelDemosaicBorder16 : KernelDemosaicBorder8, p.source(), nullptr, 0, 0,
                     reinterpret_cast<intptr_t>(&bp), 0);
    return std::vector<uint8_t>(expected.bits, expected.bits + static_cast<size_t>(expected.stride) * expected.height);
}

std::vector<uint8_t> Pixels(const DibBuffer* b) {
    return std::vector<uint8_t>(b->bits, b->bits + static_cast<size_t>(b->stride) * b->height);
}

int Texture(BayerClass, int x, int y) { return (x * 29 + y * 53 + ((x * y) & 7) * 17) & 255; }

TEST(ConvertFrame, NeutralSettingsRunNoFilterAndEachSettingRunsOne) {
    FramePath p(2, 20, 14);
    p.FillMosaic(Texture);
    const std::vector<uint8_t> source = Pixels(p.source());
    const std::vector<uint8_t> plain = PlainDemosaic(p);
    p.session.ConvertFrame();
    EXPECT_EQ(Pixels(p.output()), plain);

    ImageAdjustBlock& a = p.session.m_adjust;
    int32_t* settings[] = {&a.m_hue, &a.m_saturation, &a.m_gamma, &a.m_contrast, &a.m_sharpness, &a.m_brightness};
    const int32_t values[] = {60, 100, 50, 40, 10, -100};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(testing::Message() << "setting " << i);
        const int32_t neutral = *settings[i];
        *settings[i] = values[i];
        std::memcpy(p.source()->bits, source.data(), source.size());
        p.session.ConvertFrame();
        EXPECT_NE(Pixels(p.output()), plain);
        *settings[i] = neutral;
    }
}

// All five filters at once give exactly the kernels run in the order hue and
// saturation, gamma, contrast, sharpness (the straight kernel from a copy of
// the picture before it), brightness. Without sharpness the three lookup
// filters run as one composed table.
void CheckFilterOrder(int type, int contrastFactor, int sharpness = 12, int w = 24, int h = 16) {
    SCOPED_TRACE(testing::Message() << "colour type " << type << ", sharpness " << sharpness << ", " << w << "x" << h);
    FramePath p(type, w, h);
    // 16-bit gray reaches the filters as the camera sent it: some samples above 10 bits.
    p.FillMosaic([&](BayerClass c, int x, int y) {
        return (Texture(c, x, y) << (type == 1 || type >= 4 ? 2 : 0)) + (type == 1 && (x + y) % 7 == 0 ? 3000 : 0);
    });
    ImageAdjustBlock& a = p.session.m_adjust;
    a.m_hue = 30;
    a.m_saturation = 60;
    a.m_gamma = 140;
    a.m_contrast = 20;
    a.m_sharpness = sharpness;
    a.m_brightness = 40;

    DibBuffer expected;
    ASSERT_EQ(expected.CreateLike(p.output()), 1);
    if (type <= 1) {  // the raw picture is the output
        std::memcpy(expected.bits, p.source()->bits, static_cast<size_t>(expected.stride) * expected.height);
    } else {
        const std::vector<uint8_t> demosaiced = PlainDemosaic(p);
        std::memcpy(expected.bits, demosaiced.data(), demosaiced.size());
    }
    const int maxValue = FilterMaxValue(expected.bitCount / 8);
    auto inPlace = [&](ConvertKernel k, const void* params) {
        expected.Convert(k, &expected, nullptr, 0, 0, reinterpret_cast<intptr_t>(params), 0);
    };
    uint16_t table[1024];
    if (type >= 2) {
        const HueSatParams hs{30, 0, 60, 10};
        inPlace(KernelHueSaturation, &hs);
    }
    BuildGammaTable(table, maxValue, 140);
    inPlace(KernelApplyTable, table);
    BuildContrastTable(table, maxValue, 20 * contrastFactor);
    inPlace(KernelApplyTable, table);
    if (sharpness != 0) {
        DibBuffer copy;
        ASSERT_EQ(copy.CreateLike(&expected), 1);
        std::memcpy(copy.bits, expected.bits, static_cast<size_t>(expected.stride) * expected.height);
        int16_t differences[2047];
        BuildSharpnessTable(differences, maxValue, sharpness);
        expected.Convert(KernelSharpnessReference, &copy, nullptr, 0, 0, reinterpret_cast<intptr_t>(differences), 0);
    }
    BuildBrightnessTable(table, maxValue, 40);
    inPlace(KernelApplyTable, table);

    p.session.ConvertFrame();
    EXPECT_EQ(Pixels(p.output()), Pixels(&expected));
}

TEST(ConvertFrame, FiltersRunInTheirOrder) {
    CheckFilterOrder(2, 1);
    CheckFilterOrder(3, 1);
    CheckFilterOrder(5, 1);  // 10-bit colour: the contrast setting as it stands
    CheckFilterOrder(1, 4);  // 16-bit gray: four times the setting, no hue
    CheckFilterOrder(0, 1);
    for (const int type : {0, 1, 2, 3, 4, 5}) CheckFilterOrder(type, type == 1 ? 4 : 1, 0);
    // Tall enough for bands of rows side by side, sharpened in place.
    CheckFilterOrder(2, 1, 30, 70, 300);
    CheckFilterOrder(4, 1, 1, 37, 200);
}

TEST(ConvertFrame, SixteenBitGrayContrastOfDamagedSettingsFollowsTheCurve) {
    // The 16-bit gray mode uses four times the stored contrast; a stored value
    // far outside the dialog's range must still give the contrast curve:
    // c >= 1024 leaves nothing but black, a hugely negative c squeezes every
    // sample to the middle (511 or 512).
    FramePath p(1, 12, 10);
    ImageAdjustBlock& a = p.session.m_adjust;
    for (int32_t contrast : {INT32_MAX, 256, INT32_MIN}) {
        SCOPED_TRACE(testing::Message() << "contrast " << contrast);
        a.m_contrast = contrast;
        p.FillMosaic([](BayerClass c, int x, int y) { return Texture(c, x, y) << 2; });
        p.session.ConvertFrame();
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                const int v = FramePath::At(p.output(), x, y, 0);
                if (contrast > 0) {
                    ASSERT_EQ(v, 0) << x << "," << y;
                } else {
                    ASSERT_GE(v, 511) << x << "," << y;
                    ASSERT_LE(v, 512) << x << "," << y;
                }
            }
        }
    }
}

TEST(ConvertFrame, AutomaticWhiteBalance) {
    FramePath p(2, 12, 10);
    ImageAdjustBlock& a = p.session.m_adjust;
    auto scene = [](BayerClass c, int, int) {
        switch (c) {
            case BayerClass::Blue:
                return 50;
            case BayerClass::Red:
                return 20;  // 500 %: limited to 400
            default:
                return 100;
        }
    };
    a.m_bayerGainAuto = 1;
    a.m_bayerGainGreen = 70;
    p.FillMosaic(scene);
    p.session.ConvertFrame();
    EXPECT_EQ(a.m_bayerGainBlue, 200);
    EXPECT_EQ(a.m_bayerGainRed, 400);
    EXPECT_EQ(a.m_bayerGainGreen, 100);
    EXPECT_EQ(a.m_bayerGainAuto, 1);                     // every frame: stays on
    EXPECT_EQ(FramePath::At(p.output(), 5, 5, 0), 100);  // blue 50 x 2
    EXPECT_EQ(FramePath::At(p.output(), 5, 5, 2), 80);   // red 20 x 4

    // Once: balanced on this frame, then all three flags are cleared.
    a.m_bayerGainAutoOnce = 1;
    a.m_bayerGainAutoOnce2 = 1;
    a.m_bayerGainBlue = 100;
    p.FillMosaic(scene);
    p.session.ConvertFrame();
    EXPECT_EQ(a.m_bayerGainBlue, 200);
    EXPECT_EQ(a.m_bayerGainAuto, 0);
    EXPECT_EQ(a.m_bayerGainAutoOnce, 0);
    EXPECT_EQ(a.m_bayerGainAutoOnce2, 0);
    a.m_bayerGainBlue = 100;
    p.FillMosaic(scene);
    p.session.ConvertFrame();
    EXPECT_EQ(a.m_bayerGainBlue, 100);
}

TEST(ConvertFrame, MissingOrMismatchedBuffersAreLeftAlone) {
    // An unknown colour type, a source of another size than the output, and
    // a session without buffers convert nothing and do not fault.
    FramePath p(2, 12, 10);
    p.session.m_colorType = 7;
    p.session.ConvertFrame();
    p.session.m_colorType = 2;
    ASSERT_EQ(p.session.m_dib24->Create(6, 4, 24), 1);
    p.session.ConvertFrame();
    EXPECT_EQ(FramePath::At(p.session.m_dib24, 0, 0, 0), 0);
    CVidlyn bare;
    bare.m_colorType = 4;
    bare.ConvertFrame();
    EXPECT_EQ(bare.PlaceFrame(nullptr, 0), 0);
    EXPECT_EQ(bare.FrameLanding(100), nullptr);
}

}  // namespace
