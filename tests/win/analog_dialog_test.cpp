// The analog gain dialog driven as a user drives it, in the system's language
// (the program also runs with LC_ALL=ja_JP.UTF-8): gain and exposure reach the
// camera while the dialog is open, Cancel puts camera and session back.
#include <gtest/gtest.h>

#include <thread>

#include "DialogDriver.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "settings/DialogResources.h"

namespace {

using namespace dialogtest;

constexpr uint16_t kGainRegister = 0x0005;
constexpr uint16_t kExposureRegister = 0x2004;

HWND AnalogPage(HWND sheet) { return PageWith(sheet, IDC_GAIN_BAR); }

TEST_F(DialogTest, AnalogDialogShowsTheSessionAndSendsWhatIsTypedOrSlid) {
    DialogDriver driver({[&](HWND sheet) {
        HWND page = AnalogPage(sheet);
        ASSERT_NE(page, nullptr);
        ShowDialog(sheet, "analog_gain");
        EXPECT_EQ(WideText(sheet), Japanese() ? L"プロパティ" : L"Property");
        EXPECT_EQ(WideText(GetDlgItem(sheet, IDC_DEFAULT)), Japanese() ? L"規定値(&D)" : L"Default(&D)");
        EXPECT_EQ(TabTexts(sheet), std::vector<std::wstring>{L"Analog Gain"});
        EXPECT_TRUE(HasTemplateSize(sheet, 294, Japanese() ? 199 : 178));
        EXPECT_TRUE(HasTemplateSize(page, Japanese() ? 251 : 238, Japanese() ? 146 : 126));

        EXPECT_EQ(BarMax(page, IDC_GAIN_BAR), 1023);
        EXPECT_EQ(BarPosition(page, IDC_GAIN_BAR), 100);
        EXPECT_EQ(BarMin(page, IDC_EXPOSURE_BAR), 1);
        EXPECT_EQ(BarMax(page, IDC_EXPOSURE_BAR), 3335);
        for (int id : {IDC_GAIN_G1_BAR, IDC_GAIN_R_EDIT, IDC_GAIN_B_SPIN, IDC_GAIN_G2_BAR}) {
            EXPECT_FALSE(Enabled(page, id)) << id;
        }
        EXPECT_EQ(BarMax(page, IDC_GAIN_R_BAR), 0);
        EXPECT_EQ(Text(page, IDC_EXPOSURE_MS), "=280.55ms");

        Slide(page, IDC_EXPOSURE_BAR, 3335);
        EXPECT_EQ(Text(page, IDC_EXPOSURE_EDIT), "3335");
        EXPECT_EQ(Text(page, IDC_EXPOSURE_MS), "=0.02ms");
        EXPECT_EQ(camera->Register(kExposureRegister), 3335);
        // No clamping in the dialog: the camera gets what was typed.
        Type(page, IDC_GAIN_EDIT, "2000");
        EXPECT_EQ(camera->Register(kGainRegister), 2000);
        EXPECT_EQ(object().m_analog.m_globalGain, 2000);
        Press(sheet, IDOK);
    }});
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(object().m_analog.m_globalGain, 2000);
    EXPECT_EQ(object().m_analog.m_exposureTime, 3335);
    EXPECT_EQ(Vidlyn_GetGlobalGain(*session, nullptr), 2000);
    EXPECT_EQ(object().m_analogDlg, nullptr);
}

TEST_F(DialogTest, AnalogDialogCancelPutsCameraAndSessionBack) {
    const int32_t bayer = object().m_adjust.m_bayerMode;
    DialogDriver driver({[&](HWND sheet) {
        HWND page = AnalogPage(sheet);
        Type(page, IDC_GAIN_EDIT, "300");
        Type(page, IDC_EXPOSURE_EDIT, "500");
        Click(page, IDC_MIRROR_V);
        Click(page, IDC_MIRROR_H);
        Click(page, IDC_AUTO_IRIS_GAIN);
        EXPECT_EQ(camera->Register(kGainRegister), 300);
        EXPECT_EQ(camera->Register(kExposureRegister), 500);
        EXPECT_EQ(object().m_analog.m_mirrorV, 1);
        EXPECT_EQ(object().m_adjust.m_bayerMode, bayer ^ 3);
        Press(sheet, IDCANCEL);
    }});
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 1);
    EXPECT_EQ(camera->Register(kGainRegister), 100);
    EXPECT_EQ(camera->Register(kExposureRegister), 100);
    const AnalogBlock& a = object().m_analog;
    EXPECT_EQ(a.m_globalGain, 100);
    EXPECT_EQ(a.m_exposureTime, 100);
    EXPECT_EQ(a.m_mirrorV, 0);
    EXPECT_EQ(a.m_mirrorH, 0);
    EXPECT_EQ(a.m_autoIris, 0);
    EXPECT_EQ(object().m_adjust.m_bayerMode, bayer);
}

