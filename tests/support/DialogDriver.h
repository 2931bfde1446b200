// Drives the library's modal dialogs from a timer of the calling thread: the
// timer fires inside the dialog's own message loop, where each step acts on
// the dialog as a user would (edits typed, trackbars moved, buttons pressed).
// Buttons are pressed by posting, so that a dialog that opens another window
// (a message box) does not nest it inside the step.
#pragma once
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ModelDisk.h"
#include "Screenshot.h"
#include "SdkTestUtil.h"

namespace dialogtest {

// The enabled, visible dialog window of this thread that is on top: the open
// dialog, or the message box above it (the dialog is disabled then).
inline HWND ActiveDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM out) -> BOOL {
            char cls[16] = {};
            GetClassNameA(wnd, cls, sizeof(cls));
            if (std::string(cls) == "#32770" && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
                *reinterpret_cast<HWND*>(out) = wnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs `steps` one per timer tick, each with the dialog then active. After the
// last step any dialog still open is cancelled, so that a failing test ends.
class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;
    explicit DialogDriver(std::vector<Step> steps) : m_steps(std::move(steps)) {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, 10, &DialogDriver::Tick);
    }
    ~DialogDriver() {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Every step ran (a dialog was there for each of them).
    bool Finished() const { return m_next == m_steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogDriver* self = s_current;
        if (!self || self->m_busy) return;
        HWND dialog = ActiveDialog();
        if (!dialog) return;
        self->m_busy = true;
        if (self->m_next < self->m_steps.size()) {
            self->m_steps[self->m_next++](dialog);
        } else if (++self->m_idleTicks > 300) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // the script forgot to close it
        }
        self->m_busy = false;
    }

    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_idleTicks = 0;
    bool m_busy = false;
    UINT_PTR m_timer = 0;
    static inline DialogDriver* s_current = nullptr;
};

// Lets the dialogs of this thread work for `ms` milliseconds (timers,
// requests posted by other threads) before a step goes on.
inline void Settle(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

// --- what a user does ---------------------------------------------------------

inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Clicks a check box or radio button: it changes its state and tells its dialog.
inline void Click(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }

inline void Type(HWND page, int id, const char* text) { SetDlgItemTextA(page, id, text); }

inline std::string Text(HWND wnd, int id) {
    char text[256] = {};
    GetDlgItemTextA(wnd, id, text, sizeof(text));
    return text;
}

inline std::wstring WideText(HWND wnd) {
    wchar_t text[256] = {};
    GetWindowTextW(wnd, text, 256);
    return text;
}

// Drags trackbar `id` to `position`, as the mouse does.
inline void Slide(HWND page, int id, int position) {
    HWND bar = GetDlgItem(page, id);
    SendMessageA(bar, TBM_SETPOS, TRUE, position);
    SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(bar));
}

inline int BarPosition(HWND page, int id) { return static_cast<int>(SendDlgItemMessageA(page, id, TBM_GETPOS, 0, 0)); }
inline int BarMin(HWND page, int id) { return static_cast<int>(SendDlgItemMessageA(page, id, TBM_GETRANGEMIN, 0, 0)); }
inline int BarMax(HWND page, int id) { return static_cast<int>(SendDlgItemMessageA(page, id, TBM_GETRANGEMAX, 0, 0)); }
inline bool Enabled(HWND wnd, int id) { return IsWindowEnabled(GetDlgItem(wnd, id)) != FALSE; }
inline bool Checked(HWND wnd, int id) { return IsDlgButtonChecked(wnd, id) == BST_CHECKED; }

// Picks item `index` of a drop-down list, as the user does.
inline void Choose(HWND dialog, int id, int index) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

inline std::vector<std::wstring> ListItems(HWND dialog, int id) {
    std::vector<std::wstring> items;
    const LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

inline int ListSelection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

// The sheet's tab control and its tab texts.
inline HWND Tab(HWND sheet) { return GetDlgItem(sheet, 1001); }
inline std::vector<std::wstring> TabTexts(HWND sheet) {
    std::vector<std::wstring> texts;
    const LRESULT count = SendMessageW(Tab(sheet), TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(Tab(sheet), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

// Selects tab `index` as a click on it does.
inline void ChooseTab(HWND sheet, int index) {
    SendMessageA(Tab(sheet), TCM_SETCURSEL, index, 0);
    NMHDR header{Tab(sheet), 1001, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(sheet, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&header));
}

// The page (a dialog inside the sheet's tab control) that holds control `id`.
inline HWND PageWith(HWND sheet, int id) {
    for (HWND page = FindWindowExA(Tab(sheet), nullptr, "#32770", nullptr); page;
         page = FindWindowExA(Tab(sheet), page, "#32770", nullptr)) {
        if (GetDlgItem(page, id)) return page;
    }
    return nullptr;
}

// The system language picks the templates: LC_ALL=ja_JP.UTF-8 gives Japanese.
inline bool Japanese() { return GetSystemDefaultLangID() == 1041; }

// A picture of `sheet` named for it and the language (see Screenshot.h).
inline void ShowDialog(HWND sheet, const std::string& name) {
    Screenshot(sheet, (name + (Japanese() ? "_ja" : "_en")).c_str());
}

// A session on a simulated camera (drive 0, listed in the disk list) with
// fresh settings, for the dialogs to work on.
class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        sdktest::DeleteSettings();
        ASSERT_TRUE(vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry()}));
        camera = &rig.Add(0);
        session = std::make_unique<sdktest::Session>();
        ASSERT_NE(session->handle(), 0);
        ASSERT_NE(session->object()->m_device, nullptr);
        sdktest::DrainHistory(*session);
    }
    void TearDown() override {
        session.reset();
        sdktest::Drain(nullptr);
        vidlyn::test::DeleteDiskEnum();
        sdktest::DeleteSettings();
    }
    CVidlyn& object() { return *session->object(); }

    vidlyn::test::CameraRig rig;
    vidlyn::vcam::CameraModel* camera = nullptr;
    std::unique_ptr<sdktest::Session> session;
};

// The client size of `wnd` is that of a template of `width` x `height` dialog units.
inline bool HasTemplateSize(HWND wnd, int width, int height) {
    RECT expected{0, 0, width, height};
    MapDialogRect(wnd, &expected);
    RECT client{};
    GetClientRect(wnd, &client);
    return client.right == expected.right && client.bottom == expected.bottom;
}

}  // namespace dialogtest
