// Error history and notification: codes pushed into the twenty-entry history
// and posted as 0x8003 to the session's window (or, for a null window, to the
// thread's own queue), the posted-only reports, and the destructive reads.
#include <gtest/gtest.h>

#include <functional>

#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using namespace sdktest;

class SdkErrors : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        // A first start reports 12; start once so that the sessions below begin clean.
        Session first;
        Drain(nullptr);
    }
    void TearDown() override { Drain(nullptr); }
};

TEST_F(SdkErrors, PushedCodesReachTheWindowWithTheCodeInLParam) {
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    Session s(window.get());
    ASSERT_NE(s.handle(), 0);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);  // a fresh session has nothing to tell
    EXPECT_TRUE(Drain(window.get()).empty());

    EXPECT_EQ(Vidlyn_SetColorMode(s, 12), 0);
    const auto notices = Drain(window.get());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wParam, 0u);
    EXPECT_EQ(notices[0].lParam, 9);
    EXPECT_TRUE(Drain(nullptr).empty());  // nothing strayed to the thread queue
    EXPECT_EQ(Vidlyn_GetLastError(s), 9);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
    EXPECT_TRUE(Drain(window.get()).empty());  // reading posts nothing
}

TEST_F(SdkErrors, PostedOnlyCodesLeaveTheHistoryAlone) {
    MessageWindow window;
    Session s(window.get());
    EXPECT_EQ(Vidlyn_SetAutoIris(s, 3), 0);
    const auto notices = Drain(window.get());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].lParam, 9);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
    EXPECT_EQ(Vidlyn_GetAutoIris(s, nullptr), 0);  // unchanged
}

TEST_F(SdkErrors, WithoutAWindowPushedCodesAreKeptAndPostedOnlyCodesReachTheThreadQueue) {
    Session s;  // no notification window
    ASSERT_NE(s.handle(), 0);
    Drain(nullptr);

    // Pushed: kept in the history, no message anywhere.
    EXPECT_EQ(Vidlyn_SetColorMode(s, 0), 0);
    EXPECT_TRUE(Drain(nullptr).empty());
    EXPECT_EQ(Vidlyn_GetLastError(s), 9);

    // Posted only: the thread's own queue gets it, with wParam 0.
    EXPECT_EQ(Vidlyn_SetAutoIris(s, -1), 0);
    const auto notices = Drain(nullptr);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wParam, 0u);
    EXPECT_EQ(notices[0].lParam, 9);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
}

TEST_F(SdkErrors, TwentyFiveFailuresKeepTheLastTwentyNewestFirst) {
    Session s;
    ASSERT_NE(s.handle(), 0);
    CVidlyn* session = s.object();
    ASSERT_NE(session, nullptr);
    for (int code = 1; code <= 25; ++code) EXPECT_EQ(session->pushError(code), 1);
    for (int expected = 25; expected >= 6; --expected) EXPECT_EQ(Vidlyn_GetLastError(s), expected);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
}

TEST_F(SdkErrors, ReportsInterleaveWithReads) {
    MessageWindow window;
    Session s(window.get());
    CVidlyn* session = s.object();
    ASSERT_NE(session, nullptr);
    session->pushError(5);
    session->pushError(8);
    EXPECT_EQ(Vidlyn_GetLastError(s), 8);
    session->pushError(13);
    EXPECT_EQ(Vidlyn_GetLastError(s), 13);
    EXPECT_EQ(Vidlyn_GetLastError(s), 5);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
    // Each push posted exactly once, in order; negative codes stay negative.
    session->pushError(-2);
    const auto notices = Drain(window.get());
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[0].lParam, 5);
    EXPECT_EQ(notices[1].lParam, 8);
    EXPECT_EQ(notices[2].lParam, 13);
    EXPECT_EQ(notices[3].lParam, -2);
}

