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
            if (CVidlyn* session = SdkRegistry::Session(static_cast<int>(handle))) session->initialize(notifyWnd);
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
        CVidlyn* session = nullptr;
        if (!SdkRegistry::Detach(handle, &session)) return 0;
        // Destroyed outside the registry lock: stopping the session waits for its
        // worker threads, and other sessions stay reachable meanwhile.
        delete session;
        return 1;
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
