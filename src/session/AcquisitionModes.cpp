// The acquisition modes: streaming on the acquisition thread (with or without
// the preview window), armed single-frame capture, and the stop and close
// steps that end them. m_state: 0 idle, 1 streaming, 2 capture armed.
#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "session/CVidlyn.h"
#include "session/WorkerJoin.h"

namespace {

// The acquisition thread: the preview loop, then the done event as its very
// last act, whatever way the loop ended, so that a stop never waits in vain.
DWORD WINAPI AcquisitionThread(LPVOID param) {
    CVidlyn* session = static_cast<CVidlyn*>(param);
    const HANDLE done = session->m_acqDoneEvent;
    try {
        session->RunPreviewLoop();
    } catch (...) {
        session->m_runFlag.store(0);
    }
    SetEvent(done);
    return 0;
}

}  // namespace

int CVidlyn::StartPreview() {
    ModeLock::Held mode(m_modeLock);
    if (m_device == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    int state = m_state.load();
    if (state == 1 && !AcquisitionEnded()) {
        return 1;
    }
    if (state == 1) {
        // The stream ended itself (the camera was given up, code 13): a start
        // begins a new one instead of claiming the dead one still runs.
        StopAcquisition();
        state = m_state.load();
    }
    if (state == 2) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (!PrepareAcquisition()) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }

    // A new stream measures its own frame rate.
    m_fps = 0;
    m_fpsFrames = 0;
    m_fpsTime = timeGetTime();

    m_runFlag.store(1);
    m_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_acqDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_stopEvent && m_acqDoneEvent) {
        m_acqThread = CreateThread(nullptr, 0, AcquisitionThread, this, 0, &m_acqThreadId);
    }
    if (!m_stopEvent || !m_acqDoneEvent || !m_acqThread || !m_acqThreadId) {
        StopAcquisition();
        pushError(VIDLYN_ERR_THREAD);
        return 0;
    }

    m_device->NotifyStreamChange(0);
    m_device->NotifyStreamChange(0);
    if (const int started = m_device->StartStream(); started != 0) {
        StopAcquisition();
        m_device->StopStream();  // whatever the failed start set up
        // A camera that does not answer (unplugged, its disk not opened) is not
        // found; one that answers and refuses the start refused a stream command.
        pushError(started == CVidlynUSB3Lib::kStartNoCamera ? VIDLYN_ERR_CAMERA_NOT_FOUND : VIDLYN_ERR_STREAM_COMMAND);
        return 0;
    }
    m_state.store(1);
    return 1;
}

bool CVidlyn::AcquisitionEnded() const {
    return m_acqDoneEvent != nullptr && WaitForSingleObject(m_acqDoneEvent, 0) == WAIT_OBJECT_0;
}

int CVidlyn::StopAcquisition() {
    ModeLock::Held mode(m_modeLock);
    if (m_device == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    // The acquisition thread first: it hands frames to the record thread.
    m_runFlag.store(0);
    if (m_stopEvent) {
        SetEvent(m_stopEvent);
    }
    JoinWorker(m_acqThread, m_acqThreadId, m_acqDoneEvent);
    m_recording.store(0);
    JoinRecordThread();
    if (m_stopEvent) {
        CloseHandle(m_stopEvent);
        m_stopEvent = nullptr;
    }

    if (m_state.load() == 0) {
        return 1;
    }
    m_state.store(0);
    m_device->NotifyStreamChange(0);
    m_device->NotifyStreamChange(0);
    if (m_device->StopStream() != 0) {
        pushError(VIDLYN_ERR_STREAM_COMMAND);
        return 0;
    }
    return 1;
}

int CVidlyn::PreviewInWindow(HWND callbackWnd, void* buffer, int bufferSize, int rowOrder) {
    ModeLock::Held mode(m_modeLock);
    const int state = m_state.load();
    if (state == 1 || state == 2) {
        return 0;
    }
    m_callbackWnd = callbackWnd;
    m_callbackBuffer = buffer;
    m_callbackBufferSize = bufferSize;
    m_callbackFlag = rowOrder;

    if (!OpenPreviewWindow()) {
        // The application may free a refused buffer at once.
        ForgetCallback();
        return 0;
    }
    if (!StartPreview()) {
        CloseAcquisition();
        pushError(VIDLYN_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CVidlyn::OpenPreviewWindow() {
    // A window left by an earlier stream goes first, with its drawing context
    // and class: the session holds one preview window at a time.
    DestroyPreviewWindow(m_previewSurface);
    UnregisterPreviewClass(m_wndClassName);

    const int d = vidlyn::camera::SubsampleDivisor(m_subSample);
    const HWND wnd =
        CreatePreviewWindow(m_previewSurface, m_wndClassName, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)),
                            m_parentWnd, m_previewRect, m_width / d, m_height / d);
    if (wnd == nullptr) {
        pushError(VIDLYN_ERR_PREVIEW_WINDOW);
        return 0;
    }
    m_previewWnd = wnd;
    m_previewDC = GetDC(wnd);
    if (m_previewDC == nullptr) {
        pushError(VIDLYN_ERR_PREVIEW_WINDOW);
        return 0;
    }
    return 1;
}

int CVidlyn::Capture() {
    ModeLock::Held mode(m_modeLock);
    if (m_device == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    const int state = m_state.load();
    if (state == 1) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (state == 2) {
        return 1;
    }
    // A single frame may take longer than a streamed one; the longer time-out
    // stays for the rest of the session.
    m_readTimeout = 5000;
    m_device->SetReadTimeout(5000);
    if (!PrepareAcquisition()) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    m_state.store(2);
    return 1;
}

int CVidlyn::StopPreview() {
    const int stopped = StopAcquisition();
    ForgetCallback();
    return stopped;
}

void CVidlyn::ForgetCallback() {
    // Once the application has stopped the stream it may free its buffer and
    // window: a later stream must not write or post to them.
    m_callbackWnd = nullptr;
    m_callbackBuffer = nullptr;
    m_callbackBufferSize = 0;
    m_callbackFlag = 0;
}

void CVidlyn::CloseAcquisition() {
    ModeLock::Held mode(m_modeLock);
    DestroyPreviewWindow(m_previewSurface);
    m_runFlag.store(0);
    if (m_device) {
        m_device->NotifyStreamChange(0);
        m_device->NotifyStreamChange(0);
    }
    UnregisterPreviewClass(m_wndClassName);
    StopAcquisition();
    ForgetCallback();
}

int CVidlyn::SetPreviewWindow(HWND parent, int x, int y, int width, int height) {
    if (m_device == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    m_parentWnd = parent;
    m_previewRect[0] = x;
    m_previewRect[1] = y;
    m_previewRect[2] = width;
    m_previewRect[3] = height;
    return 1;
}
