// The analog gain dialog: global gain and exposure reach the camera while the
// user moves them, mirror flags and the auto-iris mode go into the session's
// analog block. The caller restores the block and the camera on Cancel.
#pragma once
#include <windows.h>

#include <cstdint>

#include "settings/DialogControls.h"

class CVidlynQM7720USB3Sdk;
struct AnalogBlock;

class CAnalogGainDlg {
public:
    CAnalogGainDlg(CVidlynQM7720USB3Sdk* device, AnalogBlock* analog, int32_t* bayerMode);
    CAnalogGainDlg(const CAnalogGainDlg&) = delete;
    CAnalogGainDlg& operator=(const CAnalogGainDlg&) = delete;

    // Runs the modal sheet owned by `parent`: IDOK, IDCANCEL, or -1 when it
    // could not be shown.
    INT_PTR Run(HWND parent);
    // Any thread: the open dialog shows the analog block's current value in
    // edit `controlId` (global gain 1015 or exposure 1027) without sending it
    // to the camera again. Never waits for the dialog.
    void ShowValue(int controlId);

    INT_PTR OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The page inside the tab control.
    class Page {
    public:
        explicit Page(CAnalogGainDlg& owner) : m_owner(owner) {}
        INT_PTR OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
        void Fill();
        // The gain and exposure edits into the block (OK).
        void ReadEdits();
        void ShowDefaults();
        void ShowFromBlock(int controlId);
        HWND m_wnd = nullptr;

    private:
        void OnCommand(int id, int code);
        void ShowExposureTime();
        CAnalogGainDlg& m_owner;
        bool m_ready = false;
    };

private:
    bool InitSheet(HWND wnd);

    HWND m_wnd = nullptr;
    CVidlynQM7720USB3Sdk* m_device;
    AnalogBlock* m_analog;
    int32_t* m_bayerMode;
    Page m_page{*this};
    DialogMailbox m_mailbox;
};
