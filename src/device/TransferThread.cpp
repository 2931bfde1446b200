// The transfer thread of CVidlynUSB3Lib: raw frames from the camera into a ring
// of three slots, the two ways of taking them (newest frame of a stream, one
// captured frame) and the frame boundary at which register writes may be sent.
#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include <cstring>
#include <new>

#include "device/CVidlynUSB3Lib.h"

using namespace vidlyn::camera;

uint32_t CVidlynUSB3Lib::GetFrameCopySize() const {
    if (m_slots[0].data) return ActiveCopySize();  // a transfer keeps the size it started with
    return FrameBytes(m_subSample, m_frameWidth, m_frameHeight);
}

uint32_t CVidlynUSB3Lib::ActiveRawFrameSize() const {
    return RawFrameBytes(m_activeSubSample, m_frameWidth, m_frameHeight);
}

uint32_t CVidlynUSB3Lib::ActiveCopySize() const { return FrameBytes(m_activeSubSample, m_frameWidth, m_frameHeight); }

float CVidlynUSB3Lib::ComputeFps(uint32_t frames, uint32_t elapsedMs) {
    if (elapsedMs == 0) return 0.0f;
    return static_cast<float>(frames * 1000.0 / elapsedMs);
}

void CVidlynUSB3Lib::FreeSlots() {
    for (FrameSlot& slot : m_slots) {
        delete[] slot.data;
        slot.data = nullptr;
        slot.number = 0;
    }
}

int CVidlynUSB3Lib::NewestSlot() const {
    int newest = 0;
    for (int i = 1; i < 3; ++i)
        if (m_slots[i].number.load() > m_slots[newest].number.load()) newest = i;
    return newest;
}

void CVidlynUSB3Lib::JoinTransferThread() {
    m_transferState = kTransferStopRequested;
    if (m_doneEvent) {
        WaitForSingleObject(m_doneEvent, INFINITE);
        CloseHandle(m_doneEvent);
    }
    if (m_thread && m_threadId) CloseHandle(m_thread);
    m_transferState = kTransferIdle;
    m_thread = nullptr;
    m_threadId = 0;
    m_doneEvent = nullptr;
    m_stallCount = 0;
}

int CVidlynUSB3Lib::StartTransfer(int32_t state) {
    // A transfer that still runs is ended first: its thread writes into the slots replaced below.
    if (m_doneEvent) JoinTransferThread();
    FreeSlots();
    m_activeSubSample = m_subSample;
    const uint32_t size = ActiveRawFrameSize();
    for (FrameSlot& slot : m_slots) {
        // Not cleared: clearing 3 x 16 MB cost a stream start about 60 ms. A slot is
        // handed out only after a whole frame was moved into it (its number set), and
        // the copies never reach past the bytes a frame fills.
        slot.data = new (std::nothrow) uint8_t[size];
        slot.number = 0;
        if (!slot.data) {
            FreeSlots();
            return kStartNoResources;
        }
    }
    m_frameCounter = 0;
    m_lastDelivered = 0;
    m_stallCount = 0;
    // A camera that cannot be read is not started: the application hears it from
    // the start instead of from a transfer that could never deliver a frame.
    if (!CameraAnswers()) return kStartNoCamera;
    if (!SendStartCommand()) return kStartCommandFailed;
    m_transferState = state;
    m_doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_doneEvent) m_thread = CreateThread(nullptr, 0, ThreadEntry, this, 0, &m_threadId);
    if (!m_thread) {
        if (m_doneEvent) CloseHandle(m_doneEvent);
        m_doneEvent = nullptr;
        m_threadId = 0;
        m_transferState = kTransferIdle;
        return kStartNoResources;
    }
    return 0;
}

int CVidlynUSB3Lib::StartStream() { return StartTransfer(kTransferStreaming); }
int CVidlynUSB3Lib::StartCapture() { return StartTransfer(kTransferCapturing); }

int CVidlynUSB3Lib::StopStream() {
    JoinTransferThread();
    FreeSlots();
    return 0;
}

int CVidlynUSB3Lib::FinishCapture(void* dst) {
    // Wait for the one frame at most the read time-out. A thread still running
    // then is stopped and joined: it must not outlive the capture, since the
    // next start frees the slot it would write into.
    if (m_doneEvent) WaitForSingleObject(m_doneEvent, static_cast<DWORD>(m_timeout));
    JoinTransferThread();
    // Only a frame that really arrived is handed out; the caller reports the failure otherwise.
    const int32_t number = m_slots[0].number.load();
    if (!dst || !m_slots[0].data || number == 0) return kCopyFailed;
    std::memcpy(dst, m_slots[0].data, ActiveCopySize());
    m_lastDelivered = number;
    return 0;
}

