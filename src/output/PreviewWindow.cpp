#include "output/PreviewWindow.h"

#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>

#include "output/DibBuffer.h"
#include "pixel/output/OutputKernels.h"

namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;  // 0x52000000
constexpr DWORD kTopLevelStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr int kChildId = 6540;
static_assert(kChildStyle == 0x52000000 && kTopLevelStyle == 0x16CF0000);

// Asks the preview window to destroy itself, with its class, on the thread
// that owns it: only that thread can destroy it.
constexpr UINT kDestroyPreview = WM_USER + 1;
// How long a close waits for the owning thread to serve that request. A
// thread that serves no messages (blocked, perhaps waiting for the caller)
// gets the request posted instead and carries it out at its next message.
constexpr UINT kOwnerPatienceMs = 2000;

void DestroyWithClass(HWND wnd) {
    char name[256];
    const bool named = GetClassNameA(wnd, name, sizeof(name)) > 0;
    DestroyWindow(wnd);
    if (named) {
        UnregisterClassA(name, GetModuleHandleA(nullptr));
    }
}

// A window that dies, by the user's close box or by DestroyPreviewWindow,
// leaves the session first: its drawing context is released and both handles
// cleared while no paint is running.
void Detach(HWND wnd) {
    auto* surface = reinterpret_cast<PreviewSurface*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (surface == nullptr) {
        return;
    }
    SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    AcquireSRWLockExclusive(&surface->lock);
    if (*surface->window == wnd) {
        if (*surface->dc) {
            ReleaseDC(wnd, *surface->dc);
        }
        *surface->dc = nullptr;
        *surface->window = nullptr;
    }
    ReleaseSRWLockExclusive(&surface->lock);
}

// Everything goes to the default procedure; a dying window leaves the session
// on the way.
LRESULT CALLBACK PreviewWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        Detach(wnd);
    }
    if (message == kDestroyPreview) {
        DestroyWithClass(wnd);
        return 0;
    }
    return DefWindowProcA(wnd, message, wParam, lParam);
}

HWND CreateChild(const char* className, HINSTANCE instance, HWND parent, const int32_t rect[4]) {
    return CreateWindowExA(0, className, "ActiveMovie Window", kChildStyle, rect[0], rect[1], rect[2], rect[3], parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)), instance, nullptr);
}

// Sized so that the client area holds the picture, centred on the screen; a
// window larger than the screen starts at its top-left corner.
HWND CreateTopLevel(const char* className, HINSTANCE instance, int clientWidth, int clientHeight) {
    RECT frame{0, 0, clientWidth, clientHeight};
    if (!AdjustWindowRectEx(&frame, kTopLevelStyle, FALSE, 0)) {
        return nullptr;
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    return CreateWindowExA(0, className, "Active Window", kTopLevelStyle, x, y, width, height, nullptr, nullptr,
                           instance, nullptr);
}

}  // namespace

HWND CreatePreviewWindow(PreviewSurface& surface, char (&className)[256], uint32_t ownerTag, HWND parent,
                         const int32_t rect[4], int clientWidth, int clientHeight) {
    // The host executable's module: the class outlives nothing of this library
    // and a fresh name per window never collides with an earlier one.
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    wsprintfA(className, "VideoRenderer_%08x_%08x", ownerTag, static_cast<unsigned>(timeGetTime() + std::rand()));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PreviewWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc)) {
        className[0] = '\0';
        return nullptr;
    }

    const HWND wnd = parent ? CreateChild(className, instance, parent, rect)
                            : CreateTopLevel(className, instance, clientWidth, clientHeight);
    if (wnd == nullptr) {
        UnregisterPreviewClass(className);
        return nullptr;
    }
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&surface));
    SetFocus(wnd);
    ShowWindow(wnd, SW_SHOW);
    if (!UpdateWindow(wnd)) {
        // Nobody would ever hold this window: it goes again at once.
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        DestroyWindow(wnd);
        UnregisterPreviewClass(className);
        return nullptr;
    }
    return wnd;
}

void DestroyPreviewWindow(PreviewSurface& surface) {
    AcquireSRWLockExclusive(&surface.lock);
    const HWND wnd = *surface.window;
    if (*surface.dc) {
        ReleaseDC(wnd, *surface.dc);
    }
    *surface.dc = nullptr;
    *surface.window = nullptr;
    ReleaseSRWLockExclusive(&surface.lock);
    if (wnd) {
        // Untied first: should the window outlive this call (its owning
        // thread serves no messages), it can no longer reach the session.
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        if (GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId()) {
            DestroyWindow(wnd);
        } else {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(wnd, kDestroyPreview, 0, 0, SMTO_NORMAL, kOwnerPatienceMs, &result)) {
                PostMessageA(wnd, kDestroyPreview, 0, 0);
            }
        }
    }
}

void UnregisterPreviewClass(char (&className)[256]) {
    if (className[0] != '\0') {
        UnregisterClassA(className, GetModuleHandleA(nullptr));
    }
    className[0] = '\0';
}

int DrawPicture(HDC dc, int clientWidth, int clientHeight, const DibBuffer& source, DibBuffer& display, bool direct) {
    if (direct && clientWidth == source.width && clientHeight == source.height) {
        // Bottom-up picture, memory row 0 at the top: copied upside down.
        return StretchBlt(dc, 0, 0, clientWidth, clientHeight, source.memDC, 0, source.height, source.width,
                          -source.height, SRCCOPY);
    }
    // The display picture keeps the client size between frames: re-made only
    // when the window was resized or the depth changed.
    if (display.bits == nullptr || display.width != clientWidth || display.height != clientHeight ||
        display.bitCount != source.bitCount) {
        display.Release();
        if (!display.Create(clientWidth, clientHeight, source.bitCount)) {
            return 0;
        }
    }
    display.Stretch(source.bitCount == 8 ? KernelScale8 : KernelScale24, &source, nullptr, nullptr, 0, 0);
    return BitBlt(dc, 0, 0, clientWidth, clientHeight, display.memDC, 0, 0, SRCCOPY);
}
