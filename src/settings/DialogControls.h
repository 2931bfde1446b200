// What the three property dialogs share: the template language, the module
// that holds the templates, the common controls they need, slider rows
// (trackbar + edit + up-down) and the numbers typed into edits.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

// True when the system's default language is Japanese (1041): the Japanese
// templates and list texts are used, otherwise the English ones.
bool UseJapaneseDialogs();
// `english` or `japanese` by the system language.
int DialogTemplate(int english, int japanese);
// The module that carries this code and its dialog templates: the SDK's DLL,
// or a program that links the library statically. Never the application's
// executable when the library is a DLL.
HINSTANCE DialogModule();
// Registers the tab, trackbar and up-down classes; a DLL cannot rely on its
// host having done it. True when they are available.
bool RegisterDialogControls();

// The number in edit `id`: optional leading blanks, an optional sign (signed
// only), decimal digits, optional trailing blanks. Anything else, or a value
// outside the 32-bit range, gives 0.
int ReadNumber(HWND dialog, int id, bool isSigned);
// Shows `value` in edit `id` as a signed or unsigned decimal number.
void ShowNumber(HWND dialog, int id, int value, bool isSigned);

// One slider row: the trackbar and the edit show the same value; the up-down
// control steps the edit.
struct SliderRow {
    int bar;
    int edit;
    int spin;
    int minimum;
    int maximum;
};
// Range, tick frequency, position, buddy and the enabled state of a row.
void SetUpSlider(HWND page, const SliderRow& row, int ticks, int value, bool enabled);
// Moves the trackbar and the up-down control to `value` and shows it in the edit.
void ShowSlider(HWND page, const SliderRow& row, int value);
// Moves only the trackbar (the edit already shows the value).
void MoveSliderBar(HWND page, const SliderRow& row, int value);
int SliderBarPosition(HWND page, const SliderRow& row);

// Inserts tab `index` with a narrow text (ANSI code page).
void InsertTab(HWND tab, int index, const char* text);
// A page template as a child of the sheet's tab control, at (30, 25) pixels
// inside it, not yet visible.
HWND CreatePage(HWND tab, int templateId, DLGPROC procedure, void* page);

// Whether a page's controls are filled: edit changes made by the code itself
// while it fills the page are not taken as input.
class FillGuard {
public:
    explicit FillGuard(bool& ready) : m_ready(ready), m_was(ready) { ready = false; }
    ~FillGuard() { m_ready = m_was; }
    FillGuard(const FillGuard&) = delete;
    FillGuard& operator=(const FillGuard&) = delete;

private:
    bool& m_ready;
    bool m_was;
};

// Dialog procedure of a dialog object: WM_INITDIALOG carries the object,
// which is kept with the window, so that dialogs of several sessions can be
// open at once. Messages that arrive before WM_INITDIALOG are left to the
// system.
template <class Dialog>
INT_PTR CALLBACK DialogProcedure(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(wnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(wnd, DWLP_USER));
    }
    return self ? self->OnMessage(wnd, message, wParam, lParam) : FALSE;
}

// Messages that other threads post to an open dialog instead of touching its
// controls: posting never waits for the dialog's thread.
inline constexpr UINT kMsgRefreshValues = WM_APP + 0x20;  // show the current values
inline constexpr UINT kMsgShowValue = WM_APP + 0x21;      // wParam: the edit to bring up to date

// A dialog's window as seen from other threads. They post to it only once
// until the dialog took the previous request, so that a stream of frames
// cannot flood the dialog's queue. The dialog acts on a request from a timer,
// which comes only when its queue is otherwise empty: user input and painting
// go first, and the values shown are the newest ones.
class DialogMailbox {
public:
    void Open(HWND wnd) { m_wnd.store(wnd); }
    void Close() { m_wnd.store(nullptr); }
    // Any thread; never waits. `slot` 0..7 keeps requests of different kinds apart.
    void Post(UINT message, int slot, WPARAM wParam = 0);
    // The dialog's thread, on the posted message: act on it soon.
    static void Defer(HWND wnd, int slot);
    // The dialog's thread, on WM_TIMER: true for a deferred request, which is
    // then taken (a newer value posts again) and its slot returned.
    bool Take(HWND wnd, WPARAM timer, int* slot);

private:
    std::atomic<HWND> m_wnd{nullptr};
    std::atomic<uint32_t> m_pending{0};
};
