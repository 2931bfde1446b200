// The camera format dialog driven as a user drives it, in the system's
// language (the program also runs with LC_ALL=ja_JP.UTF-8): it shows and
// stores the stream format of the registry; OK and Apply write, Cancel does not.
#include <gtest/gtest.h>

#include <cstdio>

#include "DialogDriver.h"
#include "settings/CameraFormatDialog.h"
#include "settings/DialogResources.h"

namespace {

using namespace dialogtest;
using sdktest::KeyExists;
using sdktest::ReadDword;
using sdktest::WriteDword;

const std::vector<std::wstring> kColorItemsEn = {L"Monochrome 8bit", L"Monochrome 10bit *", L"Color 24bit",
                                                 L"Color 32bit",     L"Color 48bit *",      L"Color 64bit *"};
const std::vector<std::wstring> kColorItemsJa = {L"白黒 8bit",    L"白黒 10bit ※",   L"カラー 24bit",
                                                 L"カラー 32bit", L"カラー 48bit ※", L"カラー 64bit ※"};
const wchar_t* Custom() { return Japanese() ? L"カスタム" : L"Custom"; }

void WritePreset(int index, int width, int height) {
    char name[16];
    std::snprintf(name, sizeof(name), "Size_%02d", index);
    const int32_t values[7] = {4896, 3264, width, height, 0, 0, 10};
    const char* names[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(WriteDword(name, names[i], values[i]));
}

// Every template is in the DLL under its id, in its language.
TEST(DialogTemplates, LiveInTheDllUnderTheirIdsAndLanguages) {
    HMODULE dll = LoadLibraryExA(VIDLYN_SDK_DLL_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    const struct {
        int id;
        WORD language;
    } templates[] = {{106, english}, {101, japanese}, {111, english}, {104, japanese}, {110, english}, {105, japanese},
                     {108, english}, {102, japanese}, {107, english}, {103, japanese}, {112, english}, {113, japanese}};
    for (const auto& t : templates) {
        const WORD other = t.language == english ? japanese : english;
        EXPECT_NE(FindResourceExA(dll, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(t.id), t.language), nullptr) << t.id;
        EXPECT_EQ(FindResourceExA(dll, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(t.id), other), nullptr) << t.id;
    }
    FreeLibrary(dll);
}

INT_PTR RunFormatDialog() {
    CCameraFormatDlg dialog;
    return dialog.Run(nullptr);
}

class CameraFormatDialog : public testing::Test {
protected:
    void SetUp() override { sdktest::DeleteSettings(); }
    void TearDown() override { sdktest::DeleteSettings(); }
};

TEST_F(CameraFormatDialog, WithoutStoredSettingsShowsAFreshTableAndCancelWritesNothing) {
    DialogDriver driver({[&](HWND dialog) {
        EXPECT_EQ(WideText(dialog), Japanese() ? L"プロパティ" : L"Property");
        EXPECT_TRUE(HasTemplateSize(dialog, 313, 221));
        EXPECT_EQ(TabTexts(dialog), std::vector<std::wstring>{Japanese() ? L"ストリーム形式" : L"Stream Format"});
        EXPECT_EQ(WideText(GetDlgItem(dialog, IDC_APPLY)), Japanese() ? L"適用(&A)" : L"Apply(&A)");
        EXPECT_EQ(ListItems(dialog, IDC_COLOR_LIST), Japanese() ? kColorItemsJa : kColorItemsEn);
        EXPECT_EQ(ListSelection(dialog, IDC_COLOR_LIST), 0);
        EXPECT_EQ(ListItems(dialog, IDC_SIZE_LIST), std::vector<std::wstring>{Custom()});
        EXPECT_EQ(ListItems(dialog, IDC_SUBSAMPLE_LIST), std::vector<std::wstring>{L"1/1"});
        EXPECT_EQ(ListItems(dialog, IDC_CLOCK_LIST), std::vector<std::wstring>{Japanese() ? L"標準" : L"Nomal"});
        EXPECT_EQ(Text(dialog, IDC_WAIT_TIME), "10");
        for (int id : {IDC_APPLY, IDC_SIZE_LIST, IDC_SUBSAMPLE_LIST, IDC_CLOCK_LIST, IDC_TOTAL_WIDTH, IDC_START_Y}) {
            EXPECT_FALSE(Enabled(dialog, id)) << id;
        }
        EXPECT_TRUE(Enabled(dialog, IDC_COLOR_LIST));
        EXPECT_TRUE(Enabled(dialog, IDC_WAIT_TIME));
        Choose(dialog, IDC_COLOR_LIST, 3);
        EXPECT_TRUE(Enabled(dialog, IDC_APPLY));
        Press(dialog, IDCANCEL);
    }});
    EXPECT_EQ(RunFormatDialog(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    EXPECT_FALSE(KeyExists(""));
}

TEST_F(CameraFormatDialog, ApplyStoresAndCancelKeepsWhatApplyStored) {
    WritePreset(0, 4896, 3264);
    WritePreset(1, 2448, 1632);
    ASSERT_TRUE(WriteDword("", "Size", 1));
    ASSERT_TRUE(WriteDword("", "Color", 2));
    ASSERT_TRUE(WriteDword("", "WaitTime", 25));
    DialogDriver driver({[&](HWND dialog) {
                             EXPECT_EQ(ListItems(dialog, IDC_SIZE_LIST),
                                       (std::vector<std::wstring>{L"4896 x 3264", L"2448 x 1632", Custom()}));
                             EXPECT_EQ(ListSelection(dialog, IDC_SIZE_LIST), 1);
                             ShowDialog(dialog, "camera_format");
                             EXPECT_EQ(ListSelection(dialog, IDC_COLOR_LIST), 2);
                             EXPECT_EQ(Text(dialog, IDC_WIDTH), "2448");
                             EXPECT_EQ(Text(dialog, IDC_HEIGHT), "1632");
                             EXPECT_EQ(Text(dialog, IDC_WAIT_TIME), "25");

                             Choose(dialog, IDC_COLOR_LIST, 3);
                             Type(dialog, IDC_WAIT_TIME, "40");
                             Press(dialog, IDC_APPLY);
                         },
                         [&](HWND dialog) {
                             int32_t value = 0;
                             EXPECT_TRUE(ReadDword("", "Color", &value) && value == 3);
                             EXPECT_TRUE(ReadDword("", "WaitTime", &value) && value == 40);
                             EXPECT_FALSE(Enabled(dialog, IDC_APPLY));
                             // A text that is no number stores 0, but only OK or Apply store.
                             Type(dialog, IDC_WAIT_TIME, "soon");
                             EXPECT_TRUE(Enabled(dialog, IDC_APPLY));
                             Press(dialog, IDCANCEL);
                         }});
    EXPECT_EQ(RunFormatDialog(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    int32_t value = 0;
    EXPECT_TRUE(ReadDword("", "WaitTime", &value) && value == 40);
    EXPECT_TRUE(ReadDword("", "Color", &value) && value == 3);
}

TEST_F(CameraFormatDialog, CustomSizeBecomesANewPreset) {
    WritePreset(0, 4896, 3264);
    DialogDriver driver({[&](HWND dialog) {
        Choose(dialog, IDC_SIZE_LIST, 1);  // Custom
        Type(dialog, IDC_WIDTH, "640");
        Type(dialog, IDC_HEIGHT, "480");
        Type(dialog, IDC_START_X, "8");
        Type(dialog, IDC_WAIT_TIME, "x");
        Press(dialog, IDOK);
    }});
    EXPECT_EQ(RunFormatDialog(), IDOK);
    int32_t value = 0;
    EXPECT_TRUE(ReadDword("Size_01", "EH", &value) && value == 640);
    EXPECT_TRUE(ReadDword("Size_01", "EV", &value) && value == 480);
    EXPECT_TRUE(ReadDword("Size_01", "EHS", &value) && value == 8);
    EXPECT_TRUE(ReadDword("Size_01", "Buf", &value) && value == 10);
    EXPECT_TRUE(ReadDword("", "Size", &value) && value == 1);
    EXPECT_TRUE(ReadDword("", "WaitTime", &value) && value == 0);
}

// With 100 presets stored no custom size fits: OK says so and keeps the
// dialog open instead of dropping the size silently.
TEST_F(CameraFormatDialog, FullTableRefusesACustomSizeWithAMessage) {
    for (int i = 0; i < 100; ++i) WritePreset(i, 100 + i, 100);
    std::wstring message;
    DialogDriver driver({[&](HWND dialog) {
                             EXPECT_EQ(ListItems(dialog, IDC_SIZE_LIST).size(), 101u);
                             Choose(dialog, IDC_SIZE_LIST, 100);
                             Press(dialog, IDOK);
                         },
                         [&](HWND box) {
                             // The message box above the dialog.
                             message = WideText(GetDlgItem(box, 0xFFFF));
                             PostMessageA(box, WM_COMMAND, IDOK, 0);
                         },
                         [&](HWND dialog) {
                             EXPECT_EQ(ListItems(dialog, IDC_SIZE_LIST).size(), 101u);
                             Press(dialog, IDCANCEL);
                         }});
    EXPECT_EQ(RunFormatDialog(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    EXPECT_NE(message.find(L"100"), std::wstring::npos) << std::string(message.begin(), message.end());
    int32_t value = 0;
    EXPECT_TRUE(ReadDword("Size_99", "EH", &value) && value == 199);
    EXPECT_FALSE(KeyExists("Size_100"));
}

}  // namespace

namespace {

// Through the export, on a session with a camera: a running mode stops while
// the dialog is open and starts again when it closes, with the new format
// after OK and the old one after Cancel.
TEST_F(DialogTest, CameraDialogRestartsAStreamWithTheChosenFormat) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 24), 1);
    ASSERT_EQ(Vidlyn_Preview(*session), 1);
    HWND window = object().m_previewWnd;
    ASSERT_NE(window, nullptr);
    DialogDriver driver({[&](HWND dialog) {
        EXPECT_EQ(object().m_state.load(), 0);  // stopped while the format changes
        Choose(dialog, IDC_COLOR_LIST, 3);      // "Color 32bit"
        Type(dialog, IDC_WAIT_TIME, "20");
        Press(dialog, IDOK);
    }});
    EXPECT_EQ(Vidlyn_SetCameraDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(object().m_state.load(), 1);
    EXPECT_EQ(Vidlyn_GetColorMode(*session), 32);
    EXPECT_EQ(Vidlyn_GetWaitTime(*session), 20);
    EXPECT_EQ(object().m_previewWnd, window);  // the stream goes on in the same window
    EXPECT_EQ(Vidlyn_Close(*session), 1);
}

TEST_F(DialogTest, CameraDialogApplyThenCancelRearmsCaptureWithTheOldFormat) {
    ASSERT_EQ(Vidlyn_SetColorMode(*session, 24), 1);
    ASSERT_EQ(Vidlyn_Capture(*session), 1);
    DialogDriver driver({[&](HWND dialog) {
                             EXPECT_EQ(object().m_state.load(), 0);
                             Choose(dialog, IDC_COLOR_LIST, 0);
                             Press(dialog, IDC_APPLY);
                         },
                         [&](HWND dialog) { Press(dialog, IDCANCEL); }});
    EXPECT_EQ(Vidlyn_SetCameraDlg(*session, nullptr), 1);
    EXPECT_TRUE(driver.Finished());
    int32_t stored = -1;
    EXPECT_TRUE(ReadDword("", "Color", &stored) && stored == 0);  // Apply wrote it ...
    EXPECT_EQ(Vidlyn_GetColorMode(*session), 24);                 // ... but the session kept its format
    EXPECT_EQ(object().m_state.load(), 2);
}

}  // namespace
