// The image and gray filter dialog driven as a user drives it, in the system's
// language (the program also runs with LC_ALL=ja_JP.UTF-8): the colour mode
// decides the pages and rows, edits act on the session at once, Cancel puts
// the whole adjustment block back, and values computed on another thread
// reach the open dialog without that thread ever waiting for it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "DialogDriver.h"
#include "settings/DialogResources.h"

namespace {

using namespace dialogtest;

HWND ImagePage(HWND sheet) { return PageWith(sheet, IDC_BRIGHTNESS_BAR); }
HWND GrayPage(HWND sheet) { return PageWith(sheet, IDC_GRAY_GAIN_R_BAR); }

bool SameBlock(const ImageAdjustBlock& a, const ImageAdjustBlock& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

TEST_F(DialogTest, ImageDialogInMonochromeHasTheGrayPageAndOnlyTheGrayRows) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 8), 1);
    const ImageAdjustBlock before = object().m_adjust;
    DialogDriver driver({[&](HWND sheet) {
        EXPECT_EQ(WideText(sheet), Japanese() ? L"プロパティ" : L"Property");
        EXPECT_EQ(WideText(GetDlgItem(sheet, IDCANCEL)), Japanese() ? L"キャンセル" : L"Cancel");
        EXPECT_EQ(TabTexts(sheet), (std::vector<std::wstring>{L"Image Filter", L"Gray Filter"}));
        EXPECT_TRUE(HasTemplateSize(sheet, 294, 194));
        HWND image = ImagePage(sheet);
        HWND gray = GrayPage(sheet);
        ASSERT_TRUE(image && gray);
        EXPECT_TRUE(HasTemplateSize(image, 251, 142));
        EXPECT_TRUE(IsWindowVisible(image));
        EXPECT_FALSE(IsWindowVisible(gray));
        for (int id : {IDC_BRIGHTNESS_EDIT, IDC_CONTRAST_BAR, IDC_SHARPNESS_SPIN, IDC_GAMMA_EDIT}) {
            EXPECT_TRUE(Enabled(image, id)) << id;
        }
        for (int id : {IDC_HUE_BAR, IDC_SATURATION_EDIT, IDC_RED_GAIN_BAR, IDC_GREEN_GAIN_SPIN, IDC_BLUE_GAIN_EDIT,
                       IDC_AUTO_ONCE, IDC_AUTO_ALL_FRAMES, IDC_BAYER_0, IDC_BAYER_3}) {
            EXPECT_FALSE(Enabled(image, id)) << id;
        }
        EXPECT_EQ(BarMax(gray, IDC_GRAY_GAIN_R_BAR), 400);
        EXPECT_EQ(BarMin(gray, IDC_GRAY_OFFSET_B_BAR), -255);
        EXPECT_EQ(BarPosition(gray, IDC_GRAY_GAIN_G1_BAR), 128);

        ChooseTab(sheet, 1);
        EXPECT_FALSE(IsWindowVisible(image));
        EXPECT_TRUE(IsWindowVisible(gray));
        ShowDialog(sheet, "gray_filter");
        // "All frames" switches automatic gray gain on and off; "Once" asks for one frame.
        Click(gray, IDC_AUTO_ALL_FRAMES);
        EXPECT_EQ(object().m_adjust.m_grayAutoGainFrames, -1);
        Click(gray, IDC_AUTO_ALL_FRAMES);
        EXPECT_EQ(object().m_adjust.m_grayAutoGainFrames, 0);
        Click(gray, IDC_AUTO_ONCE);
        EXPECT_EQ(object().m_adjust.m_grayAutoGainFrames, 1);
        Click(gray, IDC_GRAY_MODE_GRAYSCALE);
        EXPECT_EQ(object().m_adjust.m_grayMode, 2);
        Slide(gray, IDC_GRAY_OFFSET_R_BAR, -40);
        EXPECT_EQ(object().m_adjust.m_grayOffsetR, -40);
        EXPECT_EQ(Text(gray, IDC_GRAY_OFFSET_R_EDIT), "-40");
        Click(gray, IDC_BAYER_1);
        EXPECT_EQ(object().m_adjust.m_bayerMode, 1);
        EXPECT_TRUE(Checked(image, IDC_BAYER_1));  // both pages show the one phase
        Press(sheet, IDCANCEL);
    }});
    EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(SameBlock(object().m_adjust, before));
    EXPECT_EQ(object().m_imageDlg, nullptr);
}

TEST_F(DialogTest, ImageDialogInColourTakesTypedValuesAndCancelRestoresTheFlags) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 24), 1);
    const ImageAdjustBlock before = object().m_adjust;
    DialogDriver driver({[&](HWND sheet) {
        EXPECT_EQ(TabTexts(sheet), std::vector<std::wstring>{L"Image Filter"});
        EXPECT_EQ(GrayPage(sheet), nullptr);
        HWND image = ImagePage(sheet);
        for (int id : {IDC_HUE_BAR, IDC_SATURATION_EDIT, IDC_RED_GAIN_BAR, IDC_AUTO_ONCE, IDC_BAYER_2}) {
            EXPECT_TRUE(Enabled(image, id)) << id;
        }
        EXPECT_EQ(BarMin(image, IDC_HUE_BAR), -360);
        EXPECT_EQ(BarMax(image, IDC_RED_GAIN_BAR), 400);
        EXPECT_TRUE(Checked(image, IDC_BAYER_3));
        ShowDialog(sheet, "image_filter");

        // Beyond the trackbar: kept as typed.
        Type(image, IDC_RED_GAIN_EDIT, "500");
        EXPECT_EQ(object().m_adjust.m_bayerGainRed, 500);
        EXPECT_EQ(BarPosition(image, IDC_RED_GAIN_BAR), 400);
        Slide(image, IDC_BRIGHTNESS_BAR, 77);
        EXPECT_EQ(object().m_adjust.m_brightness, 77);
        Type(image, IDC_GAMMA_EDIT, "abc");
        EXPECT_EQ(object().m_adjust.m_gamma, 0);

        Click(image, IDC_AUTO_ALL_FRAMES);
        EXPECT_EQ(object().m_adjust.m_bayerGainAuto, 1);
        Click(image, IDC_AUTO_ONCE);
        EXPECT_FALSE(Checked(image, IDC_AUTO_ALL_FRAMES));
        EXPECT_EQ(object().m_adjust.m_bayerGainAuto, 1);
        EXPECT_EQ(object().m_adjust.m_bayerGainAutoOnce, 1);
        Press(sheet, IDCANCEL);
    }});
    EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 1);
    EXPECT_TRUE(SameBlock(object().m_adjust, before));
}

