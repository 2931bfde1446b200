// The session core: what initialization creates and sends to the device, the
// small settings (colour mode, mirrors, auto iris, wait time), and a session
// that never got its device object.
#include <gtest/gtest.h>

#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using namespace sdktest;

class SessionCore : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        { Session first; }
        Drain(nullptr);
    }
    void TearDown() override {
        Drain(nullptr);
        DeleteSettings();
    }
};

TEST_F(SessionCore, InitializationWithoutACameraBuildsEverythingAndSendsTheSettings) {
    Session s;
    ASSERT_NE(s.handle(), 0);
    CVidlyn* o = s.object();
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(DrainHistory(s).empty());
    ASSERT_NE(o->m_device, nullptr);
    EXPECT_FALSE(o->m_device->IsOpen());  // no camera here
    EXPECT_TRUE(o->BuffersReady());
    EXPECT_TRUE(o->m_settingsLoaded);
    // Gain, exposure and read time-out reached the device.
    EXPECT_EQ(o->m_device->GetGlobalGain(), 100);
    int exposure = 0;
    EXPECT_EQ(o->m_device->GetExposure(&exposure), 1);
    EXPECT_EQ(exposure, 100);
    EXPECT_EQ(o->m_device->GetReadTimeout(), 1000);
    EXPECT_EQ(o->m_previewRect[0], 0);
    EXPECT_EQ(o->m_previewRect[2], 4896);
    EXPECT_EQ(o->m_previewRect[3], 3264);
    EXPECT_EQ(Vidlyn_GetStatus(s), 0);
    EXPECT_EQ(o->m_frameNotice->size, 32);
}

TEST_F(SessionCore, ColourModes) {
    Session s;
    const int bits[] = {8, 16, 24, 32, 48, 64};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Vidlyn_SetColorMode(s, bits[i]), 1);
        EXPECT_EQ(Vidlyn_GetColorMode(s), bits[i]);
        EXPECT_EQ(s.object()->m_colorType.load(), i);
    }
    EXPECT_EQ(s.object()->OutputBuffer(), s.object()->m_dib64);
    EXPECT_EQ(Vidlyn_SetColorMode(s, 24), 1);
    for (int bad : {12, 0, -24, 25}) {
        EXPECT_EQ(Vidlyn_SetColorMode(s, bad), 0);
        EXPECT_EQ(Vidlyn_GetLastError(s), 9);
        EXPECT_EQ(Vidlyn_GetColorMode(s), 24);
    }
    // While a stream runs or a capture is armed the buffers are sized for the
    // current mode: a switch is refused as not allowed now.
    for (int state : {1, 2}) {
        s.object()->m_state.store(state);
        EXPECT_EQ(Vidlyn_SetColorMode(s, 8), 0);
        EXPECT_EQ(Vidlyn_GetLastError(s), 1);
        EXPECT_EQ(Vidlyn_GetColorMode(s), 24);
    }
    s.object()->m_state.store(0);
    EXPECT_EQ(Vidlyn_SetColorMode(s, 8), 1);
}

TEST_F(SessionCore, MirrorSettersMoveTheBayerPhaseOnEveryCall) {
    Session s;
    CVidlyn* o = s.object();
    ASSERT_EQ(Vidlyn_SetBayerMode(s, 0), 1);
    EXPECT_EQ(Vidlyn_SetMirrorV(s, 1), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 1);
    EXPECT_EQ(Vidlyn_SetMirrorV(s, 1), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 0);
    EXPECT_EQ(Vidlyn_GetMirrorV(s), 1);
    EXPECT_EQ(Vidlyn_SetMirrorH(s, 0), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 2);
    EXPECT_EQ(Vidlyn_GetMirrorH(s), 0);
    EXPECT_EQ(Vidlyn_SetMirrorH(s, 5), 1);
    EXPECT_EQ(Vidlyn_GetMirrorH(s), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 0);
    EXPECT_EQ(Vidlyn_SetMirrorV(s, 0), 1);
    EXPECT_EQ(Vidlyn_GetMirrorV(s), 0);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 1);
    EXPECT_EQ(Vidlyn_SetMirrorH(s, 1), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 3);
    // A phase outside 0..3 is left alone.
    o->m_adjust.m_bayerMode = 9;
    EXPECT_EQ(Vidlyn_SetMirrorV(s, 1), 1);
    EXPECT_EQ(Vidlyn_SetMirrorH(s, 1), 1);
    EXPECT_EQ(o->m_adjust.m_bayerMode, 9);
    EXPECT_TRUE(DrainHistory(s).empty());
}

