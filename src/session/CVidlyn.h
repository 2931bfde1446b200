// CVidlyn: one camera session per handle. Owns the device object, the eight
// frame buffers, the preview window, the worker threads and the AVI writer,
// and holds every user setting and the error history.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/CameraFacts.h"
#include "output/AviWriter.h"
#include "output/PreviewWindow.h"
#include "session/FrameGuard.h"
#include "session/ModeLock.h"
#include "settings/SettingsRecords.h"

class CAnalogGainDlg;
class CImageFilterDlg;
class CVidlynQM7720USB3Sdk;
struct VIDLYN_CAMERA_INFO;
class DibBuffer;

// Frame notice posted with the frame message; 32 bytes on x64.
struct VidlynFrameNotice {
    int32_t size;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t rate;
    int32_t reserved;
    void* buffer;
};
static_assert(sizeof(VidlynFrameNotice) == 32, "frame notice is 32 bytes");

class CVidlyn {
public:
    CVidlyn();
    virtual ~CVidlyn();
    CVidlyn(const CVidlyn&) = delete;
    CVidlyn& operator=(const CVidlyn&) = delete;

    // --- error history and notification ---------------------------------
    int pushError(int code);   // history (not code 0) + posted 0x8003
    void postError(int code);  // posted only, history untouched
    int popError();            // Vidlyn_GetLastError

    // --- lifetime ---------------------------------------------------------
    int initialize(HWND notifyWnd);

    // --- the small settings ----------------------------------------------
    int SetColorMode(int bits);
    int GetColorMode() const;
    int SetMirrorV(int flag);
    int GetMirrorV();
    int SetMirrorH(int flag);
    int GetMirrorH();
    int SetAutoIris(int mode);
    int GetAutoIris(int* valid) const;
    int SetWaitTime(int ms);
    int GetWaitTime() const;

    // --- stored settings --------------------------------------------------------
    // The geometry of the active preset and the stream format from the
    // registry; 0 after reporting 12 when they are not stored (fields kept).
    int LoadCameraFormat();
    int LoadStreamSettings();
    // The filter, gray and analog groups from the registry (defaults where the
    // registry holds none), and back to it.
    void LoadAdjustSettings();
    void SaveAdjustSettings() const;

    // --- image adjustment parameters (ids 1..27) ---------------------------
    int SetFilterValue(int id, int value);
    int GetFilterValue(int id, int* ok);
    // Exposure time in microseconds for m_exposureTime; kept in m_realExposureTime.
    int GetRealExposureTime(int* ok);

    // --- camera selection and information -----------------------------------
    // Name table of 10 x 256 characters; the number of cameras found.
    int EnumDevice(char* names);
    int EnumDeviceW(wchar_t* names);
    // Display name of camera `index` into `name` (`nameLength` characters).
    int GetDeviceName(int index, char* name, int nameLength);
    int GetDeviceNameW(int index, wchar_t* name, int nameLength);
    // Selects and opens camera `index`; refused while a mode runs.
    int SetDeviceNumber(int index);
    int GetCameraInfo(VIDLYN_CAMERA_INFO* info);

    // --- acquisition modes -------------------------------------------------------
    // Streaming without a window (Vidlyn_StartPreview).
    int StartPreview();
    // Streaming into the preview window (Vidlyn_Preview when callbackWnd is
    // null and no buffer is given, Vidlyn_CallBackPreview otherwise).
    int PreviewInWindow(HWND callbackWnd, void* buffer, int bufferSize, int rowOrder);
    // Arms single-frame capture (Vidlyn_Capture).
    int Capture();
    // The stop step of every mode: joins the acquisition thread, then the
    // record thread, and stops the camera's stream (Vidlyn_StopPreview).
    int StopAcquisition();
    // The acquisition thread of a stream has ended by itself (the camera was given up).
    bool AcquisitionEnded() const;
    // Vidlyn_StopPreview: the stop step, and the callback buffer and window
    // are forgotten (the camera format dialog's stop keeps them).
    int StopPreview();
    // Destroys the preview window, stops acquisition and recording and forgets
    // the callback buffer and window; the close step of Vidlyn_Close, of
    // failed starts and of destruction.
    void CloseAcquisition();
    // Where the preview window goes at its next creation (Vidlyn_SetPreviewWindow).
    int SetPreviewWindow(HWND parent, int x, int y, int width, int height);

