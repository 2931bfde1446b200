// Exports of the acquisition modes, the preview window's placement and the
// frames handed to the application.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_StartPreview(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.StartPreview(); });
}

int Vidlyn_StopPreview(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.StopPreview(); });
}

int Vidlyn_Preview(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.PreviewInWindow(nullptr, nullptr, 0, 0); });
}

int Vidlyn_CallBackPreview(int handle, HWND callbackWnd, void* buffer, int bufferSize, int rowOrder) {
    return WithSession(handle, 0,
                       [=](CVidlyn& s) { return s.PreviewInWindow(callbackWnd, buffer, bufferSize, rowOrder); });
}

int Vidlyn_Capture(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.Capture(); });
}

int Vidlyn_Close(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) {
        s.CloseAcquisition();
        return 1;
    });
}

int Vidlyn_SnapShot(int handle, void* buffer, int bufferSize, int rowOrder) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SnapShot(buffer, bufferSize, rowOrder); });
}

int Vidlyn_GetImage(int handle, void* buffer, int bufferSize, int rowOrder) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetImage(buffer, bufferSize, rowOrder); });
}

int Vidlyn_SetPreviewWindow(int handle, HWND parent, int x, int y, int width, int height) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetPreviewWindow(parent, x, y, width, height); });
}
