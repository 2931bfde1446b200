// CVidlynUSB3Lib: the generic USB 3.0 disk-transport camera. Owns the raw disk
// of the selected camera, speaks the sector protocol, discovers cameras among
// the physical drives and streams raw frames into a ring of three slots on its
// own transfer thread. The virtual operations keep a fixed order; several are
// placeholders of the generic interface that a model does not need.
//
// Results: 1 success / 0 failure, except the start, stop, select and copy
// operations (StartStream, StartCapture, StopStream, FinishCapture,
// CopyLatestFrame, SelectDevice), which return 0 for success.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "device/CameraFacts.h"

class CVidlynUSB3Lib {
public:
    // Transfer states.
    enum : int32_t {
        kTransferIdle = 0,
        kTransferStreaming = 1,
        kTransferCapturing = 2,
        kTransferPaused = 3,
        kTransferStopRequested = 4,
        kTransferFailed = 5,
    };
    // GetFrameStatus results.
    enum : int32_t { kFrameFailed = 1, kFrameNone = 2, kFrameNew = 3 };
    // Start result when the start command could not be sent.
    static constexpr int kStartCommandFailed = 20;
    // Start result when the frame slots or the thread could not be set up.
    static constexpr int kStartNoResources = 5;
    // Start result when the camera does not answer: its disk is not open, refuses
    // the status read, or carries another device's identity.
    static constexpr int kStartNoCamera = 21;
    // Copy result (CopyLatestFrame, FinishCapture) when no whole frame could be handed out.
    static constexpr int kCopyFailed = 1;

    struct FrameSlot {
        uint8_t* data = nullptr;         // GetRawFrameSize() bytes while a transfer is set up
        std::atomic<int32_t> number{0};  // 0 = empty or being written
        // Shared while a consumer copies the slot out, exclusive while the
        // transfer thread fills it: a frame being copied is never overwritten.
        SRWLOCK lock = SRWLOCK_INIT;
    };

    CVidlynUSB3Lib();
    CVidlynUSB3Lib(const CVidlynUSB3Lib&) = delete;
    CVidlynUSB3Lib& operator=(const CVidlynUSB3Lib&) = delete;