TEST_F(DialogTest, ImageDialogDefaultKeepsGrayModeAndAutoFlagsAndOkKeepsTheEdits) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 8), 1);
    object().m_adjust.m_grayMode = 1;
    object().m_adjust.m_bayerGainAuto = 1;
    object().m_adjust.m_grayAutoGainFrames = -1;
    object().m_adjust.m_bayerMode = 0;
    object().m_adjust.m_grayGainB = 20;
    DialogDriver driver({[&](HWND sheet) {
                             Type(ImagePage(sheet), IDC_CONTRAST_EDIT, "-50");
                             Press(sheet, IDC_DEFAULT);
                         },
                         [&](HWND sheet) {
                             const ImageAdjustBlock& a = object().m_adjust;
                             EXPECT_EQ(a.m_contrast, 0);
                             EXPECT_EQ(a.m_bayerMode, 3);
                             EXPECT_EQ(a.m_grayGainB, 128);
                             EXPECT_EQ(a.m_grayMode, 1);
                             EXPECT_EQ(a.m_bayerGainAuto, 1);
                             EXPECT_EQ(a.m_grayAutoGainFrames, -1);
                             EXPECT_EQ(Text(GrayPage(sheet), IDC_GRAY_GAIN_B_EDIT), "128");
                             EXPECT_TRUE(Checked(ImagePage(sheet), IDC_BAYER_3));
                             Type(ImagePage(sheet), IDC_SHARPNESS_EDIT, "12");
                             Press(sheet, IDOK);
                         }});
    EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(object().m_adjust.m_sharpness, 12);
    EXPECT_EQ(object().m_adjust.m_bayerMode, 3);
    EXPECT_EQ(Vidlyn_GetSharpness(*session, nullptr), 12);
}

// Automatic white balance runs on the acquisition thread; it must reach the
// open dialog while the dialog's thread does not serve it, and a refresh
// racing the dialog's opening and closing must never touch a dead dialog.
TEST_F(DialogTest, ImageDialogTakesComputedGainsWithoutBlockingTheirThread) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 24), 1);
    std::atomic<bool> stop{false};
    std::thread racing([&] {
        while (!stop.load()) {
            object().RefreshImageDialog();
            Sleep(1);
        }
    });
    for (int round = 0; round < 5; ++round) {
        DialogDriver driver({[&](HWND) {
                                 std::thread balance([&] {
                                     for (int i = 0; i < 1000; ++i) {
                                         object().m_adjust.m_bayerGainRed = 100 + i % 300;
                                         object().m_adjust.m_bayerGainBlue = 399;
                                         object().RefreshImageDialog();
                                     }
                                 });
                                 balance.join();  // with this thread not serving its dialog
                             },
                             [&](HWND sheet) {
                                 Settle(200);
                                 HWND image = ImagePage(sheet);
                                 EXPECT_EQ(BarPosition(image, IDC_RED_GAIN_BAR), 100 + 999 % 300);
                                 EXPECT_EQ(Text(image, IDC_BLUE_GAIN_EDIT), "399");
                                 Press(sheet, IDOK);
                             }});
        EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 1);
        EXPECT_TRUE(driver.Finished());
    }
    stop = true;
    racing.join();
}

// The whole road: the running stream balances once on its acquisition thread,
// the open dialog follows, and a stop while the dialog is open returns.
TEST_F(DialogTest, ImageDialogFollowsTheBalanceOfTheRunningStream) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 24), 1);
    ASSERT_EQ(Vidlyn_StartPreview(*session), 1);
    DialogDriver driver({[&](HWND sheet) { Click(ImagePage(sheet), IDC_AUTO_ONCE); },
                         [&](HWND sheet) {
                             const DWORD start = GetTickCount();
                             while (object().m_adjust.m_bayerGainAuto != 0 && GetTickCount() - start < 60000) {
                                 Settle(20);
                             }
                             ASSERT_EQ(object().m_adjust.m_bayerGainAuto, 0) << "no frame was balanced";
                             Settle(300);
                             HWND image = ImagePage(sheet);
                             const ImageAdjustBlock& a = object().m_adjust;
                             EXPECT_LE(a.m_bayerGainRed, 400);
                             EXPECT_LE(a.m_bayerGainBlue, 400);
                             EXPECT_EQ(BarPosition(image, IDC_RED_GAIN_BAR), a.m_bayerGainRed);
                             EXPECT_EQ(Text(image, IDC_BLUE_GAIN_EDIT), std::to_string(a.m_bayerGainBlue));
                             EXPECT_EQ(Vidlyn_StopPreview(*session), 1);
                             Press(sheet, IDOK);
                         }});
    EXPECT_EQ(Vidlyn_SetImageDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(object().m_state.load(), 0);
}

}  // namespace
