#include "settings/AnalogGainDialog.h"

#include <commctrl.h>

#include <cstdio>

#include "device/CVidlynQM7720USB3Sdk.h"
#include "settings/DialogResources.h"
#include "settings/SettingsRecords.h"

namespace {

constexpr int kMaxGain = 1023;
constexpr int kMaxExposure = 3335;
constexpr int kMaxExposureSubsampled = 1668;
constexpr int kDefaultGain = 100;
constexpr int kDefaultExposure = 100;
// Slots of the values that the auto-iris regulation asks the dialog to show.
constexpr int kGainSlot = 0;
constexpr int kExposureSlot = 1;

// Rows of the page in the order of the analog block's first six values.
enum Row { kGain, kGreen1, kRed, kBlue, kGreen2, kExposure, kRowCount };

SliderRow RowOf(int row, bool subsampled) {
    switch (row) {
        case kGain:
            return {IDC_GAIN_BAR, IDC_GAIN_EDIT, IDC_GAIN_SPIN, 0, kMaxGain};
        case kGreen1:
            return {IDC_GAIN_G1_BAR, IDC_GAIN_G1_EDIT, IDC_GAIN_G1_SPIN, 0, 0};
        case kRed:
            return {IDC_GAIN_R_BAR, IDC_GAIN_R_EDIT, IDC_GAIN_R_SPIN, 0, 0};
        case kBlue:
            return {IDC_GAIN_B_BAR, IDC_GAIN_B_EDIT, IDC_GAIN_B_SPIN, 0, 0};
        case kGreen2:
            return {IDC_GAIN_G2_BAR, IDC_GAIN_G2_EDIT, IDC_GAIN_G2_SPIN, 0, 0};
        default:
            return {IDC_EXPOSURE_BAR, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_SPIN, 1,
                    subsampled ? kMaxExposureSubsampled : kMaxExposure};
    }
}

int32_t& FieldOf(AnalogBlock& a, int row) {
    int32_t* const fields[kRowCount] = {&a.m_globalGain,    &a.m_colorGainGreen1, &a.m_colorGainRed,
                                        &a.m_colorGainBlue, &a.m_colorGainGreen2, &a.m_exposureTime};
    return *fields[row];
}

// A mirrored frame starts on another site of the colour filter pattern.
void FlipBayerPhase(int32_t* phase, int bits) {
    if (*phase >= 0 && *phase <= 3) *phase ^= bits;
}

bool Checked(HWND wnd, int id) { return IsDlgButtonChecked(wnd, id) == BST_CHECKED; }

}  // namespace

CAnalogGainDlg::CAnalogGainDlg(CVidlynQM7720USB3Sdk* device, AnalogBlock* analog, int32_t* bayerMode)
    : m_device(device), m_analog(analog), m_bayerMode(bayerMode) {}

INT_PTR CAnalogGainDlg::Run(HWND parent) {
    RegisterDialogControls();
    return DialogBoxParamA(DialogModule(), MAKEINTRESOURCEA(DialogTemplate(IDD_ANALOG_SHEET_EN, IDD_ANALOG_SHEET_JA)),
                           parent, DialogProcedure<CAnalogGainDlg>, reinterpret_cast<LPARAM>(this));
}

void CAnalogGainDlg::ShowValue(int controlId) {
    if (controlId == IDC_GAIN_EDIT || controlId == IDC_EXPOSURE_EDIT) {
        m_mailbox.Post(kMsgShowValue, controlId == IDC_GAIN_EDIT ? kGainSlot : kExposureSlot, controlId);
    }
}

bool CAnalogGainDlg::InitSheet(HWND wnd) {
    m_wnd = wnd;
    HWND tab = GetDlgItem(wnd, IDC_SHEET_TAB);
    InsertTab(tab, 0, "Analog Gain");
    if (!CreatePage(tab, DialogTemplate(IDD_ANALOG_PAGE_EN, IDD_ANALOG_PAGE_JA), DialogProcedure<Page>, &m_page)) {
        EndDialog(wnd, -1);
        return false;
    }
    ShowWindow(m_page.m_wnd, SW_SHOW);
    m_mailbox.Open(wnd);
    return true;
}

