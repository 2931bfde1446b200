// The camera format dialog: edits the stream format kept in the registry (the
// size presets and the root values). OK and Apply store the table; the caller
// reloads the session's format after OK.
#pragma once
#include <windows.h>

#include "settings/RegistryStore.h"

class CCameraFormatDlg {
public:
    CCameraFormatDlg() = default;
    CCameraFormatDlg(const CCameraFormatDlg&) = delete;
    CCameraFormatDlg& operator=(const CCameraFormatDlg&) = delete;

    // Runs the modal dialog owned by `parent`: IDOK, IDCANCEL, or -1 when it
    // could not be shown.
    INT_PTR Run(HWND parent);

    INT_PTR OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Init();
    void ShowPreset(int index);
    // Controls into the table. False, and nothing changed, when a custom size
    // is asked for while the table is full.
    bool ReadControls();
    // Stores the table (OK and Apply); false when it was refused.
    bool Store();

    HWND m_wnd = nullptr;
    PresetTable m_table;
};
