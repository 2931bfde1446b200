// The settings store on the real registry: first start, presets, the filter,
// gray and analog groups, values of the wrong type, and what release writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "SdkTestUtil.h"

namespace {

using namespace sdktest;

class SettingsRegistry : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        Drain(nullptr);
    }
    void TearDown() override {
        Drain(nullptr);
        DeleteSettings();
    }
    // Stores the first-start defaults through a session that is opened and released.
    static void FirstStart() {
        Session s;
        Drain(nullptr);
    }
    static int32_t Value(const char* sub, const char* name) {
        int32_t v = 0x7EADBEEF;
        EXPECT_TRUE(ReadDword(sub, name, &v)) << (sub ? sub : "(root)") << " " << name;
        return v;
    }
};

TEST_F(SettingsRegistry, FirstStartReportsOnceAndStoresTheDefaults) {
    {
        Session s;
        ASSERT_NE(s.handle(), 0);
        EXPECT_EQ(DrainHistory(s), std::vector<int>{12});
        EXPECT_EQ(Vidlyn_Width(s), 4896);
        EXPECT_EQ(Vidlyn_Height(s), 3264);
        EXPECT_EQ(Vidlyn_GetColorMode(s), 24);  // "Color" 2 read back at the end of start-up
        EXPECT_EQ(Vidlyn_GetWaitTime(s), 10);
    }
    EXPECT_EQ(Value(nullptr, "Size"), 0);
    EXPECT_EQ(Value(nullptr, "Color"), 2);
    EXPECT_EQ(Value(nullptr, "SubSample"), 0);
    EXPECT_EQ(Value(nullptr, "WaitTime"), 10);
    EXPECT_EQ(Value(nullptr, "Clock"), 0);
    EXPECT_EQ(Value("Size_00", "TH"), 4896);
    EXPECT_EQ(Value("Size_00", "TV"), 3264);
    EXPECT_EQ(Value("Size_00", "EH"), 4896);
    EXPECT_EQ(Value("Size_00", "EV"), 3264);
    EXPECT_EQ(Value("Size_00", "EHS"), 0);
    EXPECT_EQ(Value("Size_00", "EVS"), 0);
    EXPECT_EQ(Value("Size_00", "Buf"), 10);

    Session again;
    EXPECT_TRUE(DrainHistory(again).empty());
}

TEST_F(SettingsRegistry, ReleaseWritesTheGroupsEvenWithoutACamera) {
    FirstStart();
    // No camera is installed here: the groups still come back with their defaults.
    EXPECT_EQ(Value("Filter", "Brightness"), 0);
    EXPECT_EQ(Value("Filter", "R_Gain"), 100);
    EXPECT_EQ(Value("Filter", "G_Gain"), 100);
    EXPECT_EQ(Value("Filter", "B_Gain"), 100);
    EXPECT_EQ(Value("Filter", "Gamma"), 100);
    EXPECT_EQ(Value("Filter", "BayerMode"), 3);
    EXPECT_EQ(Value("Gray", "Mode"), 0);
    EXPECT_EQ(Value("Gray", "GainR1"), 128);
    EXPECT_EQ(Value("Gray", "GainB1"), 128);
    EXPECT_EQ(Value("Gray", "OffsetG2"), 0);
    EXPECT_EQ(Value("Gain", "Global"), 100);
    EXPECT_EQ(Value("Gain", "ColorR"), 0);
    EXPECT_EQ(Value("Gain", "Exposure"), 100);
    EXPECT_EQ(Value("Gain", "V_Mirror"), 0);
    EXPECT_EQ(Value("Gain", "H_Mirror"), 0);
    EXPECT_EQ(Value("Gain", "AutoIris"), 0);
}