TEST_F(SessionCore, AutoIrisAndWaitTime) {
    Session s;
    EXPECT_EQ(Vidlyn_SetAutoIris(s, 2), 1);
    EXPECT_EQ(Vidlyn_GetAutoIris(s, nullptr), 2);
    int valid = 0;
    EXPECT_EQ(Vidlyn_GetAutoIris(s, &valid), 2);
    EXPECT_EQ(valid, 1);
    EXPECT_EQ(Vidlyn_SetAutoIris(s, 0), 1);
    EXPECT_EQ(Vidlyn_GetAutoIris(s, nullptr), 0);

    EXPECT_EQ(Vidlyn_SetWaitTime(s, 25), 1);
    EXPECT_EQ(Vidlyn_SetWaitTime(s, -1), 0);  // refused without a report
    EXPECT_EQ(Vidlyn_GetWaitTime(s), 25);
    EXPECT_EQ(Vidlyn_SetWaitTime(s, 0), 1);
    EXPECT_EQ(Vidlyn_GetWaitTime(s), 0);
    EXPECT_TRUE(DrainHistory(s).empty());
    EXPECT_TRUE(Drain(nullptr).empty());
}

TEST_F(SessionCore, WidthAndHeightFollowTheSessionGeometry) {
    Session s;
    s.object()->m_width = 640;
    s.object()->m_height = 480;
    EXPECT_EQ(Vidlyn_Width(s), 640);
    EXPECT_EQ(Vidlyn_Height(s), 480);
}

TEST_F(SessionCore, GeometryValidation) {
    CVidlyn o;
    EXPECT_TRUE(o.GeometryValid());
    auto valid = [&](int w, int h, int x, int y, int sub) {
        o.m_width = w;
        o.m_height = h;
        o.m_startX = x;
        o.m_startY = y;
        o.m_subSample = sub;
        return o.GeometryValid();
    };
    EXPECT_TRUE(valid(4896, 3264, 0, 0, 2));
    EXPECT_TRUE(valid(0, 0, 4896, 3264, 0));
    EXPECT_TRUE(valid(896, 264, 4000, 3000, 1));
    EXPECT_FALSE(valid(4896, 3264, 1, 0, 0));
    EXPECT_FALSE(valid(4896, 3264, 0, 1, 0));
    EXPECT_FALSE(valid(4897, 10, 0, 0, 0));
    EXPECT_FALSE(valid(10, 3265, 0, 0, 0));
    EXPECT_FALSE(valid(-1, 10, 0, 0, 0));
    EXPECT_FALSE(valid(10, 10, -1, 0, 0));
    EXPECT_FALSE(valid(10, 10, 0, 0, 3));
    EXPECT_FALSE(valid(10, 10, 0, 0, -1));
    EXPECT_FALSE(valid(INT32_MAX, 10, INT32_MAX, 0, 0));  // no wrap-around in the sum
    // The bounds are the sensor's, not the stored totals.
    o.m_totalWidth = 100;
    EXPECT_TRUE(valid(4896, 3264, 0, 0, 0));
}

TEST_F(SessionCore, WithoutADeviceMirrorsReportNoCameraAndNothingIsSaved) {
    DeleteSettings();
    MessageWindow window;
    {
        CVidlyn bare;  // as if initialization had stopped before the device existed
        bare.m_notifyWnd = window.get();
        EXPECT_EQ(bare.SetMirrorV(1), 0);  // posted only
        EXPECT_EQ(bare.GetMirrorV(), 0);
        EXPECT_EQ(bare.popError(), 0);
        EXPECT_EQ(bare.SetMirrorH(1), 0);  // pushed
        EXPECT_EQ(bare.GetMirrorH(), 0);
        EXPECT_EQ(bare.popError(), 1);
        EXPECT_EQ(bare.popError(), 1);
        EXPECT_EQ(bare.popError(), 0);
        const auto notices = Drain(window.get());
        ASSERT_EQ(notices.size(), 4u);
        for (const Notice& n : notices) EXPECT_EQ(n.lParam, 1);
        EXPECT_EQ(bare.m_analog.m_mirrorV, 0);
        EXPECT_EQ(bare.m_analog.m_mirrorH, 0);
        // Settings that need no camera still work.
        EXPECT_EQ(bare.SetWaitTime(3), 1);
        EXPECT_EQ(bare.SetColorMode(16), 1);
        EXPECT_EQ(bare.OutputBuffer(), nullptr);
        EXPECT_FALSE(bare.BuffersReady());
    }
    // Construction zeros were not written over the stored settings.
    EXPECT_FALSE(KeyExists("Filter"));
    EXPECT_FALSE(KeyExists("Gain"));
    EXPECT_FALSE(KeyExists(nullptr));
}

}  // namespace
