// Exports with a fixed answer on this camera: the functions it does not
// support, the getters that always answer 0, and direct register access.
#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "sdk/CallFrame.h"

namespace {

// One body for every function this camera does not support: whatever the
// arguments, the application's window hears error 11 (the history keeps
// nothing) and the result is 0.
int NotSupported(int handle) {
    return WithSession(handle, 0, [](CVidlyn& s) {
        s.postError(VIDLYN_ERR_NOT_SUPPORTED);
        return 0;
    });
}

// One body for the getters whose value is always 0 on this camera.
int ZeroAnswer(int handle, int* value) {
    return WithSession(handle, 0, [=](CVidlyn&) {
        if (value) *value = 0;
        return 0;
    });
}

}  // namespace

// --- not supported -------------------------------------------------------------

int Vidlyn_Fps(int handle, int*) { return NotSupported(handle); }
int Vidlyn_GetCameraType(int handle, int*) { return NotSupported(handle); }
int Vidlyn_GetCaptureWindowEx(int handle, int*, int*, int*, int*) { return NotSupported(handle); }
int Vidlyn_GetIOPort(int handle, int*) { return NotSupported(handle); }
int Vidlyn_SetCameraType(int handle, int) { return NotSupported(handle); }
int Vidlyn_SetCaptureWindow(int handle, int, int, int, int) { return NotSupported(handle); }
int Vidlyn_SetCaptureWindowEx(int handle, int, int, int, int) { return NotSupported(handle); }
int Vidlyn_SetCrossbar(int handle, int) { return NotSupported(handle); }
int Vidlyn_SetHalfClock(int handle, int) { return NotSupported(handle); }
int Vidlyn_SetIOPort(int handle, int) { return NotSupported(handle); }
int Vidlyn_SetSamplingRate(int handle, int) { return NotSupported(handle); }
int Vidlyn_SetSubSample(int handle, int) { return NotSupported(handle); }
int Vidlyn_Trigger(int handle) { return NotSupported(handle); }

// --- fixed answers ----------------------------------------------------------------

// Full size as far as the application can ask; the subsampling code set by the
// camera format dialog is not reported here.
int Vidlyn_GetSubSample(int handle) {
    return WithSession(handle, -1, [](CVidlyn&) { return 0; });
}

int Vidlyn_GetHalfClock(int handle, int* value) { return ZeroAnswer(handle, value); }
int Vidlyn_GetSamplingRate(int handle, int* value) { return ZeroAnswer(handle, value); }
int Vidlyn_GetVideoFormat(int handle, int* value) { return ZeroAnswer(handle, value); }

// --- register access ------------------------------------------------------------------
// These report by notification only; the error history keeps nothing.

int Vidlyn_WriteRegister(int handle, int address, int value) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        if (!s.m_device) {
            s.postError(VIDLYN_ERR_NO_CAMERA);
            return 0;
        }
        // A running stream seeks on the same disk handle: the write waits for a
        // frame boundary so that the two never interleave. A stream that does not
        // reach one in time counts as a refused write.
        int written = 0;
        s.m_device->WithStreamPaused([&] {
            written = s.m_device->WriteSensorRegister(static_cast<uint16_t>(address & 0xFF),
                                                      static_cast<uint16_t>(value & 0xFF));
        });
        if (!written) {
            s.postError(VIDLYN_ERR_STREAM_COMMAND);
            return 0;
        }
        return 1;
    });
}

int Vidlyn_ReadRegister(int handle, int, int* ok) {
    // The camera's registers cannot be read back: error 1, also with a camera connected.
    return WithSession(handle, 0, [=](CVidlyn& s) {
        if (ok) *ok = 0;
        s.postError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    });
}

int Vidlyn_WriteSromID(int handle, int address, int value) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        if (s.m_device && s.m_device->WriteSromId(address & 0xFF, value & 0xFF)) return 1;
        s.postError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    });
}

int Vidlyn_ReadSromID(int handle, int address, int* ok) {
    return WithSession(handle, 0, [=](CVidlyn& s) {
        int byte = 0;
        if (s.m_device && s.m_device->ReadSromId(address, &byte)) {
            if (ok) *ok = 1;
            return byte;
        }
        if (ok) *ok = 0;
        s.postError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    });
}
