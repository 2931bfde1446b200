// Recording the live stream into an AVI file: Vidlyn_Record starts streaming
// (or joins the running stream) and the record thread, which appends every
// frame the acquisition loop hands over until the duration has passed, the
// file is full or the stream is stopped. Every way a recording ends leaves a
// finalized file: index written, header patched with the frames and the rate
// measured so far.
#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include "VidlynSdk.h"
#include "output/DibBuffer.h"
#include "pixel/layout/AviLayout.h"
#include "pixel/output/OutputKernels.h"
#include "pixel/output/RecordKernels.h"
#include "session/CVidlyn.h"
#include "session/WorkerJoin.h"

namespace {

// The record thread polls for a handed-over frame this often.
constexpr DWORD kRecordPollMs = 10;
// The provisional rate of a file that ends before two frames arrived, in
// hundredths of a frame per second.
constexpr uint32_t kProvisionalRate = 3000;

DWORD WINAPI RecordThread(LPVOID param) {
    CVidlyn* session = static_cast<CVidlyn*>(param);
    const HANDLE done = session->m_recDoneEvent;
    try {
        session->RunRecordLoop();
    } catch (...) {
        session->m_recording.store(0);
    }
    SetEvent(done);
    return 0;
}

// The kernel that makes a 24-bit bottom-up AVI frame of a session picture.
ConvertKernel FrameKernel(uint16_t bitCount) {
    switch (bitCount) {
        case 8:
        case 16:
            return KernelGrayTo24Flip;
        case 24:
            return KernelCopyRowsFlip;  // same rows as a pixel-wise copy, one block copy each
        case 32:
            return KernelBgr24CopyFlip;
        case 48:
        case 64:
            return KernelColor48To24Flip;
        default:
            return nullptr;
    }
}

}  // namespace

int CVidlyn::Record(const char* fileName, int duration, int withWindow) {
    ModeLock::Held mode(m_modeLock);
    if (fileName == nullptr || *fileName == '\0' || duration < 0) {
        pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    // One recording per session: a second one would share the file writer
    // with the first. A recording that has ended leaves only its thread
    // handle behind, which is collected here.
    if (m_recThread != nullptr) {
        if (m_recording.load() != 0) {
            pushError(VIDLYN_ERR_NO_CAMERA);
            return 0;
        }
        JoinRecordThread();
    }
    // A recording started from idle delivers no frames to the application; a
    // running stream keeps its settings, which its loop reads on every frame.
    if (m_state.load() == 0) ForgetCallback();
    // A stream that runs keeps its window; otherwise the window is made first.
    if (withWindow && m_previewWnd == nullptr && !OpenPreviewWindow()) {
        return 0;
    }
    if (!StartPreview()) {
        CloseAcquisition();
        return 0;
    }

    const DibBuffer* output = OutputBuffer();
    m_avi.width = output ? output->width : 0;
    m_avi.height = output ? output->height : 0;
    m_avi.bitCount = output ? output->bitCount : 0;
    m_avi.rate = 30;
    m_avi.frameCount = 0;
    if (!m_avi.Open(fileName)) {
        CloseAcquisition();
        pushError(VIDLYN_ERR_SETTINGS);
        return 0;
    }

    m_recStartTime = 0;
    m_recDuration = static_cast<uint32_t>(duration);
    m_recFrameReady.store(0);
    m_recording.store(1);
    m_recDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_recDoneEvent) {
        m_recThread = CreateThread(nullptr, 0, RecordThread, this, 0, &m_recThreadId);
    }
    if (!m_recDoneEvent || !m_recThread || !m_recThreadId) {
        m_recording.store(0);
        m_avi.Finalize();  // an empty but well-formed file rather than a torn one
        CloseAcquisition();
        pushError(VIDLYN_ERR_THREAD);
        return 0;
    }
    return 1;
}

void CVidlyn::JoinRecordThread() { JoinWorker(m_recThread, m_recThreadId, m_recDoneEvent); }

int CVidlyn::TakeRecordFrame(DibBuffer& frame, uint32_t* taken) {
    // The picture is read whole, never while the acquisition loop writes the
    // next frame into it. Its depth is taken with it, so a change of colour
    // mode can never pair a buffer with the wrong conversion.
    FrameGuard::Reading reading(m_frameGuard);
    // The hand-over flag may announce a frame that was taken already (the
    // next one arrived between the flag and the read): never record it twice.
    if (reading.Frame() == *taken) return 0;
    const DibBuffer* output = OutputBuffer();
    if (output == nullptr || output->bits == nullptr || output->width != frame.width ||
        output->height != frame.height) {
        return 0;
    }
    *taken = reading.Frame();
    return frame.Convert(FrameKernel(output->bitCount), output, nullptr, 0, 0, 0, 0);
}

void CVidlyn::FinishRecording(uint32_t lastArrival) {
    const uint32_t frames = m_avi.frameCount;
    // The rate over the frames that arrived: first to last arrival.
    m_avi.rate = frames >= 2 ? avi::MeasuredRate(frames, lastArrival - m_recStartTime) : kProvisionalRate;
    // A file left without its index or header (a full disk) is reported as a
    // failed frame write is.
    if (!m_avi.Finalize()) pushError(VIDLYN_ERR_SETTINGS);
    m_avi.rate = 0;
    m_avi.frameCount = 0;
    m_recStartTime = 0;
    m_recDuration = 0;
    m_recording.store(0);
}

void CVidlyn::RunRecordLoop() {
    DibBuffer frame;
    if (!frame.Create(m_avi.width, m_avi.height, 24)) {
        pushError(VIDLYN_ERR_MEMORY);
        FinishRecording(0);
        return;
    }
    uint32_t lastArrival = 0;
    uint32_t taken;  // the picture as it was when the recording began is not recorded
    {
        FrameGuard::Reading reading(m_frameGuard);
        taken = reading.Frame();
    }
    while (m_recording.load() != 0) {
        // The flag is looked at every 10 ms, and at once after a frame was
        // written: a write takes longer than the camera's frame time at full
        // size, so the next frame is usually waiting by then, and a sleep
        // before it would cost a tenth of the recorder's rate. (Slept, not
        // waited on the stop event: under wine a timed wait oversleeps on a
        // busy machine; a stop is seen after the 10 ms.)
        if (m_recFrameReady.load() == 0) Sleep(kRecordPollMs);
        if (m_recording.load() == 0) break;
        if (m_recFrameReady.exchange(0) == 0) continue;
        const uint32_t now = timeGetTime();
        if (!TakeRecordFrame(frame, &taken)) continue;
        if (m_recStartTime == 0) {
            m_recStartTime = now;
            m_recDuration += now;  // from here on the end time
        }
        const AviWriter::AddResult added = m_avi.AddFrame(frame.bits);
        if (added == AviWriter::kAdded) lastArrival = now;
        if (added == AviWriter::kWriteFailed) pushError(VIDLYN_ERR_SETTINGS);
        // Past the end time (counted from the first frame, so that the
        // timer's wrap-around does not matter), the file full or unwritable:
        // the recording ends here.
        if (added != AviWriter::kAdded || now - m_recStartTime > m_recDuration - m_recStartTime) {
            FinishRecording(lastArrival);
            return;
        }
    }
    // Stopped before the duration passed: the frames so far make the file.
    if (m_avi.IsOpen()) FinishRecording(lastArrival);
}