    // --- virtual operations, in their fixed order ---
    virtual ~CVidlynUSB3Lib();
    virtual void Reserved1();
    virtual void EnumDevices(const char* modelCode);
    virtual int SetBitDepth(int sixteen);
    virtual void SetReadTimeout(int value);
    virtual int GetReadTimeout();
    virtual float GetFps();
    virtual int StartCapture();
    virtual int Reserved2();
    virtual int GetCaptureStatus();
    virtual int Reserved3();
    virtual int FinishCapture(void* dst);
    virtual int StartStream();
    virtual int StopStream();
    virtual void TransferThreadMain();
    virtual int GetFrameStatus();
    virtual int CopyLatestFrame(void* dst);
    virtual int GetDeviceCount();
    virtual int IsValidDeviceIndex(int index);
    virtual int GetDeviceIndex();
    virtual int SelectDevice(int index);
    virtual int SetFormat(int x, int y, int width, int height, int subSample);
    virtual int GetFormat(int* x, int* y, int* width, int* height, int* subSample);
    virtual int SetMirrorH(int flag);
    virtual int SetMirrorV(int flag);
    virtual int GetMirrorH();
    virtual int GetMirrorV();
    virtual int NotifyStreamChange(int value);
    virtual int Reserved4();
    virtual int SetClock(int value);
    virtual int GetClock(int* value);
    virtual int Reserved5();
    virtual int Reserved6();
    virtual int ReadSromId(int address, int* value);
    virtual int WriteSromId(int address, int value);
    virtual int PauseStream();
    virtual void ResumeStream(int token);
    virtual int WaitFrameBoundary();
    virtual uint32_t GetRawFrameSize();
    virtual uint32_t GetAlignedFrameSize();
    virtual int OpenDevice();
    virtual void CloseDevice();
    virtual int ReadFrameData(void* buffer, uint32_t size);
    virtual int WriteRegisterByte(uint16_t address, uint8_t value);
    virtual int ReadRegisterByte(uint16_t address, uint8_t* value);
    virtual int WriteRegisterWord(uint16_t address, uint16_t value);
    virtual int ReadRegisterWord(uint16_t address, uint16_t* value);

protected:
    // --- the per-model steps of the one transfer loop (TransferThreadMain) ---
    // Reads one frame into `slot` (ActiveRawFrameSize() bytes). The generic
    // camera reads it straight in; a model whose rows arrive in another order
    // reads into its own staging buffer and moves the frame from there.
    // 1 when a whole frame arrived.
    virtual int ReadFrameIntoSlot(uint8_t* slot);
    // Whether a failed frame read is retried on the next pass. The generic
    // camera gives up instead: state 5, and the consumer stops.
    virtual bool RetriesFailedReads() const;

public:
    // --- non-virtual helpers ---
    // A camera is given up (transfer state 5) once it has not answered for this
    // long: every call refused (unplugged), or a status sector without its
    // identity (another device on the port after a reconnect).
    static constexpr uint32_t kUnpluggedAfterMs = 2000;
    // A camera that answers but has had no frame ready for this long is stalled.
    // The longest wait a working camera makes is the longest exposure (value 1:
    // 289 ms) plus one frame time at the slowest readout (full size, 3335 row
    // times of 86.7 us: 289 ms), 0.58 s; the bound is well above that.
    static constexpr uint32_t kStalledAfterMs = 2000;
    // Stalls since the transfer started: one count per stall however long it
    // lasts; the stream goes on, and a frame ends the stall.
    int32_t GetStallCount() const { return m_stallCount.load(); }
    // Bytes that CopyLatestFrame and FinishCapture write: (width / d) x (height / d),
    // without the rounding to whole sectors of GetRawFrameSize. While a transfer is
    // set up, the size it was started with.
    uint32_t GetFrameCopySize() const;
    bool IsOpen() const { return m_disk != INVALID_HANDLE_VALUE; }
    // One status read that comes back with this camera's identity and product id.
    bool CameraAnswers();
    int32_t GetTransferState() const { return m_transferState.load(); }
    // Frames per second from `frames` completed in `elapsedMs` milliseconds.
    static float ComputeFps(uint32_t frames, uint32_t elapsedMs);
    // The newest whole frame of a stream, read in place instead of copied:
    // GetFrameCopySize() bytes, rows packed, unchanged until ReleaseFrame (the
    // transfer thread fills the other slots meanwhile) and counted as delivered.
    // Null when there is no frame yet. One frame at a time, by the one consumer,
    // released before the transfer is stopped.
    const uint8_t* HoldLatestFrame();
    void ReleaseFrame();

    // Runs `writes` (register writes) with a running stream held at a frame
    // boundary, as one register transaction: the register lock is held from the
    // pause to the resume, so another writer can neither resume the stream under
    // these writes nor slip its own between them. False, with nothing written,
    // when the stream did not reach a frame boundary in time.
    template <class Writes>
    bool WithStreamPaused(Writes&& writes) {
        RegisterGuard registers(*this);
        const int token = PauseStream();
        if (token == -1) return false;
        writes();
        ResumeStream(token);
        return true;
    }

protected:
    // Holds the register lock (recursive) for one register transaction: the two
    // sectors of a two-phase write, a read command and its answer, the start
    // command, a pause-write-resume bracket of the model class, and the swap of
    // the disk handle. Register writes come from the application's thread and
    // from the acquisition thread (automatic exposure); without it their sectors
    // interleave and a value lands in the other thread's register. The transfer
    // thread never takes it (lock order: register lock, then I/O lock).
    class RegisterGuard {
    public:
        explicit RegisterGuard(CVidlynUSB3Lib& device) : m_lock(device.m_registerLock) {
            EnterCriticalSection(&m_lock);
        }
        ~RegisterGuard() { LeaveCriticalSection(&m_lock); }
        RegisterGuard(const RegisterGuard&) = delete;
        RegisterGuard& operator=(const RegisterGuard&) = delete;

