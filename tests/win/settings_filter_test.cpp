// The 27 image adjustment parameters through the generic pair and the named
// shortcuts: ranges, packing, the camera-side ids 13 and 18, the error codes
// and the validity flag.
#include <gtest/gtest.h>

#include <climits>

#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using namespace sdktest;

class FilterValues : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        { Session first; }  // the first start's report stays behind
        Drain(nullptr);
        m_session = std::make_unique<Session>();
        ASSERT_NE(m_session->handle(), 0);
        ASSERT_TRUE(DrainHistory(h()).empty());
    }
    void TearDown() override {
        m_session.reset();
        Drain(nullptr);
        DeleteSettings();
    }
    int h() const { return m_session->handle(); }
    CVidlyn& s() const { return *m_session->object(); }

    std::unique_ptr<Session> m_session;
};

struct PlainCase {
    int id;
    int lo;
    int hi;
    int32_t ImageAdjustBlock::*field;
};

const PlainCase kPlain[] = {
    {1, -255, 255, &ImageAdjustBlock::m_brightness},    {2, -127, 127, &ImageAdjustBlock::m_contrast},
    {3, -360, 360, &ImageAdjustBlock::m_hue},           {4, -255, 255, &ImageAdjustBlock::m_saturation},
    {5, 0, 30, &ImageAdjustBlock::m_sharpness},         {7, 0, 800, &ImageAdjustBlock::m_bayerGainRed},
    {8, 0, 800, &ImageAdjustBlock::m_bayerGainGreen},   {9, 0, 800, &ImageAdjustBlock::m_bayerGainBlue},
    {11, 0, 200, &ImageAdjustBlock::m_gamma},           {12, 0, 3, &ImageAdjustBlock::m_bayerMode},
    {19, 0, 2, &ImageAdjustBlock::m_grayMode},          {20, 0, 255, &ImageAdjustBlock::m_grayGainR},
    {21, 0, 255, &ImageAdjustBlock::m_grayGainG1},      {22, 0, 255, &ImageAdjustBlock::m_grayGainG2},
    {23, 0, 255, &ImageAdjustBlock::m_grayGainB},       {24, -255, 255, &ImageAdjustBlock::m_grayOffsetR},
    {25, -255, 255, &ImageAdjustBlock::m_grayOffsetG1}, {26, -255, 255, &ImageAdjustBlock::m_grayOffsetG2},
    {27, -255, 255, &ImageAdjustBlock::m_grayOffsetB},
};

TEST_F(FilterValues, PlainIdsAcceptTheirRangeAndRefuseBeyondIt) {
    for (const PlainCase& c : kPlain) {
        SCOPED_TRACE(testing::Message() << "id " << c.id);
        int ok = -1;
        EXPECT_EQ(Vidlyn_SetFilterValue(h(), c.id, c.lo), 1);
        EXPECT_EQ(Vidlyn_GetFilterValue(h(), c.id, &ok), c.lo);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Vidlyn_SetFilterValue(h(), c.id, c.hi), 1);
        EXPECT_EQ(s().m_adjust.*c.field, c.hi);
        EXPECT_EQ(Vidlyn_SetFilterValue(h(), c.id, c.lo - 1), 0);
        EXPECT_EQ(Vidlyn_SetFilterValue(h(), c.id, c.hi + 1), 0);
        EXPECT_EQ(s().m_adjust.*c.field, c.hi);  // unchanged by the refusals
        EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
        EXPECT_EQ(Vidlyn_GetFilterValue(h(), c.id, nullptr), c.hi);
    }
}

TEST_F(FilterValues, NamedShortcutsAreTheGenericPair) {
    int ok = 0;
    EXPECT_EQ(Vidlyn_SetBrightness(h(), 255), 1);
    EXPECT_EQ(Vidlyn_SetBrightness(h(), 256), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), 9);
    EXPECT_EQ(Vidlyn_GetBrightness(h(), &ok), 255);
    EXPECT_EQ(Vidlyn_SetHue(h(), -360), 1);
    EXPECT_EQ(Vidlyn_SetSharpness(h(), -1), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), 9);
    EXPECT_EQ(Vidlyn_SetGrayOffsetG1(h(), -200), 1);
    EXPECT_EQ(s().m_adjust.m_grayOffsetG1, -200);
    EXPECT_EQ(Vidlyn_GetGrayOffsetG1(h(), &ok), -200);
    EXPECT_EQ(Vidlyn_SetGrayGainB(h(), 17), 1);
    EXPECT_EQ(Vidlyn_GetFilterValue(h(), 23, &ok), 17);
    EXPECT_EQ(Vidlyn_SetGamma(h(), 150), 1);
    EXPECT_EQ(Vidlyn_GetFilterValue(h(), 11, &ok), 150);
}

