// The preview window: a window of the library's own that shows the live
// picture, either as a child of the application's window or as a top-level
// window centred on the screen. The window draws nothing by itself; the
// acquisition loop paints each frame into it through the drawing context taken
// when the window was made.
//
// The window belongs to the application's thread, the painting happens on the
// acquisition thread. A PreviewSurface ties the two together: the window dies
// (closed by the user, or torn down by the library) only under its lock, and
// painting happens only under it, so a window that has begun to die is never
// painted again and its drawing context is never used after its release.
#pragma once
#include <windows.h>

#include <cstdint>

class DibBuffer;

// The session's window and drawing context fields, and the lock around them.
struct PreviewSurface {
    HWND* window;
    HDC* dc;
    SRWLOCK lock = SRWLOCK_INIT;
};

// Registers a fresh window class ("VideoRenderer_%08x_%08x" from ownerTag and
// the time) into className and creates the window: a child of `parent` at
// rect {x, y, width, height} with control id 6540, or, without a parent, a
// top-level window whose client area is clientWidth x clientHeight, centred on
// the screen. The window is shown and tied to `surface`. Null on failure, with
// nothing left behind (className empty).
HWND CreatePreviewWindow(PreviewSurface& surface, char (&className)[256], uint32_t ownerTag, HWND parent,
                         const int32_t rect[4], int clientWidth, int clientHeight);

// Releases the drawing context and destroys the window, both cleared in the
// session. Safe when there is none, or when the user has closed it already.
// A window of another thread is destroyed by that thread, class and all,
// before this returns; should that thread serve no messages for a while, it
// does so at its next message instead.
void DestroyPreviewWindow(PreviewSurface& surface);

// Unregisters the class named in className (when any) and empties the name.
void UnregisterPreviewClass(char (&className)[256]);

// Held by the painting thread while it draws.
class PreviewPainting {
public:
    explicit PreviewPainting(PreviewSurface& surface) : m_surface(surface) { AcquireSRWLockExclusive(&m_surface.lock); }
    ~PreviewPainting() { ReleaseSRWLockExclusive(&m_surface.lock); }
    PreviewPainting(const PreviewPainting&) = delete;
    PreviewPainting& operator=(const PreviewPainting&) = delete;
    HWND window() const { return *m_surface.window; }
    HDC dc() const { return *m_surface.dc; }

private:
    PreviewSurface& m_surface;
};

// Draws `source` (8 or 24 bits, memory row 0 at the top of the picture) into
// a client area of clientWidth x clientHeight through `dc`. Unscaled when the
// sizes agree and `direct` allows it (one StretchBlt that turns the bottom-up
// picture upright); otherwise through `display`, kept at the client size and
// the source's depth, and a BitBlt. The result of the final GDI copy.
int DrawPicture(HDC dc, int clientWidth, int clientHeight, const DibBuffer& source, DibBuffer& display, bool direct);
