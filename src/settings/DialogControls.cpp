#include "settings/DialogControls.h"

#include <commctrl.h>

#include <climits>
#include <cstdio>

namespace {

constexpr LANGID kJapanese = 1041;
// Where a page sits inside its tab control, in pixels.
constexpr int kPageX = 30;
constexpr int kPageY = 25;
// Timers of the mailbox's requests, and how long a request waits at least.
constexpr UINT_PTR kMailboxTimer = 0x7F00;
constexpr UINT kMailboxDelayMs = 40;

}  // namespace

bool UseJapaneseDialogs() { return GetSystemDefaultLangID() == kJapanese; }

int DialogTemplate(int english, int japanese) { return UseJapaneseDialogs() ? japanese : english; }

HINSTANCE DialogModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&DialogModule), &module);
    return module;
}

bool RegisterDialogControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    return InitCommonControlsEx(&controls) != FALSE;
}

int ReadNumber(HWND dialog, int id, bool isSigned) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (isSigned && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (*p < '0' || *p > '9') return 0;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 0xFFFFFFFFLL) return 0;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') return 0;
    if (negative) value = -value;
    if (isSigned ? (value < INT_MIN || value > INT_MAX) : value > 0xFFFFFFFFLL) return 0;
    // Unsigned numbers above 2^31 keep their bits, as a 32-bit register value does.
    return static_cast<int>(static_cast<uint32_t>(value));
}

void ShowNumber(HWND dialog, int id, int value, bool isSigned) {
    char text[16];
    if (isSigned) {
        std::snprintf(text, sizeof(text), "%d", value);
    } else {
        std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(value));
    }
    SetDlgItemTextA(dialog, id, text);
}

void SetUpSlider(HWND page, const SliderRow& row, int ticks, int value, bool enabled) {
    HWND bar = GetDlgItem(page, row.bar);
    HWND edit = GetDlgItem(page, row.edit);
    HWND spin = GetDlgItem(page, row.spin);
    SendMessageA(bar, TBM_SETRANGEMIN, FALSE, row.minimum);
    SendMessageA(bar, TBM_SETRANGEMAX, FALSE, row.maximum);
    SendMessageA(bar, TBM_SETTICFREQ, ticks, 0);
    SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageA(spin, UDM_SETRANGE32, row.minimum, row.maximum);
    ShowSlider(page, row, value);
    EnableWindow(bar, enabled);
    EnableWindow(edit, enabled);
    EnableWindow(spin, enabled);
}

void ShowSlider(HWND page, const SliderRow& row, int value) {
    MoveSliderBar(page, row, value);
    SendDlgItemMessageA(page, row.spin, UDM_SETPOS32, 0, value);
    ShowNumber(page, row.edit, value, true);
}

void MoveSliderBar(HWND page, const SliderRow& row, int value) {
    SendDlgItemMessageA(page, row.bar, TBM_SETPOS, TRUE, value);
}

int SliderBarPosition(HWND page, const SliderRow& row) {
    return static_cast<int>(SendDlgItemMessageA(page, row.bar, TBM_GETPOS, 0, 0));
}

void InsertTab(HWND tab, int index, const char* text) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text);
    SendMessageA(tab, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

HWND CreatePage(HWND tab, int templateId, DLGPROC procedure, void* page) {
    HWND wnd = CreateDialogParamA(DialogModule(), MAKEINTRESOURCEA(templateId), tab, procedure,
                                  reinterpret_cast<LPARAM>(page));
    if (wnd) SetWindowPos(wnd, HWND_TOP, kPageX, kPageY, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return wnd;
}

void DialogMailbox::Post(UINT message, int slot, WPARAM wParam) {
    const uint32_t bit = 1u << slot;
    HWND wnd = m_wnd.load();
    if (wnd == nullptr || (m_pending.fetch_or(bit) & bit)) return;
    if (!PostMessageA(wnd, message, wParam, 0)) m_pending.fetch_and(~bit);
}

void DialogMailbox::Defer(HWND wnd, int slot) { SetTimer(wnd, kMailboxTimer + slot, kMailboxDelayMs, nullptr); }

bool DialogMailbox::Take(HWND wnd, WPARAM timer, int* slot) {
    if (timer < kMailboxTimer || timer >= kMailboxTimer + 8) return false;
    KillTimer(wnd, timer);
    *slot = static_cast<int>(timer - kMailboxTimer);
    m_pending.fetch_and(~(1u << *slot));
    return true;
}