int CVidlynUSB3Lib::GetFrameStatus() {
    if (m_transferState.load() == kTransferFailed) return kFrameFailed;
    const int32_t last = m_lastDelivered.load();
    for (const FrameSlot& slot : m_slots)
        if (slot.number.load() > last) return kFrameNew;
    return kFrameNone;
}

int CVidlynUSB3Lib::HoldNewestSlot(int32_t& number) {
    bool held[3];
    int chosen = -1;
    number = 0;
    for (int i = 0; i < 3; ++i) {
        held[i] = m_slots[i].data && TryAcquireSRWLockShared(&m_slots[i].lock);
        const int32_t n = held[i] ? m_slots[i].number.load(std::memory_order_acquire) : 0;
        if (n > number) {
            number = n;
            chosen = i;
        }
    }
    for (int i = 0; i < 3; ++i)
        if (held[i] && i != chosen) ReleaseSRWLockShared(&m_slots[i].lock);
    return chosen;
}

const uint8_t* CVidlynUSB3Lib::HoldLatestFrame() {
    ReleaseFrame();
    // Every slot the thread is not filling is held shared at once and the newest
    // of them kept: the thread cannot start writing into it however long it is
    // read, so what is read is always one whole frame. (The slot being filled
    // cannot be held; its number is 0.) When the thread finished a newer frame
    // while the slots were looked at, they are looked at again. A thread that
    // keeps finishing frames during every look is given up on after 16 looks,
    // with the newest frame held then, but never with one that was handed out
    // already: that would hand the same frame out twice.
    constexpr int kLooks = 16;
    constexpr int kMostLooks = 1000;
    for (int attempt = 0; attempt < kMostLooks; ++attempt) {
        int32_t number = 0;
        const int chosen = HoldNewestSlot(number);
        if (chosen < 0) return nullptr;  // no frame yet, or no transfer set up
        bool newer = false;
        for (const FrameSlot& slot : m_slots) newer = newer || slot.number.load() > number;
        if (!newer || (attempt >= kLooks - 1 && number > m_lastDelivered.load())) {
            m_heldSlot = chosen;
            m_lastDelivered = number;
            return m_slots[chosen].data;
        }
        ReleaseSRWLockShared(&m_slots[chosen].lock);
        // Let the thread finish the frame it is moving.
        if (attempt >= kLooks - 1) SwitchToThread();
    }
    return nullptr;
}

void CVidlynUSB3Lib::ReleaseFrame() {
    if (m_heldSlot < 0) return;
    ReleaseSRWLockShared(&m_slots[m_heldSlot].lock);
    m_heldSlot = -1;
}

int CVidlynUSB3Lib::CopyNewestWholeFrame(void* dst) {
    const uint8_t* frame = HoldLatestFrame();
    if (frame == nullptr) return kCopyFailed;
    std::memcpy(dst, frame, ActiveCopySize());
    ReleaseFrame();
    return 0;
}

int CVidlynUSB3Lib::CopyLatestFrame(void* dst) {
    if (!dst) return kCopyFailed;
    return CopyNewestWholeFrame(dst);
}

int CVidlynUSB3Lib::PauseStream() {
    int32_t streaming = kTransferStreaming;
    if (!m_transferState.compare_exchange_strong(streaming, kTransferPaused)) return 0;
    if (WaitFrameBoundary()) return 1;
    int32_t paused = kTransferPaused;
    m_transferState.compare_exchange_strong(paused, kTransferStreaming);
    return -1;
}

void CVidlynUSB3Lib::ResumeStream(int token) {
    if (token == 0) return;
    int32_t paused = kTransferPaused;
    m_transferState.compare_exchange_strong(paused, kTransferStreaming);
}

int CVidlynUSB3Lib::WaitFrameBoundary() {
    if (m_frameEvent.load()) return 0;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) return 0;
    HANDLE none = nullptr;
    if (!m_frameEvent.compare_exchange_strong(none, event)) {
        CloseHandle(event);
        return 0;
    }
    const DWORD result = WaitForSingleObject(event, 1000);
    m_frameEvent = nullptr;
    // A pass that picked the handle up before it was withdrawn may still be about
    // to signal it; closing it under that pass would let it signal whatever object
    // gets the handle value next. Such a pass is one SetEvent away from done.
    while (m_signalling.load() != 0) SwitchToThread();
    CloseHandle(event);
    return result == WAIT_OBJECT_0 ? 1 : 0;
}

