// Exports that write files: still images of the current frame and AVI
// recordings of the stream. Names reach the session as UTF-8 and are opened
// with the wide file functions, so a wide name outside the system's code page
// works as well as any other.
#include <string>

#include "VidlynSdk.h"
#include "output/FileName.h"
#include "sdk/CallFrame.h"

namespace {

// A narrow export's name as the session takes it; null stays null.
const char* SessionName(const char* fileName, std::string& utf8) {
    if (fileName == nullptr) return nullptr;
    utf8 = FileNameFromAnsi(fileName);
    return utf8.c_str();
}

}  // namespace

int Vidlyn_SaveImage(int handle, const char* fileName, int format) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        std::string utf8;
        return s.SaveImage(SessionName(fileName, utf8), format);
    });
}

int Vidlyn_SaveImageW(int handle, const wchar_t* fileName, int format) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        std::string utf8;
        if (!FileNameFromWide(fileName, &utf8)) {
            s.pushError(VIDLYN_ERR_NO_CAMERA);
            return 0;
        }
        return s.SaveImage(utf8.c_str(), format);
    });
}

int Vidlyn_Record(int handle, const char* fileName, int duration, int withWindow) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        std::string utf8;
        return s.Record(SessionName(fileName, utf8), duration, withWindow);
    });
}

int Vidlyn_RecordW(int handle, const wchar_t* fileName, int duration, int withWindow) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        std::string utf8;
        if (!FileNameFromWide(fileName, &utf8)) {
            s.pushError(VIDLYN_ERR_SETTINGS);
            return 0;
        }
        return s.Record(utf8.c_str(), duration, withWindow);
    });
}
