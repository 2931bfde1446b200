#include "settings/CameraFormatDialog.h"

#include <commctrl.h>

#include <cstdio>

#include "settings/DialogControls.h"
#include "settings/DialogResources.h"

namespace {

// List texts, passed as narrow strings; the Japanese ones in code page 932.
constexpr const char* kColorItemsEn[] = {"Monochrome 8bit", "Monochrome 10bit *", "Color 24bit",
                                         "Color 32bit",     "Color 48bit *",      "Color 64bit *"};
constexpr const char* kColorItemsJa[] = {"\x94\x92\x8D\x95 8bit",               // 白黒 8bit
                                         "\x94\x92\x8D\x95 10bit \x81\xA6",     // 白黒 10bit ※
                                         "\x83J\x83\x89\x81[ 24bit",            // カラー 24bit
                                         "\x83J\x83\x89\x81[ 32bit",            // カラー 32bit
                                         "\x83J\x83\x89\x81[ 48bit \x81\xA6",   // カラー 48bit ※
                                         "\x83J\x83\x89\x81[ 64bit \x81\xA6"};  // カラー 64bit ※
constexpr const char* kTabEn = "Stream Format";
constexpr const char* kTabJa = "\x83X\x83g\x83\x8A\x81[\x83\x80\x8C`\x8E\xAE";  // ストリーム形式
constexpr const char* kCustomEn = "Custom";
constexpr const char* kCustomJa = "\x83J\x83X\x83^\x83\x80";  // カスタム
constexpr const char* kClockEn = "Nomal";
constexpr const char* kClockJa = "\x95W\x8F\x80";  // 標準
constexpr const char* kSubSample = "1/1";

constexpr const wchar_t* kTableFullEn =
    L"No more sizes can be stored: the table holds 100 sizes already.\n"
    L"Choose one of the listed sizes instead of Custom.";
constexpr const wchar_t* kTableFullJa =
    L"サイズの登録数が上限 (100) に達しているため、カスタムサイズを保存できません。\n"
    L"カスタム以外のサイズを選択してください。";

constexpr int kSizeEdits[6] = {IDC_TOTAL_WIDTH, IDC_TOTAL_HEIGHT, IDC_WIDTH, IDC_HEIGHT, IDC_START_X, IDC_START_Y};
constexpr int kDisabled[] = {IDC_SIZE_LIST, IDC_SUBSAMPLE_LIST, IDC_CLOCK_LIST, IDC_TOTAL_WIDTH, IDC_TOTAL_HEIGHT,
                             IDC_WIDTH,     IDC_HEIGHT,         IDC_START_X,    IDC_START_Y};

int32_t* ValuesOf(PresetRecord& r) { return &r.totalWidth; }

void AddItem(HWND wnd, int list, const char* text) {
    SendDlgItemMessageA(wnd, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void SizeText(const PresetRecord& r, char (&text)[32]) {
    std::snprintf(text, sizeof(text), "%d x %d", r.width, r.height);
}

// The selected item, or `unchanged` when nothing is selected.
int32_t Selection(HWND wnd, int list, int32_t unchanged) {
    const LRESULT index = SendDlgItemMessageA(wnd, list, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? unchanged : static_cast<int32_t>(index);
}

}  // namespace

INT_PTR CCameraFormatDlg::Run(HWND parent) {
    RegisterDialogControls();
    return DialogBoxParamA(DialogModule(), MAKEINTRESOURCEA(DialogTemplate(IDD_CAMERA_FORMAT_EN, IDD_CAMERA_FORMAT_JA)),
                           parent, DialogProcedure<CCameraFormatDlg>, reinterpret_cast<LPARAM>(this));
}

void CCameraFormatDlg::Init() {
    // Without the root key the table stays fresh: no presets, colour 0, wait time 10.
    LoadPresetTable(m_table);
    const bool japanese = UseJapaneseDialogs();
    InsertTab(GetDlgItem(m_wnd, IDC_SHEET_TAB), 0, japanese ? kTabJa : kTabEn);
    for (const char* item : japanese ? kColorItemsJa : kColorItemsEn) AddItem(m_wnd, IDC_COLOR_LIST, item);
    for (int i = 0; i < m_table.count; ++i) {
        char text[32];
        SizeText(m_table.presets[i], text);
        AddItem(m_wnd, IDC_SIZE_LIST, text);
    }
    AddItem(m_wnd, IDC_SIZE_LIST, japanese ? kCustomJa : kCustomEn);
    AddItem(m_wnd, IDC_SUBSAMPLE_LIST, kSubSample);
    AddItem(m_wnd, IDC_CLOCK_LIST, japanese ? kClockJa : kClockEn);

    SendDlgItemMessageA(m_wnd, IDC_COLOR_LIST, CB_SETCURSEL, m_table.color, 0);
    SendDlgItemMessageA(m_wnd, IDC_SUBSAMPLE_LIST, CB_SETCURSEL, m_table.subSample, 0);
    SendDlgItemMessageA(m_wnd, IDC_CLOCK_LIST, CB_SETCURSEL, m_table.clock, 0);
    SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_SETCURSEL, m_table.size, 0);
    ShowPreset(m_table.size);
    ShowNumber(m_wnd, IDC_WAIT_TIME, m_table.waitTime, false);

    EnableWindow(GetDlgItem(m_wnd, IDC_APPLY), FALSE);
    for (int id : kDisabled) EnableWindow(GetDlgItem(m_wnd, id), FALSE);
}

void CCameraFormatDlg::ShowPreset(int index) {
    // A stored "Size" outside the table shows nothing rather than another preset.
    if (index < 0 || index >= PresetTable::kMaxPresets) return;
    const int32_t* values = ValuesOf(m_table.presets[index]);
    for (int i = 0; i < 6; ++i) ShowNumber(m_wnd, kSizeEdits[i], values[i], false);
}

bool CCameraFormatDlg::ReadControls() {
    const int32_t size = Selection(m_wnd, IDC_SIZE_LIST, m_table.size);
    if (size == m_table.count && m_table.count >= PresetTable::kMaxPresets) return false;

    m_table.color = Selection(m_wnd, IDC_COLOR_LIST, m_table.color);
    m_table.size = size;
    m_table.subSample = Selection(m_wnd, IDC_SUBSAMPLE_LIST, m_table.subSample);
    m_table.clock = Selection(m_wnd, IDC_CLOCK_LIST, m_table.clock);
    m_table.waitTime = ReadNumber(m_wnd, IDC_WAIT_TIME, false);

    if (size < 0 || size > m_table.count) return true;
    int32_t* values = ValuesOf(m_table.presets[size]);
    for (int i = 0; i < 6; ++i) values[i] = ReadNumber(m_wnd, kSizeEdits[i], false);
    char text[32];
    SizeText(m_table.presets[size], text);
    if (size == m_table.count) {
        // A custom size becomes a new preset just before "Custom".
        SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_INSERTSTRING, size, reinterpret_cast<LPARAM>(text));
        SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_SETCURSEL, size, 0);
        ++m_table.count;
    } else {
        SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_DELETESTRING, size, 0);
        SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_INSERTSTRING, size, reinterpret_cast<LPARAM>(text));
        SendDlgItemMessageA(m_wnd, IDC_SIZE_LIST, CB_SETCURSEL, size, 0);
    }
    return true;
}

