// Exports of the library and session lifetime, and the session's plain
// geometry and status answers.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_GetDllVersion(void) { return VIDLYN_DLL_VERSION; }

int Vidlyn_Initialize(HWND notifyWnd) {
    try {
        const uint32_t handle = SdkRegistry::Create();
        if (handle == 0) return 0;
        // A failed initialization is reported through the session's error
        // history (code 5); the handle stays valid until it is released.
        try {
            if (const SdkRegistry::SessionRef session = SdkRegistry::Hold(static_cast<int>(handle)))
                session->initialize(notifyWnd);
        } catch (...) {
            // The session is registered: its handle is the caller's to release.
        }
        return static_cast<int>(handle);
    } catch (...) {
        return 0;
    }
}

int Vidlyn_Release(int handle) {
    try {
        // The session goes now, or when the last call still inside it returns.
        return SdkRegistry::Release(handle) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int Vidlyn_GetLastError(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.popError(); });
}

int Vidlyn_GetStatus(int handle) {
    return WithSession(handle, 0, [](CVidlyn&) { return 0; });
}

int Vidlyn_Width(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return static_cast<int>(s.m_width); });
}

int Vidlyn_Height(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return static_cast<int>(s.m_height); });
}
