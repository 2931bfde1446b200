// Exports of camera selection and information.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_EnumDevice(int handle, char* names) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.EnumDevice(names); });
}

int Vidlyn_EnumDeviceW(int handle, wchar_t* names) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.EnumDeviceW(names); });
}

int Vidlyn_GetDeviceName(int handle, int index, char* name, int nameLength) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetDeviceName(index, name, nameLength); });
}

int Vidlyn_GetDeviceNameW(int handle, int index, wchar_t* name, int nameLength) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetDeviceNameW(index, name, nameLength); });
}

int Vidlyn_SetDeviceNumber(int handle, int index) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetDeviceNumber(index); });
}

int Vidlyn_GetCameraInfo(int handle, VIDLYN_CAMERA_INFO* info) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetCameraInfo(info); });
}