bool CCameraFormatDlg::Store() {
    if (!ReadControls()) {
        // Rather than drop the custom size silently, say why nothing was stored.
        const bool japanese = UseJapaneseDialogs();
        MessageBoxW(m_wnd, japanese ? kTableFullJa : kTableFullEn, japanese ? L"プロパティ" : L"Property",
                    MB_OK | MB_ICONWARNING);
        return false;
    }
    SavePresetTable(m_table);
    EnableWindow(GetDlgItem(m_wnd, IDC_APPLY), FALSE);
    return true;
}

INT_PTR CCameraFormatDlg::OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            m_wnd = wnd;
            Init();
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            switch (id) {
                case IDOK:
                    if (Store()) EndDialog(wnd, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(wnd, IDCANCEL);
                    return TRUE;
                case IDC_APPLY:
                    Store();
                    return TRUE;
                default:
                    break;
            }
            if (code == CBN_SELCHANGE) {
                if (id == IDC_SIZE_LIST) {
                    m_table.size = Selection(wnd, IDC_SIZE_LIST, m_table.size);
                    if (m_table.size != m_table.count) ShowPreset(m_table.size);
                }
                EnableWindow(GetDlgItem(wnd, IDC_APPLY), TRUE);
            } else if (code == EN_CHANGE) {
                EnableWindow(GetDlgItem(wnd, IDC_APPLY), TRUE);
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}