TEST_F(SettingsRegistry, ChangedAndNegativeValuesRoundTrip) {
    FirstStart();
    {
        Session s;
        EXPECT_EQ(Vidlyn_SetBrightness(s, -77), 1);
        EXPECT_EQ(Vidlyn_SetGrayOffsetB(s, -255), 1);
        EXPECT_EQ(Vidlyn_SetHue(s, -360), 1);
        EXPECT_EQ(Vidlyn_SetGrayGainG2(s, 7), 1);
        EXPECT_EQ(Vidlyn_SetExposureTime(s, 3000), 1);
        EXPECT_EQ(Vidlyn_SetGlobalGain(s, 512), 1);
        EXPECT_EQ(Vidlyn_SetAutoIris(s, 2), 1);
    }
    EXPECT_EQ(Value("Filter", "Brightness"), -77);
    EXPECT_EQ(Value("Gray", "OffsetB1"), -255);
    EXPECT_EQ(Value("Gain", "ColorG2"), 512);
    Session s;
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetBrightness(s, &ok), -77);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vidlyn_GetGrayOffsetB(s, &ok), -255);
    EXPECT_EQ(Vidlyn_GetHue(s, &ok), -360);
    EXPECT_EQ(Vidlyn_GetGrayGainG2(s, &ok), 7);
    EXPECT_EQ(Vidlyn_GetGlobalGain(s, &ok), 512);  // sent to the device at start-up
    EXPECT_EQ(s.object()->m_analog.m_exposureTime, 3000);
    EXPECT_EQ(s.object()->m_analog.m_colorGainRed, 512);
    EXPECT_EQ(Vidlyn_GetAutoIris(s, nullptr), 2);
}

TEST_F(SettingsRegistry, MissingPresetReportsAndKeepsTheBuiltInGeometry) {
    FirstStart();
    ASSERT_TRUE(WriteDword(nullptr, "Size", 5));
    Session s;
    EXPECT_EQ(DrainHistory(s), std::vector<int>{12});
    EXPECT_EQ(Vidlyn_Width(s), 4896);
    EXPECT_EQ(Vidlyn_Height(s), 3264);
}

TEST_F(SettingsRegistry, MissingSizeValueReports) {
    FirstStart();
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    RegDeleteValueA(root, "Size");
    RegCloseKey(root);
    Session s;
    EXPECT_EQ(DrainHistory(s), std::vector<int>{12});
}

TEST_F(SettingsRegistry, StoredPresetIsLoadedAndAnInvalidOneIsReset) {
    FirstStart();
    ASSERT_TRUE(WriteDword(nullptr, "Size", 1));
    ASSERT_TRUE(WriteDword("Size_01", "EH", 1000));
    ASSERT_TRUE(WriteDword("Size_01", "EV", 800));
    ASSERT_TRUE(WriteDword("Size_01", "EHS", 16));
    ASSERT_TRUE(WriteDword("Size_01", "EVS", 8));
    ASSERT_TRUE(WriteDword("Size_01", "Buf", 4));
    {
        Session s;
        EXPECT_TRUE(DrainHistory(s).empty());
        EXPECT_EQ(Vidlyn_Width(s), 1000);
        EXPECT_EQ(Vidlyn_Height(s), 800);
        CVidlyn* o = s.object();
        EXPECT_EQ(o->m_startX, 16);
        EXPECT_EQ(o->m_startY, 8);
        EXPECT_EQ(o->m_bufferCount, 4u);
        EXPECT_EQ(o->m_totalWidth, 4896u);  // not stored in Size_01: built-in value
        EXPECT_EQ(o->m_previewRect[2], 1000);
        EXPECT_EQ(o->m_previewRect[3], 800);
    }
    // Width 4896 starting at column 1 leaves the sensor: error 7 and the full-size area.
    ASSERT_TRUE(WriteDword("Size_01", "EH", 4896));
    ASSERT_TRUE(WriteDword("Size_01", "EHS", 1));
    Session s;
    EXPECT_EQ(DrainHistory(s), std::vector<int>{7});
    EXPECT_EQ(Vidlyn_Width(s), 4896);
    EXPECT_EQ(Vidlyn_Height(s), 3264);
    EXPECT_EQ(s.object()->m_startX, 0);
    EXPECT_EQ(s.object()->m_startY, 0);
    EXPECT_EQ(s.object()->m_bufferCount, 4u);  // kept through the reset
}