    // --- frame delivery ---------------------------------------------------------
    int SnapShot(void* buffer, int bufferSize, int rowOrder);
    int GetImage(void* buffer, int bufferSize, int rowOrder);
    // Copies `picture` into the application's memory: rowOrder non-zero in
    // memory order (row 0 first), 0 last row first; height x stride bytes.
    // 0 after reporting 5 when `size` is smaller.
    int CopyOut(const DibBuffer* picture, int rowOrder, void* buffer, int size);
    // The acquisition thread's work until m_runFlag is 0 (or the camera's
    // transfer failed).
    void RunPreviewLoop();
    void SleepWaitTime();  // the preview loop's wait before each poll
    // Draws the current output picture into the preview window, when there is
    // one to draw into. 0 when the window is not visible.
    int PaintPreview();
    // Frame rate in tenths of a frame per second: `frames` in `elapsedMs`.
    static int FrameRateTenths(int frames, uint32_t elapsedMs);

    // True when all eight frame buffers exist (initialization may have stopped
    // before creating them; operations needing them then report 5).
    bool BuffersReady() const;

    // Output buffer of the current colour type, or null for an index outside 0..5.
    DibBuffer* OutputBuffer() const;
    // Geometry validation shared by initialization and acquisition preparation.
    bool GeometryValid() const;

    // --- files -------------------------------------------------------------------
    // Writes the current frame in a still format (0..6). 1, or 0 (error 1
    // pushed when there is no camera or no output buffer for the colour mode).
    int SaveImage(const char* fileName, int format);
    // Streams (joining a running stream) and records it into an AVI file for
    // `duration` milliseconds from the first recorded frame; the preview
    // window is made first when `withWindow` is set. 1 when the record thread
    // runs; 0 after reporting 9, 1 (a recording runs), 4, 12, 3 or the
    // streaming start's own code.
    int Record(const char* fileName, int duration, int withWindow);
    // The record thread's work until the duration has passed, the file is
    // full or m_recording is cleared; the file is finalized in every case.
    void RunRecordLoop();
    // The current picture as a 24-bit bottom-up frame of the file, built by
    // the depth it has now; *taken becomes its frame count. 0 when it is the
    // frame *taken already or not of the frame's size.
    int TakeRecordFrame(DibBuffer& frame, uint32_t* taken);