    private:
        CRITICAL_SECTION& m_lock;
    };

    // One positioning plus one transfer on the shared disk handle, serialised
    // against the other thread's pairs.
    bool SeekRead(uint32_t offset, void* buffer, uint32_t length);
    bool SeekWrite(uint32_t offset, const void* buffer, uint32_t length);
    // Sends the zero-filled start command sector.
    bool SendStartCommand();
    // Shared part of StartStream and StartCapture: slots, counters, start command, thread.
    int StartTransfer(int32_t state);
    // Ends a running transfer thread (state 4, wait without limit) and releases it.
    void JoinTransferThread();
    void FreeSlots();
    // Newest slot: largest number, ties to the lowest index (all empty: slot 0).
    int NewestSlot() const;
    // Slot `target` (or, while streaming, the other older one when a consumer
    // still copies `target`), held exclusive for the transfer thread to fill.
    FrameSlot& HoldSlotForWriting(int target, bool streaming);
    // Frame-rate window of the transfer thread.
    void CountFrameForFps(uint32_t& frames, uint32_t& windowStart);
    // Signals a waiting WaitFrameBoundary at the end of a thread pass.
    void SignalFrameBoundary();
    // Whether a status sector is this camera's: identity and product id.
    bool IsOwnStatus(const uint8_t* status) const;
    // The transfer thread's watch over the camera: when it last answered and
    // last delivered a frame (a start and a pause count as a frame), and whether
    // the current stall has been counted.
    void RestartWatch();
    void NoteAnswer(bool ready);
    bool Unanswered() const;

    // Raw frame size and copy size of the transfer whose slots are allocated: a
    // format change while a transfer is set up never resizes what the thread writes.
    uint32_t ActiveRawFrameSize() const;
    uint32_t ActiveCopySize() const;
    // Copies the newest whole frame out of the slot HoldLatestFrame holds.
    int CopyNewestWholeFrame(void* dst);
    // Holds shared the newest slot that holds a frame and is not being filled;
    // its index (number set to its frame number), or -1 when there is none.
    int HoldNewestSlot(int32_t& number);

    static DWORD WINAPI ThreadEntry(LPVOID self);

public:
    // --- fields, in order ---
    HANDLE m_disk = INVALID_HANDLE_VALUE;
    uint16_t m_productId = 0;
    std::atomic<int32_t> m_timeout{3000};  // read by the transfer thread
    std::atomic<float> m_measuredFps{0.0f};
    int32_t m_formatX = 0;
    int32_t m_formatY = 0;
    int32_t m_frameWidth = vidlyn::camera::kSensorWidth;
    int32_t m_frameHeight = vidlyn::camera::kSensorHeight;
    int32_t m_subSample = 0;
    int32_t m_deviceCount = 0;
    int32_t m_deviceIndex = 0;
    FrameSlot m_slots[3];
    std::atomic<int32_t> m_frameCounter{0};
    std::atomic<int32_t> m_lastDelivered{0};
    std::atomic<int32_t> m_transferState{0};
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_doneEvent = nullptr;
    std::atomic<HANDLE> m_frameEvent{nullptr};

protected:
    SRWLOCK m_ioLock = SRWLOCK_INIT;  // one seek-and-transfer pair at a time
    uint32_t m_lastAnswerTick = 0;    // transfer thread only (RestartWatch, NoteAnswer)
    uint32_t m_lastFrameTick = 0;
    bool m_stallCounted = false;
    std::atomic<int32_t> m_stallCount{0};
    CRITICAL_SECTION m_registerLock;  // one register transaction at a time (RegisterGuard)
    int32_t m_activeSubSample = 0;    // subsample code the slots were sized for
    int32_t m_heldSlot = -1;          // the slot HoldLatestFrame holds for the consumer
    // Transfer-thread passes that are signalling m_frameEvent right now: the
    // waiter closes its event only when none can still be holding the handle.
    std::atomic<int32_t> m_signalling{0};
};