TEST_F(SettingsRegistry, MissingFilterKeyGivesDefaultsAndMissingValuesKeepZero) {
    FirstStart();
    {
        Session s;
        EXPECT_EQ(Vidlyn_SetBrightness(s, 40), 1);
        EXPECT_EQ(Vidlyn_SetBayerGainRed(s, 250), 1);
    }
    // Only "Filter" deleted: brightness 0, gains 100, and the key is back after release.
    ASSERT_TRUE(DeleteKey("Filter"));
    {
        Session s;
        int ok = 0;
        EXPECT_EQ(Vidlyn_GetBrightness(s, &ok), 0);
        EXPECT_EQ(Vidlyn_GetBayerGainRed(s, &ok), 100);
        EXPECT_EQ(Vidlyn_GetGamma(s, &ok), 100);
        EXPECT_EQ(Vidlyn_GetBayerMode(s, &ok), 3);
    }
    EXPECT_EQ(Value("Filter", "R_Gain"), 100);

    // Without the key the automatic adjustments start off as well.
    {
        Session s;
        ImageAdjustBlock& a = s.object()->m_adjust;
        a.m_bayerGainAuto = a.m_bayerGainAutoOnce = a.m_bayerGainAutoOnce2 = 1;
        a.m_grayAutoGainFrames = -1;
        a.m_brightness = 9;
        ASSERT_TRUE(DeleteKey("Filter"));
        EXPECT_EQ(LoadFilterSettings(s.object()->m_adjust), 0);
        EXPECT_EQ(a.m_bayerGainAuto, 0);
        EXPECT_EQ(a.m_bayerGainAutoOnce, 0);
        EXPECT_EQ(a.m_bayerGainAutoOnce2, 0);
        EXPECT_EQ(a.m_grayAutoGainFrames, 0);
        EXPECT_EQ(a.m_brightness, 0);
        EXPECT_TRUE(DrainHistory(s).empty());
    }

    // A "Filter" key without "R_Gain": the session's construction zero stays.
    HKEY filter = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SubKey("Filter").c_str(), 0, KEY_ALL_ACCESS, &filter), ERROR_SUCCESS);
    RegDeleteValueA(filter, "R_Gain");
    RegCloseKey(filter);
    Session s;
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetBayerGainRed(s, &ok), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vidlyn_GetBayerGainGreen(s, &ok), 100);
}

TEST_F(SettingsRegistry, MissingColourGainsRepeatTheGainReadBeforeThem) {
    FirstStart();
    ASSERT_TRUE(DeleteKey("Gain"));
    ASSERT_TRUE(WriteDword("Gain", "Global", 50));
    ASSERT_TRUE(WriteDword("Gain", "ColorR", 7));
    {
        Session s;
        const AnalogBlock& g = s.object()->m_analog;
        EXPECT_EQ(g.m_globalGain, 50);
        EXPECT_EQ(g.m_colorGainGreen1, 50);  // missing: repeats "Global"
        EXPECT_EQ(g.m_colorGainRed, 7);
        EXPECT_EQ(g.m_colorGainBlue, 7);  // missing: repeats "ColorR"
        EXPECT_EQ(g.m_colorGainGreen2, 7);
        EXPECT_EQ(g.m_exposureTime, 0);  // missing inside an existing key: construction zero
    }
    ASSERT_TRUE(DeleteKey("Gain"));
    ASSERT_TRUE(WriteDword("Gain", "ColorB", 9));
    Session s;
    const AnalogBlock& g = s.object()->m_analog;
    EXPECT_EQ(g.m_globalGain, 0);
    EXPECT_EQ(g.m_colorGainGreen1, 0);
    EXPECT_EQ(g.m_colorGainRed, 0);
    EXPECT_EQ(g.m_colorGainBlue, 9);
    EXPECT_EQ(g.m_colorGainGreen2, 9);
}

TEST_F(SettingsRegistry, StreamValuesAreTakenUnchecked) {
    FirstStart();
    ASSERT_TRUE(WriteDword(nullptr, "Color", 7));
    ASSERT_TRUE(WriteDword(nullptr, "WaitTime", 33));
    ASSERT_TRUE(WriteDword(nullptr, "Clock", 2));
    Session s;
    EXPECT_EQ(Vidlyn_GetColorMode(s), -1);
    EXPECT_EQ(Vidlyn_GetWaitTime(s), 33);
    EXPECT_EQ(s.object()->m_clock, 2u);
    EXPECT_EQ(s.object()->OutputBuffer(), nullptr);
    EXPECT_EQ(Vidlyn_SetColorMode(s, 32), 1);
    EXPECT_EQ(Vidlyn_GetColorMode(s), 32);
}

TEST_F(SettingsRegistry, NegativeWaitTimeCountsAsMissing) {
    FirstStart();
    ASSERT_TRUE(WriteDword(nullptr, "WaitTime", -1));
    Session s;
    EXPECT_EQ(Vidlyn_GetWaitTime(s), 10);
    EXPECT_TRUE(DrainHistory(s).empty());
}