    // --- frame path: preparation, placement, conversion, auto exposure -----
    // Sizes the frame buffers for the colour type and configures the camera
    // before a mode starts. 1, or 0 after pushing 1 (no device), 2, 7 or 5.
    int PrepareAcquisition();
    // Source buffer of the current colour type: m_dib16 for types 1, 4, 5,
    // m_dib8 for the others (null for an index outside 0..5).
    DibBuffer* SourceBuffer() const;
    // Where the device copies the next raw frame of `frameBytes` bytes
    // (CopyLatestFrame / FinishCapture): the source buffer's own pixels when
    // the whole frame fits in them, else the staging block that
    // PrepareAcquisition sized. Null when neither can hold the frame.
    uint8_t* FrameLanding(size_t frameBytes);
    // Puts a raw frame as the camera delivers it ((4896 / d) x (3264 / d)
    // bytes, rows packed; may be FrameLanding's memory) into the source
    // buffer: capture area cut out, 16-bit samples for types 1, 4, 5, rows at
    // the buffer's stride, mirrored horizontally when m_mirrorH is set.
    // 1, or 0 when there is no source buffer to place into.
    int PlaceFrame(const uint8_t* frame, size_t frameBytes);
    // The application's buffer as CopyOut fills it: `size` bytes, rows last
    // first for rowOrder 0.
    struct CopyTarget {
        void* buffer;
        int size;
        int rowOrder;
    };
    // The per-frame conversion of the source buffer into the output buffer.
    // With `copyOut`, a 24-bit frame that no adjustment filter changes is also
    // copied there as it is made (the bytes CopyOut would put there); 1 when
    // that was done, else 0 (the caller copies, if it wants the copy).
    int ConvertFrame(const CopyTarget* copyOut = nullptr);
    // The same from `source`, the raw picture of colour type `type`: the source
    // buffer, or a frame read in place where the camera left it.
    int ConvertSource(DibBuffer* source, int type, const CopyTarget* copyOut = nullptr);
    // Automatic white balance and Bayer interpolation of `source` into `output`;
    // with `copyOut` (a 24-bit output that fits there) also into that buffer:
    // 1 when it did.
    int Demosaic(DibBuffer* output, DibBuffer* source, const CopyTarget* copyOut = nullptr);
    // Automatic exposure on `source`: 1 when the measuring step ran.
    int RegulateExposure(DibBuffer* source);
    // Shows values computed on the frame path in the open image filter dialog
    // (m_imageDlg) or analog dialog (m_analogDlg, edit `controlId`); nothing
    // when none is open. Never waits for the dialog's thread.
    void RefreshImageDialog();
    void ShowAnalogDialogValue(int controlId);

    // --- property dialogs (modal, on the caller's thread) -------------------
    int SetAnalogDlg(HWND parent);
    int SetImageDlg(HWND parent);
    // Stops a running mode for the time the dialog is open and starts it
    // again afterwards, with the stored format when the user chose OK.
    int SetCameraDlg(HWND parent);

private:
    // Pieces of the preview loop: one frame from the stream into the output
    // picture (0 when the camera's copy failed), the rate window, and the
    // frame-path error message 0x8002 (0, code) to the callback window.
    int TakeStreamFrame(bool* copiedOut);
    // Whether the stream's frame of `frameBytes` bytes can be converted where
    // the camera left it, with no copy into the source buffer: colour types 2
    // and 3 of the whole frame, unmirrored (every step then only reads it).
    bool ConvertsInPlace(int type, size_t frameBytes) const;
    void FillFrameNotice(const DibBuffer* source, int type);
    void CountFrame();
    void PostFrameError(int code);
    void ForgetCallback();
    // Makes the preview window at m_parentWnd / m_previewRect with its drawing
    // context (an earlier one goes first). 1, or 0 after pushing 4.
    int OpenPreviewWindow();
    // Pieces of the recorder: the end of a recording with the rate measured
    // up to the arrival of its last frame, and collecting the thread of a
    // recording that has ended.
    void FinishRecording(uint32_t lastArrival);
    void JoinRecordThread();

public:
    // --- fields, in declaration order ----------------------------------------
    CVidlynQM7720USB3Sdk* m_device = nullptr;
    DibBuffer* m_dib8 = nullptr;
    DibBuffer* m_dib16 = nullptr;
    DibBuffer* m_dib24 = nullptr;
    DibBuffer* m_dib32 = nullptr;
    DibBuffer* m_dib48 = nullptr;
    DibBuffer* m_dib64 = nullptr;
    DibBuffer* m_dibCopy = nullptr;
    DibBuffer* m_dibDisplay = nullptr;
    HWND m_previewWnd = nullptr;
    HDC m_previewDC = nullptr;
    char m_wndClassName[256] = {};
    uint32_t m_totalWidth = vidlyn::camera::kSensorWidth;
    uint32_t m_totalHeight = vidlyn::camera::kSensorHeight;
    int32_t m_width = vidlyn::camera::kSensorWidth;
    int32_t m_height = vidlyn::camera::kSensorHeight;
    int32_t m_startX = 0;
    int32_t m_startY = 0;
    uint32_t m_bufferCount = 10;
    ImageAdjustBlock m_adjust = {};
    CImageFilterDlg* m_imageDlg = nullptr;
    AnalogBlock m_analog = {};
    CAnalogGainDlg* m_analogDlg = nullptr;
    int32_t m_analogDlgArg = 0;
    int32_t m_realExposureTime = 0;
    std::atomic<int32_t> m_recording{0};
    AviWriter m_avi;
    uint32_t m_recStartTime = 0;
    uint32_t m_recDuration = 0;
    std::atomic<int32_t> m_recFrameReady{0};
    HANDLE m_recThread = nullptr;
    DWORD m_recThreadId = 0;
    HANDLE m_recDoneEvent = nullptr;
    std::atomic<int32_t> m_runFlag{0};
    HANDLE m_acqThread = nullptr;
    DWORD m_acqThreadId = 0;
    HANDLE m_acqDoneEvent = nullptr;
    HWND m_parentWnd = nullptr;
    int32_t m_previewRect[4] = {0, 0, vidlyn::camera::kSensorWidth,
                                vidlyn::camera::kSensorHeight};  // x, y, width, height
    HWND m_notifyWnd = nullptr;
    HWND m_callbackWnd = nullptr;
    void* m_callbackBuffer = nullptr;
    int32_t m_callbackBufferSize = 0;
    int32_t m_callbackFlag = 0;
    // Taken from the process-wide pool (FrameNoticePool.h) and given back by
    // the destructor, so that a late frame message never points into freed memory.
    VidlynFrameNotice* m_frameNotice = nullptr;
    std::atomic<int32_t> m_state{0};
    std::atomic<int32_t> m_colorType{0};
    int32_t m_subSample = 0;
    std::atomic<int32_t> m_waitTime{10};
    uint32_t m_clock = 0;
    std::atomic<int32_t> m_frameReady{0};
    int32_t m_fps = 0;
    int32_t m_fpsFrames = 0;
    uint32_t m_fpsTime = 0;  // set to the construction time
    std::atomic<int32_t> m_errorHistory[20] = {};
    int32_t m_readTimeout = 1000;

