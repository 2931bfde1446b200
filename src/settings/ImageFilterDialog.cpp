#include "settings/ImageFilterDialog.h"

#include <commctrl.h>

#include "settings/DialogResources.h"
#include "settings/SettingsRecords.h"

namespace {

// One slider row and the block value it edits. The dialog's ranges end where
// the trackbars end (white-balance and gray gains at 400); a typed value
// beyond them is kept.
struct FilterRow {
    SliderRow slider;
    int ticks;
    int32_t ImageAdjustBlock::*field;
};

constexpr int kImageRowCount = 9;
constexpr FilterRow kImageRows[kImageRowCount] = {
    {{IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, IDC_BRIGHTNESS_SPIN, -255, 255}, 64, &ImageAdjustBlock::m_brightness},
    {{IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN, -127, 127}, 32, &ImageAdjustBlock::m_contrast},
    {{IDC_HUE_BAR, IDC_HUE_EDIT, IDC_HUE_SPIN, -360, 360}, 90, &ImageAdjustBlock::m_hue},
    {{IDC_SATURATION_BAR, IDC_SATURATION_EDIT, IDC_SATURATION_SPIN, -255, 255}, 64, &ImageAdjustBlock::m_saturation},
    {{IDC_SHARPNESS_BAR, IDC_SHARPNESS_EDIT, IDC_SHARPNESS_SPIN, 0, 30}, 4, &ImageAdjustBlock::m_sharpness},
    {{IDC_RED_GAIN_BAR, IDC_RED_GAIN_EDIT, IDC_RED_GAIN_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_bayerGainRed},
    {{IDC_GREEN_GAIN_BAR, IDC_GREEN_GAIN_EDIT, IDC_GREEN_GAIN_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_bayerGainGreen},
    {{IDC_BLUE_GAIN_BAR, IDC_BLUE_GAIN_EDIT, IDC_BLUE_GAIN_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_bayerGainBlue},
    {{IDC_GAMMA_BAR, IDC_GAMMA_EDIT, IDC_GAMMA_SPIN, 0, 200}, 32, &ImageAdjustBlock::m_gamma},
};

constexpr int kGrayRowCount = 8;
constexpr FilterRow kGrayRows[kGrayRowCount] = {
    {{IDC_GRAY_GAIN_R_BAR, IDC_GRAY_GAIN_R_EDIT, IDC_GRAY_GAIN_R_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_grayGainR},
    {{IDC_GRAY_GAIN_G1_BAR, IDC_GRAY_GAIN_G1_EDIT, IDC_GRAY_GAIN_G1_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_grayGainG1},
    {{IDC_GRAY_GAIN_G2_BAR, IDC_GRAY_GAIN_G2_EDIT, IDC_GRAY_GAIN_G2_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_grayGainG2},
    {{IDC_GRAY_GAIN_B_BAR, IDC_GRAY_GAIN_B_EDIT, IDC_GRAY_GAIN_B_SPIN, 0, 400}, 32, &ImageAdjustBlock::m_grayGainB},
    {{IDC_GRAY_OFFSET_R_BAR, IDC_GRAY_OFFSET_R_EDIT, IDC_GRAY_OFFSET_R_SPIN, -255, 255},
     32,
     &ImageAdjustBlock::m_grayOffsetR},
    {{IDC_GRAY_OFFSET_G1_BAR, IDC_GRAY_OFFSET_G1_EDIT, IDC_GRAY_OFFSET_G1_SPIN, -255, 255},
     32,
     &ImageAdjustBlock::m_grayOffsetG1},
    {{IDC_GRAY_OFFSET_G2_BAR, IDC_GRAY_OFFSET_G2_EDIT, IDC_GRAY_OFFSET_G2_SPIN, -255, 255},
     32,
     &ImageAdjustBlock::m_grayOffsetG2},
    {{IDC_GRAY_OFFSET_B_BAR, IDC_GRAY_OFFSET_B_EDIT, IDC_GRAY_OFFSET_B_SPIN, -255, 255},
     32,
     &ImageAdjustBlock::m_grayOffsetB},
};

constexpr int kBayerRadios[4] = {IDC_BAYER_0, IDC_BAYER_1, IDC_BAYER_2, IDC_BAYER_3};
constexpr int kGrayModeRadios[3] = {IDC_GRAY_MODE_BAYER, IDC_GRAY_MODE_CONVERT, IDC_GRAY_MODE_GRAYSCALE};

// Slot of the refresh request in the dialog's mailbox.
constexpr int kRefreshSlot = 0;

int IndexOf(const int* ids, int count, int id) {
    for (int i = 0; i < count; ++i) {
        if (ids[i] == id) return i;
    }
    return -1;
}

const FilterRow* FindRow(const FilterRow* rows, int count, int id, bool byBar) {
    for (int i = 0; i < count; ++i) {
        if ((byBar ? rows[i].slider.bar : rows[i].slider.edit) == id) return &rows[i];
    }
    return nullptr;
}

}  // namespace

ImageDialogFlags ImageDialogFlags::ForColorType(int colorType) {
    const bool monochrome = colorType == 0 || colorType == 1;
    ImageDialogFlags flags{};
    for (int i = 0; i < kImageRowCount; ++i) flags.rows[i] = true;
    if (monochrome) {
        // Hue, saturation and the white-balance gains act on colour only.
        flags.rows[2] = flags.rows[3] = flags.rows[5] = flags.rows[6] = flags.rows[7] = false;
    }
    flags.grayTab = monochrome;
    flags.autoWhiteBalance = !monochrome;
    return flags;
}

CImageFilterDlg::CImageFilterDlg(ImageAdjustBlock* block, const ImageDialogFlags& flags)
    : m_block(block), m_flags(flags) {}

INT_PTR CImageFilterDlg::Run(HWND parent) {
    RegisterDialogControls();
    return DialogBoxParamA(DialogModule(), MAKEINTRESOURCEA(DialogTemplate(IDD_IMAGE_SHEET_EN, IDD_IMAGE_SHEET_JA)),
                           parent, DialogProcedure<CImageFilterDlg>, reinterpret_cast<LPARAM>(this));
}

void CImageFilterDlg::RequestRefresh() { m_mailbox.Post(kMsgRefreshValues, kRefreshSlot); }

bool CImageFilterDlg::InitSheet(HWND wnd) {
    m_wnd = wnd;
    HWND tab = GetDlgItem(wnd, IDC_SHEET_TAB);
    InsertTab(tab, 0, "Image Filter");
    if (!CreatePage(tab, DialogTemplate(IDD_IMAGE_PAGE_EN, IDD_IMAGE_PAGE_JA), DialogProcedure<Page>, &m_image)) {
        EndDialog(wnd, -1);
        return false;
    }
    if (m_flags.grayTab) {
        InsertTab(tab, 1, "Gray Filter");
        if (!CreatePage(tab, DialogTemplate(IDD_GRAY_PAGE_EN, IDD_GRAY_PAGE_JA), DialogProcedure<Page>, &m_grayPage)) {
            EndDialog(wnd, -1);
            return false;
        }
    }
    ShowPage(0);
    m_mailbox.Open(wnd);
    return true;
}

void CImageFilterDlg::ShowPage(int index) {
    ShowWindow(m_image.m_wnd, index == 0 ? SW_SHOW : SW_HIDE);
    if (m_grayPage.m_wnd) ShowWindow(m_grayPage.m_wnd, index == 1 ? SW_SHOW : SW_HIDE);
}

void CImageFilterDlg::Defaults() {
    ImageAdjustBlock& b = *m_block;
    b.m_brightness = 0;
    b.m_contrast = 0;
    b.m_hue = 0;
    b.m_saturation = 0;
    b.m_sharpness = 0;
    b.m_bayerGainRed = 100;
    b.m_bayerGainGreen = 100;
    b.m_bayerGainBlue = 100;
    b.m_gamma = 100;
    b.m_bayerMode = 3;
    m_image.ShowValues();
    if (m_grayPage.m_wnd) {
        b.m_grayGainR = b.m_grayGainG1 = b.m_grayGainG2 = b.m_grayGainB = 128;
        b.m_grayOffsetR = b.m_grayOffsetG1 = b.m_grayOffsetG2 = b.m_grayOffsetB = 0;
        m_grayPage.ShowValues();
    }
}

INT_PTR CImageFilterDlg::OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitSheet(wnd);
            return TRUE;
        case WM_DESTROY:
            m_mailbox.Close();
            return FALSE;
        case kMsgRefreshValues:
            DialogMailbox::Defer(wnd, kRefreshSlot);
            return TRUE;
        case WM_TIMER: {
            int slot = 0;
            if (!m_mailbox.Take(wnd, wParam, &slot)) return FALSE;
            m_image.ShowValues();
            if (m_grayPage.m_wnd) m_grayPage.ShowValues();
            return TRUE;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_SHEET_TAB && header->code == TCN_SELCHANGE) {
                ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            }
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    m_image.ReadValues();
                    if (m_grayPage.m_wnd) m_grayPage.ReadValues();
                    EndDialog(wnd, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(wnd, IDCANCEL);
                    return TRUE;
                case IDC_DEFAULT:
                    Defaults();
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CImageFilterDlg::Page::OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            m_wnd = wnd;
            Fill();
            return FALSE;
        case WM_HSCROLL: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            const FilterRow* row =
                m_gray ? FindRow(kGrayRows, kGrayRowCount, id, true) : FindRow(kImageRows, kImageRowCount, id, true);
            if (row) {
                const int position = SliderBarPosition(wnd, row->slider);
                m_owner.m_block->*row->field = position;
                ShowNumber(wnd, row->slider.edit, position, true);
            }
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void CImageFilterDlg::Page::Fill() {
    {
        FillGuard filling(m_ready);
        const ImageAdjustBlock& b = *m_owner.m_block;
        const ImageDialogFlags& flags = m_owner.m_flags;
        if (m_gray) {
            for (const FilterRow& row : kGrayRows) SetUpSlider(m_wnd, row.slider, row.ticks, b.*row.field, true);
            if (b.m_grayMode >= 0 && b.m_grayMode < 3)
                CheckDlgButton(m_wnd, kGrayModeRadios[b.m_grayMode], BST_CHECKED);
        } else {
            for (int i = 0; i < kImageRowCount; ++i) {
                const FilterRow& row = kImageRows[i];
                SetUpSlider(m_wnd, row.slider, row.ticks, b.*row.field, flags.rows[i]);
            }
            EnableWindow(GetDlgItem(m_wnd, IDC_AUTO_ONCE), flags.autoWhiteBalance);
            EnableWindow(GetDlgItem(m_wnd, IDC_AUTO_ALL_FRAMES), flags.autoWhiteBalance);
            for (int id : kBayerRadios) EnableWindow(GetDlgItem(m_wnd, id), flags.autoWhiteBalance);
        }
        CheckBayerPhase();
        CheckDlgButton(m_wnd, IDC_AUTO_ALL_FRAMES, BST_UNCHECKED);
    }
    m_ready = true;
}

void CImageFilterDlg::Page::CheckBayerPhase() {
    const int phase = m_owner.m_block->m_bayerMode;
    for (int i = 0; i < 4; ++i) CheckDlgButton(m_wnd, kBayerRadios[i], i == phase ? BST_CHECKED : BST_UNCHECKED);
}

void CImageFilterDlg::Page::ShowValues() {
    FillGuard filling(m_ready);
    const ImageAdjustBlock& b = *m_owner.m_block;
    if (m_gray) {
        for (const FilterRow& row : kGrayRows) ShowSlider(m_wnd, row.slider, b.*row.field);
        for (int i = 0; i < 3; ++i) {
            CheckDlgButton(m_wnd, kGrayModeRadios[i], i == b.m_grayMode ? BST_CHECKED : BST_UNCHECKED);
        }
    } else {
        for (const FilterRow& row : kImageRows) ShowSlider(m_wnd, row.slider, b.*row.field);
    }
    // Both pages show the one Bayer phase of the session.
    CheckBayerPhase();
}

void CImageFilterDlg::Page::ReadValues() {
    ImageAdjustBlock& b = *m_owner.m_block;
    if (m_gray) {
        for (const FilterRow& row : kGrayRows) b.*row.field = ReadNumber(m_wnd, row.slider.edit, true);
        return;
    }
    for (const FilterRow& row : kImageRows) b.*row.field = ReadNumber(m_wnd, row.slider.edit, true);
    for (int i = 0; i < 4; ++i) {
        if (IsDlgButtonChecked(m_wnd, kBayerRadios[i]) == BST_CHECKED) {
            b.m_bayerMode = i;
            break;
        }
    }
}

void CImageFilterDlg::Page::OnCommand(int id, int code) {
    ImageAdjustBlock& b = *m_owner.m_block;
    if (code == EN_CHANGE) {
        const FilterRow* row =
            m_gray ? FindRow(kGrayRows, kGrayRowCount, id, false) : FindRow(kImageRows, kImageRowCount, id, false);
        if (row && m_ready) {
            // Typed values are kept as they stand, also beyond the trackbar's range.
            b.*row->field = ReadNumber(m_wnd, id, true);
            MoveSliderBar(m_wnd, row->slider, b.*row->field);
        }
        return;
    }
    if (code != BN_CLICKED) return;
    if (const int phase = IndexOf(kBayerRadios, 4, id); phase >= 0) {
        b.m_bayerMode = phase;
        // The other page shows the same phase.
        Page& other = m_gray ? m_owner.m_image : m_owner.m_grayPage;
        if (other.m_wnd) other.CheckBayerPhase();
        return;
    }
    if (m_gray) {
        if (const int mode = IndexOf(kGrayModeRadios, 3, id); mode >= 0) {
            b.m_grayMode = mode;
        } else if (id == IDC_AUTO_ALL_FRAMES) {
            // Every frame (-1) or off; the check mark only follows.
            b.m_grayAutoGainFrames = b.m_grayAutoGainFrames == 0 ? -1 : 0;
        } else if (id == IDC_AUTO_ONCE) {
            b.m_grayAutoGainFrames = 1;
        }
        return;
    }
    if (id == IDC_AUTO_ALL_FRAMES) {
        b.m_bayerGainAuto = IsDlgButtonChecked(m_wnd, id) == BST_CHECKED ? 1 : 0;
        b.m_bayerGainAutoOnce = 0;
        b.m_bayerGainAutoOnce2 = 0;
    } else if (id == IDC_AUTO_ONCE) {
        // One balance on the next frame; the conversion clears the flags after it.
        b.m_bayerGainAutoOnce = 1;
        b.m_bayerGainAutoOnce2 = 1;
        b.m_bayerGainAuto = 1;
        CheckDlgButton(m_wnd, IDC_AUTO_ALL_FRAMES, BST_UNCHECKED);
    }
}