TEST_F(FilterValues, UnknownAndColourGainIdsAreRefusedBySetterAndGetter) {
    for (int id : {0, 28, -1, 14, 15, 16, 17}) {
        SCOPED_TRACE(testing::Message() << "id " << id);
        int ok = -1;
        EXPECT_EQ(Vidlyn_SetFilterValue(h(), id, 0), 0);
        EXPECT_EQ(Vidlyn_GetFilterValue(h(), id, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
    }
    int ok = -1;
    EXPECT_EQ(Vidlyn_SetColorGainRed(h(), 5), 0);
    EXPECT_EQ(Vidlyn_GetColorGainRed(h(), &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
    EXPECT_EQ(Vidlyn_GetColorGainBlue(h(), nullptr), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), 9);
}

TEST_F(FilterValues, PackedWhiteBalance) {
    EXPECT_EQ(Vidlyn_SetBayerGainRGB(h(), 64 | 128 << 8 | 255 << 16 | 0x5A << 24), 1);
    EXPECT_EQ(s().m_adjust.m_bayerGainRed, 64);
    EXPECT_EQ(s().m_adjust.m_bayerGainGreen, 128);
    EXPECT_EQ(s().m_adjust.m_bayerGainBlue, 255);
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetBayerGainRGB(h(), &ok), 64 | 128 << 8 | 255 << 16);
    EXPECT_EQ(ok, 1);
    // A gain above 255 reads back modulo 256 in the packed form.
    EXPECT_EQ(Vidlyn_SetBayerGainRed(h(), 300), 1);
    EXPECT_EQ(Vidlyn_GetBayerGainRGB(h(), &ok) & 0xFF, 44);
    EXPECT_EQ(Vidlyn_GetBayerGainRed(h(), &ok), 300);
    // Any value is taken: -1 makes every gain 255.
    EXPECT_EQ(Vidlyn_SetBayerGainRGB(h(), -1), 1);
    EXPECT_EQ(Vidlyn_GetBayerGainRGB(h(), &ok), 0xFFFFFF);
    EXPECT_TRUE(DrainHistory(h()).empty());
}

TEST_F(FilterValues, AutoWhiteBalanceIsStoredAsAFlag) {
    int ok = 0;
    EXPECT_EQ(Vidlyn_SetBayerGainAuto(h(), 7), 1);
    EXPECT_EQ(Vidlyn_GetBayerGainAuto(h(), &ok), 1);
    EXPECT_EQ(Vidlyn_SetBayerGainAuto(h(), INT_MIN), 1);
    EXPECT_EQ(s().m_adjust.m_bayerGainAuto, 1);
    EXPECT_EQ(Vidlyn_SetBayerGainAuto(h(), 0), 1);
    EXPECT_EQ(Vidlyn_GetBayerGainAuto(h(), &ok), 0);
    EXPECT_EQ(ok, 1);
}

TEST_F(FilterValues, GlobalGainFeedsTheColourGainsAndReadsBackFromTheDevice) {
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetGlobalGain(h(), &ok), 100);  // sent at start-up
    EXPECT_EQ(Vidlyn_SetGlobalGain(h(), 1023), 1);
    const AnalogBlock& g = s().m_analog;
    EXPECT_EQ(g.m_globalGain, 1023);
    EXPECT_EQ(g.m_colorGainGreen1, 1023);
    EXPECT_EQ(g.m_colorGainRed, 1023);
    EXPECT_EQ(g.m_colorGainBlue, 1023);
    EXPECT_EQ(g.m_colorGainGreen2, 1023);
    EXPECT_EQ(Vidlyn_GetGlobalGain(h(), &ok), 1023);
    EXPECT_EQ(Vidlyn_SetGlobalGain(h(), 1024), 0);
    EXPECT_EQ(Vidlyn_SetGlobalGain(h(), -1), 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
    EXPECT_EQ(g.m_globalGain, 1023);
    EXPECT_EQ(Vidlyn_SetGlobalGain(h(), 0), 1);
    EXPECT_EQ(Vidlyn_GetGlobalGain(h(), &ok), 0);
    EXPECT_EQ(ok, 1);
    // The getter answers from the device: a session-side change it did not see stays invisible.
    s().m_analog.m_globalGain = 55;
    EXPECT_EQ(Vidlyn_GetGlobalGain(h(), &ok), 0);
}

TEST_F(FilterValues, ExposureRangeAndTheSettledRead) {
    EXPECT_EQ(Vidlyn_SetExposureTime(h(), 0), 0);
    EXPECT_EQ(Vidlyn_SetExposureTime(h(), 3336), 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
    EXPECT_EQ(Vidlyn_SetExposureTime(h(), 1), 1);
    EXPECT_EQ(Vidlyn_SetExposureTime(h(), 3335), 1);
    EXPECT_EQ(s().m_analog.m_exposureTime, 3335);

    int ok = 0;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    const int value = Vidlyn_GetExposureTime(h(), &ok);
    QueryPerformanceCounter(&t1);
    EXPECT_EQ(value, 3335);
    EXPECT_EQ(ok, 1);
    const double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    EXPECT_GE(ms, 119.5);
}

TEST_F(FilterValues, RealExposureTimeFollowsTheSessionValue) {
    struct Case {
        int e;
        int us;
    };
    for (const Case c : {Case{3335, 18}, Case{1, 289138}, Case{1668, 144578}, Case{100, 280553}}) {
        ASSERT_EQ(Vidlyn_SetExposureTime(h(), c.e), 1);
        int ok = 0;
        EXPECT_EQ(Vidlyn_GetRealExposureTime(h(), &ok), c.us) << c.e;
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(s().m_realExposureTime, c.us);
    }
    EXPECT_EQ(Vidlyn_GetRealExposureTime(h(), nullptr), 280553);
    // A stored value far out of range saturates instead of overflowing.
    s().m_analog.m_exposureTime = INT_MIN;
    EXPECT_EQ(Vidlyn_GetRealExposureTime(h(), nullptr), INT_MAX);
    s().m_analog.m_exposureTime = INT_MAX;
    EXPECT_EQ(Vidlyn_GetRealExposureTime(h(), nullptr), INT_MIN);
    s().m_analog.m_exposureTime = 100;
}

TEST(FilterValuesWithoutDevice, EverySetterAndGetterReportsNoCamera) {
    MessageWindow window;
    CVidlyn bare;  // initialization never ran: no device object
    bare.m_notifyWnd = window.get();
    for (int id = 0; id <= 28; ++id) {
        int ok = -1;
        EXPECT_EQ(bare.SetFilterValue(id, 0), 0) << id;
        EXPECT_EQ(bare.GetFilterValue(id, &ok), 0) << id;
        EXPECT_EQ(ok, 0) << id;
        EXPECT_EQ(bare.popError(), 1);
        EXPECT_EQ(bare.popError(), 1);
    }
    EXPECT_EQ(Drain(window.get()).size(), 2u * 29u);
    // The real exposure time is computed without the camera.
    bare.m_analog.m_exposureTime = 3335;
    int ok = 0;
    EXPECT_EQ(bare.GetRealExposureTime(&ok), 18);
    EXPECT_EQ(ok, 1);
}

TEST(FilterValuesWithoutDevice, ExposureNeverAcceptedByTheDeviceIsNotValid) {
    CVidlyn bare;  // initialization never sent an exposure value to this device
    bare.m_device = new CVidlynQM7720USB3Sdk;
    bare.m_analog.m_exposureTime = 100;
    int ok = -1;
    EXPECT_EQ(bare.GetFilterValue(18, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(bare.popError(), 0);  // nothing wrong with the call itself
    // Once the device has taken a value, it reads back as valid.
    EXPECT_EQ(bare.SetFilterValue(18, 1668), 1);
    EXPECT_EQ(bare.GetFilterValue(18, &ok), 1668);
    EXPECT_EQ(ok, 1);
    Drain(nullptr);
}

}  // namespace