    // Set once initialization reached the settings loads; only then does
    // release write the settings back (a session holding construction zeros
    // must not overwrite the user's stored settings).
    bool m_settingsLoaded = false;

    // Guards m_imageDlg and m_analogDlg: the frame path holds it only while it
    // posts a request to the open dialog, so a dialog object is never used
    // after the dialog's thread withdrew it.
    SRWLOCK m_dialogLock = SRWLOCK_INIT;

    // Keeps each shift of the history whole: the worker threads report while
    // the application reads, and neither may lose or repeat the other's code.
    SRWLOCK m_historyLock = SRWLOCK_INIT;

    // Landing block for raw frames that do not fit the source buffer's own
    // pixels (a capture area smaller than the delivered frame).
    std::vector<uint8_t> m_frameStaging;

    // Holders of the session: the handle registry while the handle is open, and
    // every call in progress. The last to let go destroys it (src/sdk).
    std::atomic<int32_t> m_holders{1};

    // Readers of the output picture on other threads take it whole (FrameGuard.h).
    FrameGuard m_frameGuard;
    // The frame Vidlyn_GetImage handed out last (a FrameGuard frame count).
    uint32_t m_imageTaken = 0;
    // Set by a stop: cuts every worker's sleep short. Lives from a streaming
    // start to the stop that joins its workers.
    HANDLE m_stopEvent = nullptr;
    // The preview window and its drawing context as the painting thread sees them.
    PreviewSurface m_previewSurface{&m_previewWnd, &m_previewDC};
    // Held by every change of the acquisition mode and by snapshots (ModeLock.h).
    ModeLock m_modeLock;
};
