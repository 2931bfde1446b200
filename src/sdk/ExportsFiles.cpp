// Exports that write files: still images of the current frame and AVI
// recordings of the stream.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

namespace {

// A wide file name in the thread's ANSI code page, as the narrow exports take
// it; false when it does not convert or does not fit the 1024-byte buffer.
bool NarrowFileName(const wchar_t* name, char (&buffer)[1024]) {
    if (name == nullptr) return false;
    return WideCharToMultiByte(CP_THREAD_ACP, 0, name, -1, buffer, sizeof(buffer), nullptr, nullptr) > 0;
}

}  // namespace

int Vidlyn_SaveImage(int handle, const char* fileName, int format) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SaveImage(fileName, format); });
}

int Vidlyn_SaveImageW(int handle, const wchar_t* fileName, int format) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        char narrow[1024];
        if (!NarrowFileName(fileName, narrow)) {
            s.pushError(VIDLYN_ERR_NO_CAMERA);
            return 0;
        }
        return s.SaveImage(narrow, format);
    });
}

int Vidlyn_Record(int handle, const char* fileName, int duration, int withWindow) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.Record(fileName, duration, withWindow); });
}

int Vidlyn_RecordW(int handle, const wchar_t* fileName, int duration, int withWindow) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        char narrow[1024];
        if (!NarrowFileName(fileName, narrow)) {
            s.pushError(VIDLYN_ERR_SETTINGS);
            return 0;
        }
        return s.Record(narrow, duration, withWindow);
    });
}
