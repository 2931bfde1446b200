// Helpers for the tests of the export boundary, the session core and the
// settings store: a clean settings key, registry values, and the 0x8003
// notifications that arrive at a window or at the thread's own queue.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VidlynSdk.h"
#include "sdk/CSdkChain.h"
#include "session/CVidlyn.h"
#include "settings/RegistryStore.h"

namespace sdktest {

// Deletes HKCU\Software\Norvex\VidlynQM77203Sdk with everything below it.
inline void DeleteSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }

inline std::string SubKey(const char* sub) {
    return sub && *sub ? std::string(kSettingsKey) + "\\" + sub : std::string(kSettingsKey);
}

inline bool WriteDword(const char* sub, const char* name, int32_t value) {
    const DWORD v = static_cast<DWORD>(value);
    return RegSetKeyValueA(HKEY_CURRENT_USER, SubKey(sub).c_str(), name, REG_DWORD, &v, sizeof(v)) == ERROR_SUCCESS;
}

inline bool WriteString(const char* sub, const char* name, const char* text) {
    return RegSetKeyValueA(HKEY_CURRENT_USER, SubKey(sub).c_str(), name, REG_SZ, text,
                           static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
}

// True and the value when `name` exists as a 4-byte REG_DWORD.
inline bool ReadDword(const char* sub, const char* name, int32_t* value) {
    DWORD v = 0;
    DWORD size = sizeof(v);
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, SubKey(sub).c_str(), name, RRF_RT_ANY, &type, &v, &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != 4) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

inline bool KeyExists(const char* sub) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SubKey(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline bool DeleteKey(const char* sub) {
    return RegDeleteTreeA(HKEY_CURRENT_USER, SubKey(sub).c_str()) == ERROR_SUCCESS;
}

struct Notice {
    WPARAM wParam;
    LPARAM lParam;
};

// Removes and returns the messages `message` waiting for `window`; a null
// window means the thread's own queue (messages posted to no window).
inline std::vector<Notice> Drain(HWND window, UINT message = VIDLYN_MSG_ERROR) {
    std::vector<Notice> out;
    MSG msg;
    HWND filter = window ? window : reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
    while (PeekMessageA(&msg, filter, message, message, PM_REMOVE)) out.push_back({msg.wParam, msg.lParam});
    return out;
}

// A message-only window that receives the notifications of a session.
class MessageWindow {
public:
    MessageWindow() {
        m_wnd = CreateWindowExA(0, "STATIC", "vidlyn test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    }
    ~MessageWindow() {
        if (m_wnd) DestroyWindow(m_wnd);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND get() const { return m_wnd; }

private:
    HWND m_wnd = nullptr;
};

// Every code in the session's history, newest first, draining it.
inline std::vector<int> DrainHistory(int handle) {
    std::vector<int> codes;
    for (int i = 0; i < 20; ++i) {
        const int code = Vidlyn_GetLastError(handle);
        if (code == 0) continue;
        codes.push_back(code);
    }
    return codes;
}

// Opens a session and releases it at the end of the scope.
class Session {
public:
    explicit Session(HWND notify = nullptr) : m_handle(Vidlyn_Initialize(notify)) {}
    ~Session() { Release(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    int Release() {
        const int r = m_handle ? Vidlyn_Release(m_handle) : 0;
        m_handle = 0;
        return r;
    }
    int handle() const { return m_handle; }
    operator int() const { return m_handle; }
    CVidlyn* object() const { return SdkRegistry::Session(m_handle); }

private:
    int m_handle;
};

}  // namespace sdktest