TEST_F(SettingsRegistry, ValuesOfAnotherTypeCountAsMissing) {
    FirstStart();
    // "123" with its terminator is exactly four bytes: it must not be read as a number.
    ASSERT_TRUE(WriteString(nullptr, "WaitTime", "123"));
    ASSERT_TRUE(WriteString("Filter", "Brightness", "123"));
    const uint64_t wide = 0x0000000500000005ull;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, SubKey("Gray").c_str(), "GainR1", REG_QWORD, &wide, sizeof(wide)),
              ERROR_SUCCESS);
    const DWORD binary = 44;
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, SubKey("Filter").c_str(), "Gamma", REG_BINARY, &binary, sizeof(binary)),
        ERROR_SUCCESS);
    Session s;
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetWaitTime(s), 10);
    EXPECT_EQ(Vidlyn_GetBrightness(s, &ok), 0);
    EXPECT_EQ(Vidlyn_GetGrayGainR(s, &ok), 0);
    EXPECT_EQ(Vidlyn_GetGamma(s, &ok), 0);
}

TEST_F(SettingsRegistry, PresetTableStopsAtTheFirstGap) {
    PresetTable fresh;
    EXPECT_EQ(fresh.count, 0);
    EXPECT_EQ(fresh.waitTime, 10);
    EXPECT_EQ(fresh.color, 0);
    EXPECT_EQ(fresh.presets[0].bufferCount, 10);
    EXPECT_EQ(fresh.presets[99].bufferCount, 10);
    EXPECT_EQ(fresh.presets[99].width, 0);

    PresetTable none;
    EXPECT_EQ(LoadPresetTable(none), 0);  // no key yet
    EXPECT_EQ(none.count, 0);

    FirstStart();
    ASSERT_TRUE(WriteDword("Size_01", "EH", 2000));
    ASSERT_TRUE(WriteDword("Size_02", "EV", 1500));
    ASSERT_TRUE(WriteDword("Size_04", "EH", 640));
    ASSERT_TRUE(WriteDword(nullptr, "Size", 2));
    PresetTable table;
    ASSERT_EQ(LoadPresetTable(table), 1);
    EXPECT_EQ(table.count, 3);
    EXPECT_EQ(table.presets[0].width, 4896);
    EXPECT_EQ(table.presets[0].bufferCount, 10);
    EXPECT_EQ(table.presets[1].width, 2000);
    EXPECT_EQ(table.presets[1].height, 0);  // missing inside the key: record unchanged
    EXPECT_EQ(table.presets[2].height, 1500);
    EXPECT_EQ(table.presets[4].width, 0);  // Size_04 lies beyond the gap
    EXPECT_EQ(table.size, 2);
    EXPECT_EQ(table.color, 2);
}

TEST_F(SettingsRegistry, SavedPresetTableReadsBack) {
    PresetTable table;
    table.count = 2;
    table.presets[0] = {4896, 3264, 4896, 3264, 0, 0, 10};
    table.presets[1] = {4896, 3264, 1024, 768, -4, 100, 3};
    table.size = 1;
    table.color = 4;
    table.subSample = 1;
    table.waitTime = 25;
    table.clock = 1;
    ASSERT_EQ(SavePresetTable(table), 1);
    EXPECT_EQ(Value("Size_01", "EHS"), -4);
    EXPECT_FALSE(KeyExists("Size_02"));

    PresetTable back;
    ASSERT_EQ(LoadPresetTable(back), 1);
    EXPECT_EQ(back.count, 2);
    EXPECT_EQ(back.presets[1].width, 1024);
    EXPECT_EQ(back.presets[1].startY, 100);
    EXPECT_EQ(back.presets[1].bufferCount, 3);
    EXPECT_EQ(back.subSample, 1);
    EXPECT_EQ(back.waitTime, 25);
    EXPECT_EQ(back.clock, 1);

    // A session starts with preset 1, whose negative start fails validation,
    // and with the stored stream values.
    {
        Session s;
        EXPECT_EQ(DrainHistory(s), std::vector<int>{7});
        EXPECT_EQ(Vidlyn_Width(s), 4896);
        EXPECT_EQ(Vidlyn_GetColorMode(s), 48);
        EXPECT_EQ(Vidlyn_GetWaitTime(s), 25);
    }

    // An out-of-range count writes no record beyond the table.
    PresetTable huge;
    huge.count = 1000;
    EXPECT_EQ(SavePresetTable(huge), 1);
    EXPECT_TRUE(KeyExists("Size_99"));
    EXPECT_FALSE(KeyExists("Size_100"));
}

}  // namespace