void CVidlynUSB3Lib::SignalFrameBoundary() {
    ++m_signalling;
    if (HANDLE event = m_frameEvent.load()) SetEvent(event);
    --m_signalling;
}

void CVidlynUSB3Lib::CountFrameForFps(uint32_t& frames, uint32_t& windowStart) {
    ++frames;
    if (timeGetTime() - windowStart > 1000) {
        m_measuredFps = ComputeFps(frames, timeGetTime() - windowStart);
        frames = 0;
        windowStart = timeGetTime();
    }
}

DWORD WINAPI CVidlynUSB3Lib::ThreadEntry(LPVOID self) {
    static_cast<CVidlynUSB3Lib*>(self)->TransferThreadMain();
    return 0;
}

CVidlynUSB3Lib::FrameSlot& CVidlynUSB3Lib::HoldSlotForWriting(int target, bool streaming) {
    // The slot after the newest is the oldest frame, unless a consumer is still
    // copying it out (it was the newest when the copy began): then the other
    // older slot is written. Only while a consumer looks at all three at once, a
    // moment, or copies out `target` while the other is held too, is there a wait.
    FrameSlot& first = m_slots[target];
    if (TryAcquireSRWLockExclusive(&first.lock)) return first;
    FrameSlot& other = m_slots[(target + 1) % 3];
    if (streaming && TryAcquireSRWLockExclusive(&other.lock)) return other;
    AcquireSRWLockExclusive(&first.lock);
    return first;
}

int CVidlynUSB3Lib::ReadFrameIntoSlot(uint8_t* slot) { return ReadFrameData(slot, ActiveRawFrameSize()); }

bool CVidlynUSB3Lib::RetriesFailedReads() const { return false; }

void CVidlynUSB3Lib::RestartWatch() {
    m_lastAnswerTick = m_lastFrameTick = timeGetTime();
    m_stallCounted = false;
}

void CVidlynUSB3Lib::NoteAnswer(bool ready) {
    const uint32_t now = timeGetTime();
    m_lastAnswerTick = now;
    if (ready || m_stallCounted || now - m_lastFrameTick < kStalledAfterMs) return;
    m_stallCounted = true;
    ++m_stallCount;
}

bool CVidlynUSB3Lib::Unanswered() const { return timeGetTime() - m_lastAnswerTick >= kUnpluggedAfterMs; }

void CVidlynUSB3Lib::TransferThreadMain() {
    m_frameCounter = 0;
    uint32_t fpsFrames = 0;
    uint32_t fpsStart = timeGetTime();
    int failedReads = 0;
    RestartWatch();
    while (m_transferState.load() != kTransferStopRequested) {
        const int32_t state = m_transferState.load();
        if (state == kTransferStreaming || state == kTransferCapturing) {
            const int target = state == kTransferCapturing ? 0 : (NewestSlot() + 1) % 3;
            FrameSlot& slot = HoldSlotForWriting(target, state == kTransferStreaming);
            slot.number.store(0, std::memory_order_relaxed);
            const bool read = ReadFrameIntoSlot(slot.data) != 0;
            if (read) slot.number.store(++m_frameCounter, std::memory_order_release);
            ReleaseSRWLockExclusive(&slot.lock);
            if (read) {
                failedReads = 0;
                RestartWatch();
                int32_t capturing = kTransferCapturing;
                m_transferState.compare_exchange_strong(capturing, kTransferStopRequested);
                CountFrameForFps(fpsFrames, fpsStart);
            } else if (!RetriesFailedReads() || Unanswered()) {
                // The consumer sees status 1 and stops. A read given up for a stop
                // request is no failure (the stop stands).
                int32_t current = m_transferState.load();
                while (current != kTransferStopRequested &&
                       !m_transferState.compare_exchange_weak(current, kTransferFailed)) {
                }
                break;
            } else if (++failedReads > 8) {
                // The frame is retried on the next pass. A camera that has stopped
                // answering (removed, never ready) is retried at a gentler pace so
                // that it does not keep a processor core busy.
                Sleep(10);
            }
        } else {
            // A stream held for register writes has no frames on purpose.
            RestartWatch();
        }
        SignalFrameBoundary();
        if (state != kTransferStreaming && state != kTransferCapturing) Sleep(10);
    }
    SetEvent(m_doneEvent);
}
