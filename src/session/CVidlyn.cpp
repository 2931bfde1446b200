#include "session/CVidlyn.h"

#include <mmsystem.h>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "session/FrameNoticePool.h"

namespace {

constexpr int kHistoryLength = 20;
constexpr int kBitsOfColorType[6] = {8, 16, 24, 32, 48, 64};

}  // namespace

CVidlyn::CVidlyn() : m_frameNotice(TakeFrameNotice()) { m_fpsTime = timeGetTime(); }

// --- error history and notification ----------------------------------------

int CVidlyn::pushError(int code) {
    // Code 0 ("no failure", every converted frame while auto iris is off) is
    // notified but not recorded: in the history it would push the real codes
    // out within a second of streaming, and a 0 entry tells a reader nothing.
    if (code != VIDLYN_ERR_NONE) {
        AcquireSRWLockExclusive(&m_historyLock);
        for (int i = kHistoryLength - 1; i > 0; --i) m_errorHistory[i].store(m_errorHistory[i - 1].load());
        m_errorHistory[0].store(code);
        ReleaseSRWLockExclusive(&m_historyLock);
    }
    if (m_notifyWnd) postError(code);
    return 1;
}

void CVidlyn::postError(int code) {
    // Posted, never sent. A null window makes it a message of the calling
    // thread's own queue. A failed post is of no consequence to the caller.
    PostMessageA(m_notifyWnd, VIDLYN_MSG_ERROR, 0, static_cast<LPARAM>(code));
}

int CVidlyn::popError() {
    AcquireSRWLockExclusive(&m_historyLock);
    const int newest = m_errorHistory[0].load();
    for (int i = 0; i < kHistoryLength - 1; ++i) m_errorHistory[i].store(m_errorHistory[i + 1].load());
    m_errorHistory[kHistoryLength - 1].store(0);
    ReleaseSRWLockExclusive(&m_historyLock);
    return newest;
}

// --- colour mode -----------------------------------------------------------

int CVidlyn::SetColorMode(int bits) {
    int type = -1;
    for (int i = 0; i < 6; ++i) {
        if (kBitsOfColorType[i] == bits) type = i;
    }
    if (type < 0) {
        pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    // The frame buffers are sized for the colour mode when acquisition starts;
    // switching while a stream runs or a capture is armed would hand the
    // conversion a buffer of the wrong format, so it waits until idle.
    ModeLock::Held mode(m_modeLock);
    if (m_state.load() != 0) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    // The announced frame goes with the buffers it lay in: none has been
    // converted into the new mode's picture yet.
    if (m_colorType.exchange(type) != type) m_frameReady.store(0);
    return 1;
}

int CVidlyn::GetColorMode() const {
    const int type = m_colorType.load();
    return (type >= 0 && type < 6) ? kBitsOfColorType[type] : -1;
}

// --- mirroring -------------------------------------------------------------
// A mirrored frame starts on another site of the 2x2 colour filter pattern:
// the vertical mirror swaps phases 0<->1 and 2<->3, the horizontal one 0<->2
// and 1<->3. The phase moves on every call.
//
// The two pairs report a missing device differently, and that is kept on
// purpose: the vertical pair only notifies the window (error 1 never enters
// the history), the horizontal pair records it as well. Applications written
// against the library read the history after these calls as they always
// could; making the pairs alike would change what they find there.

namespace {

enum class NoDevice { Notify, Record };

bool HasDevice(CVidlyn& s, NoDevice report) {
    if (s.m_device) return true;
    if (report == NoDevice::Record)
        s.pushError(VIDLYN_ERR_NO_CAMERA);
    else
        s.postError(VIDLYN_ERR_NO_CAMERA);
    return false;
}

// Stores the mirror flag as 0 or 1 and moves the phase by `phaseBit`.
int SetMirror(CVidlyn& s, NoDevice report, int32_t& mirror, int phaseBit, int flag) {
    if (!HasDevice(s, report)) return 0;
    mirror = flag ? 1 : 0;
    int32_t& phase = s.m_adjust.m_bayerMode;
    if (phase >= 0 && phase <= 3) phase ^= phaseBit;
    return 1;
}

int GetMirror(CVidlyn& s, NoDevice report, int32_t mirror) { return HasDevice(s, report) ? mirror : 0; }

}  // namespace

int CVidlyn::SetMirrorV(int flag) { return SetMirror(*this, NoDevice::Notify, m_analog.m_mirrorV, 1, flag); }

int CVidlyn::GetMirrorV() { return GetMirror(*this, NoDevice::Notify, m_analog.m_mirrorV); }

int CVidlyn::SetMirrorH(int flag) { return SetMirror(*this, NoDevice::Record, m_analog.m_mirrorH, 2, flag); }

int CVidlyn::GetMirrorH() { return GetMirror(*this, NoDevice::Record, m_analog.m_mirrorH); }

// --- auto iris and wait time -----------------------------------------------

int CVidlyn::SetAutoIris(int mode) {
    // Needs no camera: the mode only tells the frame path what to regulate. A
    // mode outside 0..2 notifies the window only; the history stays as it was.
    if (mode < 0 || mode > 2) {
        postError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    m_analog.m_autoIris = mode;
    return 1;
}

// Always valid, with or without a camera: the mode is a session setting.
int CVidlyn::GetAutoIris(int* valid) const {
    if (valid) *valid = 1;
    return m_analog.m_autoIris;
}

int CVidlyn::SetWaitTime(int ms) {
    // A negative wait is refused without any report: the result is the only answer.
    if (ms < 0) return 0;
    m_waitTime.store(ms);
    return 1;
}

int CVidlyn::GetWaitTime() const { return m_waitTime.load(); }

// --- buffers and geometry --------------------------------------------------

DibBuffer* CVidlyn::OutputBuffer() const {
    switch (m_colorType.load()) {
        case 0:
            return m_dib8;
        case 1:
            return m_dib16;
        case 2:
            return m_dib24;
        case 3:
            return m_dib32;
        case 4:
            return m_dib48;
        case 5:
            return m_dib64;
        default:
            return nullptr;
    }
}

bool CVidlyn::BuffersReady() const {
    return m_dib8 && m_dib16 && m_dib24 && m_dib32 && m_dib48 && m_dib64 && m_dibCopy && m_dibDisplay;
}

bool CVidlyn::GeometryValid() const {
    // The bounds are the sensor's fixed size, whatever "TH" and "TV" say.
    constexpr int64_t kSensorWidth = vidlyn::camera::kSensorWidth;
    constexpr int64_t kSensorHeight = vidlyn::camera::kSensorHeight;
    const int64_t w = m_width, h = m_height, x = m_startX, y = m_startY;
    if (w < 0 || h < 0 || x < 0 || y < 0) return false;
    if (w > kSensorWidth || h > kSensorHeight || x > kSensorWidth || y > kSensorHeight) return false;
    if (w + x > kSensorWidth || h + y > kSensorHeight) return false;
    return m_subSample >= 0 && m_subSample <= 2;
}
