// Automatic exposure on the session side: the reports while it is off or has
// nothing to measure, the every-third-frame divider shared by the process,
// and the gain and exposure values it sends to the simulated camera.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "SdkTestUtil.h"
#include "SessionFixture.h"

namespace {

using vidlyn::test::Writes;

// A 100 x 80 raw picture at one level, with `centre` in the centre window
// (45..55 % of both sides).
void Fill(DibBuffer& b, int level, int centre) {
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            const bool inCentre = x >= 45 && x < 55 && y >= 36 && y < 44;
            const int v = inCentre ? centre : level;
            if (b.bitCount == 16) {
                reinterpret_cast<uint16_t*>(b.bits + y * b.stride)[x] = static_cast<uint16_t>(v << 2);
            } else {
                b.bits[y * b.stride + x] = static_cast<uint8_t>(v);
            }
        }
    }
}

class AutoExposure : public vidlyn::test::SessionWithCamera {
protected:
    void SetUp() override {
        SessionWithCamera::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(m_frame.Create(100, 80, 8), 1);
    }

    // Runs the step until it measures (at most three frames) and returns its result.
    int Measure(DibBuffer* frame) {
        for (int i = 0; i < 3; ++i) {
            if (s.RegulateExposure(frame) == 1) {
                return 1;
            }
        }
        return 0;
    }

    DibBuffer m_frame;
};

TEST_F(AutoExposure, OffNotifiesCodeZeroOnEveryFrameAndKeepsTheHistory) {
    sdktest::MessageWindow window;
    s.m_notifyWnd = window.get();
    s.pushError(5);
    Fill(m_frame, 30, 30);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s.RegulateExposure(&m_frame), 0);
    }
    EXPECT_EQ(s.m_errorHistory[0].load(), 5);  // the real code stays on top
    EXPECT_EQ(s.m_errorHistory[1].load(), 0);
    const std::vector<sdktest::Notice> notices = sdktest::Drain(window.get());
    ASSERT_EQ(notices.size(), 5u);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(notices[i].lParam, 0);
    }
    EXPECT_TRUE(NewWrites().empty());
}

TEST_F(AutoExposure, NothingToMeasureReportsCode9) {
    s.m_analog.m_autoIris = 1;
    EXPECT_EQ(s.RegulateExposure(nullptr), 0);
    DibBuffer empty;
    EXPECT_EQ(s.RegulateExposure(&empty), 0);
    CVidlyn noCamera;
    noCamera.m_analog.m_autoIris = 2;
    EXPECT_EQ(noCamera.RegulateExposure(&m_frame), 0);
    EXPECT_EQ(s.popError(), 9);
    EXPECT_EQ(s.popError(), 9);
    EXPECT_EQ(s.popError(), 0);
    EXPECT_EQ(noCamera.popError(), 9);
}

TEST_F(AutoExposure, MeasuresEveryThirdFrame) {
    s.m_analog.m_autoIris = 2;
    s.m_analog.m_globalGain = 100;
    Fill(m_frame, 120, 120);  // nothing to correct
    ASSERT_EQ(Measure(&m_frame), 1);
    for (int turn = 0; turn < 3; ++turn) {
        EXPECT_EQ(s.RegulateExposure(&m_frame), 0);
        EXPECT_EQ(s.RegulateExposure(&m_frame), 0);
        EXPECT_EQ(s.RegulateExposure(&m_frame), 1);
    }
    EXPECT_EQ(s.m_analog.m_globalGain, 100);
    EXPECT_TRUE(NewWrites().empty());
    // A slightly dark centre (factor 1.05) is still left alone.
    Fill(m_frame, 120, 80);
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 100);
    EXPECT_TRUE(NewWrites().empty());
}

TEST_F(AutoExposure, DarkSceneRaisesGainOrShortensTheExposureValue) {
    // Mean 30 everywhere: factor 1.1 + 4 x 0.1 = 1.5.
    Fill(m_frame, 30, 30);
    s.m_analog.m_autoIris = 2;
    s.m_analog.m_globalGain = 100;
    s.m_analog.m_exposureTime = 3000;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 150);
    EXPECT_EQ(s.m_analog.m_exposureTime, 3000);
    EXPECT_EQ(NewWrites(), (Writes{{0x3003, 1}, {0x0005, 150}}));

    s.m_analog.m_autoIris = 1;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_exposureTime, 2000);
    EXPECT_EQ(s.m_analog.m_globalGain, 150);
    EXPECT_EQ(NewWrites(), (Writes{{0x2004, 2000}}));

    // 16-bit sources are measured on the same 0..255 scale.
    DibBuffer wide;
    ASSERT_EQ(wide.Create(100, 80, 16), 1);
    Fill(wide, 30, 30);
    ASSERT_EQ(Measure(&wide), 1);
    EXPECT_EQ(s.m_analog.m_exposureTime, 1333);
    EXPECT_EQ(NewWrites(), (Writes{{0x2004, 1333}}));
}

TEST_F(AutoExposure, GainZeroStartsAtFourThenGrows) {
    Fill(m_frame, 30, 30);
    s.m_analog.m_autoIris = 2;
    s.m_analog.m_globalGain = 0;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 4);
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 6);
    s.m_analog.m_globalGain = 1000;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 1023);
    EXPECT_EQ(m_camera->Register(0x0005), 1023);
}

TEST_F(AutoExposure, BrightSceneIsLimitedByTheReadout) {
    // Mean 250: factor 0.85 - 4 x 0.15 = 0.25.
    Fill(m_frame, 250, 250);
    s.m_analog.m_autoIris = 1;
    s.m_analog.m_exposureTime = 1000;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_exposureTime, 3335);
    EXPECT_EQ(NewWrites(), (Writes{{0x2004, 3335}}));

    // The device's subsampled readout allows half the range.
    EXPECT_EQ(s.m_device->SetFormat(0, 0, 4896, 3264, 1), 0);
    NewWrites();
    s.m_analog.m_exposureTime = 1000;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_exposureTime, 1668);
    EXPECT_EQ(NewWrites(), (Writes{{0x2004, 1668}}));

    s.m_analog.m_autoIris = 2;
    s.m_analog.m_globalGain = 100;
    ASSERT_EQ(Measure(&m_frame), 1);
    EXPECT_EQ(s.m_analog.m_globalGain, 25);
}

TEST_F(AutoExposure, RunsFirstInTheConversionOnTheRawPicture) {
    // The source picture of the colour type is measured before it is mirrored
    // or demosaiced: a dark 24-bit session regulates from m_dib8.
    vidlyn::test::AddFrameBuffers(s);
    vidlyn::test::SetNeutralAdjustments(s);
    s.m_colorType = 2;
    ASSERT_EQ(s.m_dib8->Create(100, 80, 8), 1);
    ASSERT_EQ(s.m_dib24->Create(100, 80, 24), 1);
    s.m_analog.m_autoIris = 2;
    s.m_analog.m_globalGain = 100;
    for (int i = 0; i < 3 && s.m_analog.m_globalGain == 100; ++i) {
        Fill(*s.m_dib8, 30, 30);
        s.ConvertFrame();
    }
    EXPECT_EQ(s.m_analog.m_globalGain, 150);
    EXPECT_EQ(s.m_dib24->bits[3 * 50], 30);  // and the frame was converted
}

}  // namespace
