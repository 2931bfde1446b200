// The preview loop on the acquisition thread: every new frame of the stream is
// taken from the camera, converted, handed to the recorder, painted into the
// preview window, copied into the application's buffer and announced to its
// callback window with message 0x8002. (A 24-bit frame that no filter changes
// reaches the application's buffer during its conversion.)
#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"

namespace {

constexpr int kBitsOfColorType[6] = {8, 16, 24, 32, 48, 64};

// A picture with the geometry of `like` over frame memory it does not own (a
// camera slot): the kernels read it as they read the source buffer.
struct RawFrameView {
    RawFrameView(const DibBuffer& like, const uint8_t* frame) {
        picture.width = like.width;
        picture.height = like.height;
        picture.stride = like.stride;
        picture.bitCount = like.bitCount;
        picture.bits = const_cast<uint8_t*>(frame);  // only read
    }
    ~RawFrameView() { picture.Init(); }  // forgets the memory: it is the camera's
    DibBuffer picture;
};

}  // namespace

int CVidlyn::FrameRateTenths(int frames, uint32_t elapsedMs) {
    if (elapsedMs == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<double>(frames) * 10000.0 / static_cast<double>(elapsedMs));
}

// Frame-path codes are pushed before they are posted: an application that
// reads the history when the message arrives finds the code there.
void CVidlyn::PostFrameError(int code) {
    if (m_callbackWnd) {
        PostMessageA(m_callbackWnd, VIDLYN_MSG_FRAME, 0, static_cast<LPARAM>(code));
    }
}

void CVidlyn::CountFrame() {
    ++m_fpsFrames;
    if (timeGetTime() - m_fpsTime > 1000) {
        m_fps = FrameRateTenths(m_fpsFrames, timeGetTime() - m_fpsTime);
        m_fpsFrames = 0;
        m_fpsTime = timeGetTime();
    }
}

bool CVidlyn::ConvertsInPlace(int type, size_t frameBytes) const {
    const DibBuffer* source = m_dib8;
    if ((type != 2 && type != 3) || source == nullptr || source->bits == nullptr || source->bitCount != 8) {
        return false;
    }
    const int d = vidlyn::camera::SubsampleDivisor(m_subSample);
    return m_startX == 0 && m_startY == 0 && source->width == vidlyn::camera::kSensorWidth / d &&
           source->stride == source->width &&
           frameBytes == static_cast<size_t>(source->stride) * static_cast<size_t>(source->height) &&
           !m_analog.m_mirrorH && !m_analog.m_mirrorV;
}

void CVidlyn::FillFrameNotice(const DibBuffer* source, int type) {
    VidlynFrameNotice& notice = *m_frameNotice;
    notice.size = 32;
    notice.width = source->width;
    notice.height = source->height;
    notice.bitsPerPixel = kBitsOfColorType[type];
    notice.buffer = m_callbackBuffer;
    CountFrame();
    notice.rate = m_fps;
}

int CVidlyn::TakeStreamFrame(bool* copiedOut) {
    *copiedOut = false;
    DibBuffer* source = SourceBuffer();
    DibBuffer* output = OutputBuffer();
    const int type = m_colorType.load();
    if (source == nullptr || output == nullptr) {
        return 0;
    }
    // The callback mode's buffer, which a 24-bit conversion fills as it goes.
    const CopyTarget callback{m_callbackBuffer, m_callbackBufferSize, m_callbackFlag};
    const CopyTarget* const copyOut = callback.buffer != nullptr && callback.size != 0 ? &callback : nullptr;
    FrameGuard::Writing writing(m_frameGuard);
    const size_t bytes = m_device->GetFrameCopySize();
    if (ConvertsInPlace(type, bytes)) {
        // The demosaicing reads the camera's slot itself, held for as long as
        // it reads: one 16 MB copy less per full frame.
        const uint8_t* frame = m_device->HoldLatestFrame();
        if (frame == nullptr) {
            return 0;
        }
        RawFrameView raw(*source, frame);
        FillFrameNotice(source, type);
        *copiedOut = ConvertSource(&raw.picture, type, copyOut) != 0;
        m_device->ReleaseFrame();
        return 1;
    }
    uint8_t* landing = FrameLanding(bytes);
    if (landing == nullptr || m_device->CopyLatestFrame(landing) != 0) {
        // A copy that failed may have left part of a frame in the picture that
        // Vidlyn_GetImage was told about: that frame is gone.
        if (landing == source->bits && source == output) {
            m_frameReady.store(0);
        }
        return 0;
    }
    PlaceFrame(landing, bytes);
    FillFrameNotice(source, type);
    *copiedOut = ConvertFrame(copyOut) != 0;
    return 1;
}

void CVidlyn::SleepWaitTime() {
    constexpr DWORD kStepMs = 10;
    DWORD left = static_cast<DWORD>(m_waitTime.load());
    if (left == 0) {
        Sleep(0);
        return;
    }
    while (left > 0 && m_runFlag.load() != 0) {
        const DWORD step = left < kStepMs ? left : kStepMs;
        Sleep(step);
        left -= step;
    }
}

void CVidlyn::RunPreviewLoop() {
    int32_t stalls = 0;  // stalls of the camera already reported
    while (m_runFlag.load() != 0) {
        // The wait time is also the polling period. It is slept in steps of at
        // most 10 ms, so that a stop is seen within one step: a timed wait on
        // the stop event went through wine's server, and with both cores busy
        // it overslept 10 ms by up to 130 ms, long enough to miss a frame of a
        // camera at 10 frames per second (Sleep stayed below 40 ms there).
        SleepWaitTime();
        if (m_runFlag.load() != 1) {
            continue;
        }
        const int status = m_device->GetFrameStatus();
        if (status == CVidlynUSB3Lib::kFrameFailed) {
            m_runFlag.store(0);
            pushError(VIDLYN_ERR_TRANSFER_STOPPED);
            PostFrameError(VIDLYN_ERR_TRANSFER_STOPPED);
            break;
        }
        // A camera that answers but sends no frame is reported once per stall;
        // the stream goes on and takes its frames again when they come.
        const int32_t stalled = m_device->GetStallCount();
        if (stalled > stalls) {
            pushError(VIDLYN_ERR_TRANSFER);
            PostFrameError(VIDLYN_ERR_TRANSFER);
        }
        stalls = stalled;
        if (status != CVidlynUSB3Lib::kFrameNew) {
            continue;
        }
        bool copied = false;  // the application's buffer already holds the frame
        if (!TakeStreamFrame(&copied)) {
            pushError(VIDLYN_ERR_TRANSFER);
            PostFrameError(VIDLYN_ERR_TRANSFER);
            continue;
        }
        m_recFrameReady.store(1);
        PaintPreview();
        // The callback settings are changed only while no stream runs.
        void* const buffer = m_callbackBuffer;
        const int size = m_callbackBufferSize;
        if (buffer && size != 0 && !copied && !CopyOut(OutputBuffer(), m_callbackFlag, buffer, size)) {
            continue;
        }
        if (m_callbackWnd) {
            PostMessageA(m_callbackWnd, VIDLYN_MSG_FRAME, reinterpret_cast<WPARAM>(m_frameNotice), 0);
        }
        m_frameReady.store(1);
    }
}