INT_PTR CAnalogGainDlg::OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitSheet(wnd);
            return TRUE;
        case WM_DESTROY:
            m_mailbox.Close();
            return FALSE;
        case kMsgShowValue:
            DialogMailbox::Defer(wnd, static_cast<int>(wParam) == IDC_GAIN_EDIT ? kGainSlot : kExposureSlot);
            return TRUE;
        case WM_TIMER: {
            int slot = 0;
            if (!m_mailbox.Take(wnd, wParam, &slot)) return FALSE;
            m_page.ShowFromBlock(slot == kGainSlot ? IDC_GAIN_EDIT : IDC_EXPOSURE_EDIT);
            return TRUE;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_SHEET_TAB && header->code == TCN_SELCHANGE) {
                const LRESULT selected = SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0);
                ShowWindow(m_page.m_wnd, selected == 0 ? SW_SHOW : SW_HIDE);
            }
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    m_page.ReadEdits();
                    EndDialog(wnd, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(wnd, IDCANCEL);
                    return TRUE;
                case IDC_DEFAULT:
                    m_analog->m_globalGain = kDefaultGain;
                    m_analog->m_colorGainGreen1 = 0;
                    m_analog->m_colorGainRed = 0;
                    m_analog->m_colorGainBlue = 0;
                    m_analog->m_colorGainGreen2 = 0;
                    m_analog->m_exposureTime = kDefaultExposure;
                    m_device->SetGlobalGain(kDefaultGain);
                    m_device->SetExposure(kDefaultExposure);
                    m_page.ShowDefaults();
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CAnalogGainDlg::Page::OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            m_wnd = wnd;
            Fill();
            return FALSE;
        case WM_HSCROLL: {
            // A trackbar moved: its edit takes the position, and the edit's
            // change applies it.
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id == IDC_GAIN_BAR || id == IDC_EXPOSURE_BAR) {
                const int row = id == IDC_GAIN_BAR ? kGain : kExposure;
                const SliderRow r = RowOf(row, m_owner.m_device->m_subSample != 0);
                ShowNumber(wnd, r.edit, SliderBarPosition(wnd, r), true);
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

void CAnalogGainDlg::Page::Fill() {
    {
        FillGuard filling(m_ready);
        AnalogBlock& a = *m_owner.m_analog;
        const bool subsampled = m_owner.m_device->m_subSample != 0;
        for (int row = 0; row < kRowCount; ++row) {
            const SliderRow r = RowOf(row, subsampled);
            const bool enabled = row == kGain || row == kExposure;
            SetUpSlider(m_wnd, r, (r.maximum - r.minimum) / 8, FieldOf(a, row), enabled);
        }
        CheckDlgButton(m_wnd, IDC_MIRROR_V, a.m_mirrorV ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(m_wnd, IDC_MIRROR_H, a.m_mirrorH ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(m_wnd, IDC_AUTO_IRIS_EXPOSURE, a.m_autoIris == 1 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(m_wnd, IDC_AUTO_IRIS_GAIN, a.m_autoIris == 2 ? BST_CHECKED : BST_UNCHECKED);
        ShowExposureTime();
    }
    m_ready = true;
}

void CAnalogGainDlg::Page::ReadEdits() {
    m_owner.m_analog->m_globalGain = ReadNumber(m_wnd, IDC_GAIN_EDIT, true);
    m_owner.m_analog->m_exposureTime = ReadNumber(m_wnd, IDC_EXPOSURE_EDIT, true);
}

void CAnalogGainDlg::Page::ShowDefaults() {
    FillGuard filling(m_ready);
    const bool subsampled = m_owner.m_device->m_subSample != 0;
    ShowSlider(m_wnd, RowOf(kGain, subsampled), kDefaultGain);
    ShowSlider(m_wnd, RowOf(kExposure, subsampled), kDefaultExposure);
    ShowExposureTime();
}

void CAnalogGainDlg::Page::ShowFromBlock(int controlId) {
    // The value was computed and sent to the camera on the acquisition
    // thread; showing it does not send it again.
    FillGuard filling(m_ready);
    const int row = controlId == IDC_GAIN_EDIT ? kGain : kExposure;
    ShowSlider(m_wnd, RowOf(row, m_owner.m_device->m_subSample != 0), FieldOf(*m_owner.m_analog, row));
    if (row == kExposure) ShowExposureTime();
}

void CAnalogGainDlg::Page::ShowExposureTime() {
    // Exposure time in milliseconds; a larger register value is a shorter exposure.
    const double ms = ((kMaxExposure - m_owner.m_analog->m_exposureTime) * 2775.0 + 578.0) * 0.03125 / 1000.0;
    char text[48];
    std::snprintf(text, sizeof(text), "=%.2fms", ms);
    SetDlgItemTextA(m_wnd, IDC_EXPOSURE_MS, text);
}

void CAnalogGainDlg::Page::OnCommand(int id, int code) {
    AnalogBlock& a = *m_owner.m_analog;
    const bool subsampled = m_owner.m_device->m_subSample != 0;
    if (code == EN_CHANGE) {
        if (!m_ready) return;
        // Typed values go to the camera as they stand, without a range check.
        if (id == IDC_GAIN_EDIT) {
            a.m_globalGain = ReadNumber(m_wnd, id, true);
            MoveSliderBar(m_wnd, RowOf(kGain, subsampled), a.m_globalGain);
            m_owner.m_device->SetGlobalGain(a.m_globalGain & 0xFFFF);
        } else if (id == IDC_EXPOSURE_EDIT) {
            a.m_exposureTime = ReadNumber(m_wnd, id, true);
            MoveSliderBar(m_wnd, RowOf(kExposure, subsampled), a.m_exposureTime);
            m_owner.m_device->SetExposure(a.m_exposureTime);
            ShowExposureTime();
        }
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_MIRROR_V:
            a.m_mirrorV = Checked(m_wnd, id) ? 1 : 0;
            FlipBayerPhase(m_owner.m_bayerMode, 1);
            break;
        case IDC_MIRROR_H:
            a.m_mirrorH = Checked(m_wnd, id) ? 1 : 0;
            FlipBayerPhase(m_owner.m_bayerMode, 2);
            break;
        case IDC_AUTO_IRIS_EXPOSURE:
            if (Checked(m_wnd, id)) {
                CheckDlgButton(m_wnd, IDC_AUTO_IRIS_GAIN, BST_UNCHECKED);
                a.m_autoIris = 1;
            } else {
                a.m_autoIris = 0;
            }
            break;
        case IDC_AUTO_IRIS_GAIN:
            if (Checked(m_wnd, id)) {
                CheckDlgButton(m_wnd, IDC_AUTO_IRIS_EXPOSURE, BST_UNCHECKED);
                a.m_autoIris = 2;
            } else {
                a.m_autoIris = 0;
            }
            break;
        default:
            break;
    }
}