TEST_F(SdkErrors, UnsupportedFunctionsPostElevenAndKeepNothing) {
    MessageWindow window;
    Session s(window.get());
    ASSERT_NE(s.handle(), 0);
    int x = 7, y = 7, w = 7, h = 7;
    const std::function<int()> calls[] = {
        [&] { return Vidlyn_Fps(s, &x); },
        [&] { return Vidlyn_GetCameraType(s, &x); },
        [&] { return Vidlyn_GetCaptureWindowEx(s, &x, &y, &w, &h); },
        [&] { return Vidlyn_GetIOPort(s, &x); },
        [&] { return Vidlyn_SetCameraType(s, 1); },
        [&] { return Vidlyn_SetCaptureWindow(s, 0, 0, 640, 480); },
        [&] { return Vidlyn_SetCaptureWindowEx(s, 0, 0, 640, 480); },
        [&] { return Vidlyn_SetCrossbar(s, 1); },
        [&] { return Vidlyn_SetHalfClock(s, 1); },
        [&] { return Vidlyn_SetIOPort(s, 1); },
        [&] { return Vidlyn_SetSamplingRate(s, 1); },
        [&] { return Vidlyn_SetSubSample(s, 2); },
        [&] { return Vidlyn_Trigger(s); },
    };
    for (const auto& call : calls) {
        EXPECT_EQ(call(), 0);
        const auto notices = Drain(window.get());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].wParam, 0u);
        EXPECT_EQ(notices[0].lParam, 11);
    }
    EXPECT_EQ(x + y + w + h, 28);  // no argument is written
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
    EXPECT_EQ(s.object()->m_subSample, 0);
}

TEST_F(SdkErrors, FixedAnswersReportNothing) {
    MessageWindow window;
    Session s(window.get());
    s.object()->m_subSample = 2;  // as the camera format dialog may leave it
    EXPECT_EQ(Vidlyn_GetSubSample(s), 0);
    for (auto get : {Vidlyn_GetHalfClock, Vidlyn_GetSamplingRate, Vidlyn_GetVideoFormat}) {
        int value = 9;
        EXPECT_EQ(get(s, &value), 0);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(get(s, nullptr), 0);
    }
    EXPECT_TRUE(Drain(window.get()).empty());
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
}

TEST_F(SdkErrors, RegisterAccessWithoutACameraPostsOnly) {
    MessageWindow window;
    Session s(window.get());
    ASSERT_FALSE(s.object()->m_device->IsOpen());  // no camera connected here
    auto lastNotice = [&] {
        const auto notices = Drain(window.get());
        return notices.size() == 1 ? static_cast<int>(notices[0].lParam) : -100 - static_cast<int>(notices.size());
    };
    // The device object exists but the write cannot reach a camera: 6.
    EXPECT_EQ(Vidlyn_WriteRegister(s, 0x34, 0x78), 0);
    EXPECT_EQ(lastNotice(), 6);
    int ok = 5;
    EXPECT_EQ(Vidlyn_ReadRegister(s, 0x34, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lastNotice(), 1);
    EXPECT_EQ(Vidlyn_ReadRegister(s, 0x34, nullptr), 0);
    EXPECT_EQ(lastNotice(), 1);
    // The serial ROM is not available on this model.
    EXPECT_EQ(Vidlyn_WriteSromID(s, 1, 2), 0);
    EXPECT_EQ(lastNotice(), 1);
    ok = 5;
    EXPECT_EQ(Vidlyn_ReadSromID(s, 1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(lastNotice(), 1);
    EXPECT_EQ(Vidlyn_ReadSromID(s, 1, nullptr), 0);
    EXPECT_EQ(lastNotice(), 1);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);

    // Without a device object at all, the write reports 1.
    CVidlyn* o = s.object();
    delete o->m_device;
    o->m_device = nullptr;
    EXPECT_EQ(Vidlyn_WriteRegister(s, 0x34, 0x78), 0);
    EXPECT_EQ(lastNotice(), 1);
    EXPECT_EQ(Vidlyn_WriteSromID(s, 1, 2), 0);
    EXPECT_EQ(lastNotice(), 1);
    EXPECT_EQ(Vidlyn_GetLastError(s), 0);
}

}  // namespace
