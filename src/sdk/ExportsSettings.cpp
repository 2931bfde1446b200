// Exports of the session's small settings: colour mode, mirrors, auto iris
// and the acquisition loop's wait time.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_SetColorMode(int handle, int bits) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetColorMode(bits); });
}

int Vidlyn_GetColorMode(int handle) {
    return WithSession(handle, -1, [](CVidlyn& s) { return s.GetColorMode(); });
}

int Vidlyn_SetMirrorV(int handle, int flag) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetMirrorV(flag); });
}

int Vidlyn_GetMirrorV(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.GetMirrorV(); });
}

int Vidlyn_SetMirrorH(int handle, int flag) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetMirrorH(flag); });
}

int Vidlyn_GetMirrorH(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) { return s.GetMirrorH(); });
}

int Vidlyn_SetAutoIris(int handle, int mode) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetAutoIris(mode); });
}

int Vidlyn_GetAutoIris(int handle, int* valid) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetAutoIris(valid); });
}

int Vidlyn_SetWaitTime(int handle, int ms) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetWaitTime(ms); });
}

int Vidlyn_GetWaitTime(int handle) {
    return WithSession(handle, -1, [](CVidlyn& s) { return s.GetWaitTime(); });
}
