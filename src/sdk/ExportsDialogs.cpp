// Exports of the property dialogs. Each returns once its modal dialog has
// closed, whichever button closed it.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_SetCameraDlg(int handle, HWND parent) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetCameraDlg(parent); });
}

int Vidlyn_SetAnalogDlg(int handle, HWND parent) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetAnalogDlg(parent); });
}

int Vidlyn_SetImageDlg(int handle, HWND parent) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetImageDlg(parent); });
}