TEST_F(DialogTest, AnalogDialogMirrorsAutoIrisAndDefault) {
    const int32_t bayer = object().m_adjust.m_bayerMode;
    DialogDriver driver({[&](HWND sheet) {
                             HWND page = AnalogPage(sheet);
                             Click(page, IDC_MIRROR_V);
                             Click(page, IDC_MIRROR_V);
                             EXPECT_EQ(object().m_adjust.m_bayerMode, bayer);
                             EXPECT_EQ(object().m_analog.m_mirrorV, 0);

                             Click(page, IDC_AUTO_IRIS_EXPOSURE);
                             EXPECT_EQ(object().m_analog.m_autoIris, 1);
                             Click(page, IDC_AUTO_IRIS_GAIN);
                             EXPECT_FALSE(Checked(page, IDC_AUTO_IRIS_EXPOSURE));
                             EXPECT_EQ(object().m_analog.m_autoIris, 2);

                             Type(page, IDC_GAIN_EDIT, "700");
                             Slide(page, IDC_EXPOSURE_BAR, 2000);
                             Press(sheet, IDC_DEFAULT);
                         },
                         [&](HWND sheet) {
                             HWND page = AnalogPage(sheet);
                             EXPECT_EQ(Text(page, IDC_GAIN_EDIT), "100");
                             EXPECT_EQ(BarPosition(page, IDC_EXPOSURE_BAR), 100);
                             EXPECT_EQ(camera->Register(kGainRegister), 100);
                             EXPECT_EQ(camera->Register(kExposureRegister), 100);
                             // Default leaves the auto-iris mode alone.
                             EXPECT_TRUE(Checked(page, IDC_AUTO_IRIS_GAIN));
                             EXPECT_EQ(object().m_analog.m_autoIris, 2);
                             Press(sheet, IDOK);
                         }});
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(object().m_analog.m_autoIris, 2);
    EXPECT_EQ(object().m_analog.m_exposureTime, 100);
}

// The auto-iris regulation runs on the acquisition thread: it must reach the
// open dialog without waiting for the dialog's thread, which here is busy.
TEST_F(DialogTest, AnalogDialogTakesRegulatedValuesWithoutBlockingTheirThread) {
    DialogDriver driver({[&](HWND) {
                             std::thread regulation([&] {
                                 for (int i = 0; i < 1000; ++i) {
                                     object().m_analog.m_exposureTime = 1000 + i;
                                     object().ShowAnalogDialogValue(IDC_EXPOSURE_EDIT);
                                 }
                             });
                             regulation.join();  // with this thread not serving its dialog
                         },
                         [&](HWND sheet) {
                             Settle(200);
                             HWND page = AnalogPage(sheet);
                             EXPECT_EQ(Text(page, IDC_EXPOSURE_EDIT), "1999");
                             EXPECT_EQ(BarPosition(page, IDC_EXPOSURE_BAR), 1999);
                             Press(sheet, IDOK);
                         }});
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    object().ShowAnalogDialogValue(IDC_EXPOSURE_EDIT);  // no dialog: nothing happens
}

// A subsampled readout allows half the exposure range.
TEST_F(DialogTest, AnalogDialogExposureRangeFollowsTheSubsampling) {
    object().m_device->m_subSample = 1;
    DialogDriver driver({[&](HWND sheet) {
        EXPECT_EQ(BarMax(AnalogPage(sheet), IDC_EXPOSURE_BAR), 1668);
        Press(sheet, IDOK);
    }});
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    object().m_device->m_subSample = 0;
}

TEST_F(DialogTest, DialogsNeedASessionWithACamera) {
    EXPECT_EQ(Vidlyn_SetAnalogDlg(0x5A5A, nullptr), 0);
    EXPECT_EQ(Vidlyn_SetImageDlg(0x5A5A, nullptr), 0);
    auto* device = object().m_device;
    object().m_device = nullptr;  // as after a failed open
    EXPECT_EQ(Vidlyn_SetAnalogDlg(*session, nullptr), 0);
    EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 0);
    EXPECT_EQ(sdktest::DrainHistory(*session), (std::vector<int>{1, 1}));
    object().m_device = device;
}

}  // namespace
