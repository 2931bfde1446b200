// Frames into the application's memory: one frame taken on the caller's
// thread (Vidlyn_SnapShot), the newest converted frame of a stream
// (Vidlyn_GetImage), and the copy both use.
#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "pixel/output/FrameCopy.h"
#include "session/CVidlyn.h"

int CVidlyn::CopyOut(const DibBuffer* picture, int rowOrder, void* buffer, int size) {
    const int64_t needed =
        picture ? static_cast<int64_t>(picture->height) * static_cast<int64_t>(picture->stride) : INT64_MAX;
    if (picture == nullptr || picture->bits == nullptr || static_cast<int64_t>(size) < needed) {
        pushError(VIDLYN_ERR_MEMORY);
        PostFrameError(VIDLYN_ERR_MEMORY);
        return 0;
    }
    CopyFrameRows(static_cast<uint8_t*>(buffer), picture->bits, static_cast<size_t>(picture->stride),
                  static_cast<size_t>(picture->height), rowOrder == 0);
    return 1;
}

int CVidlyn::SnapShot(void* buffer, int bufferSize, int rowOrder) {
    ModeLock::Held mode(m_modeLock);
    if (m_device == nullptr || m_state.load() == 1) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (m_state.load() == 0 && !PrepareAcquisition()) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    m_device->NotifyStreamChange(0);
    if (m_device->StartCapture() != 0) {
        pushError(VIDLYN_ERR_TRANSFER);
        return 0;
    }
    {
        FrameGuard::Writing writing(m_frameGuard);
        const size_t bytes = m_device->GetFrameCopySize();
        uint8_t* landing = FrameLanding(bytes);
        // Called also without a landing place: it ends the capture thread.
        if (m_device->FinishCapture(landing) != 0 || landing == nullptr) {
            pushError(VIDLYN_ERR_TRANSFER);
            PostFrameError(VIDLYN_ERR_TRANSFER);
            return 0;
        }
        PlaceFrame(landing, bytes);
        ConvertFrame();
    }
    if (buffer == nullptr || bufferSize == 0 || CopyOut(OutputBuffer(), rowOrder, buffer, bufferSize)) {
        m_frameReady.store(1);
        return 1;
    }
    pushError(VIDLYN_ERR_MEMORY);
    return 0;
}

int CVidlyn::GetImage(void* buffer, int bufferSize, int rowOrder) {
    const DibBuffer* output = OutputBuffer();
    if (m_device == nullptr || output == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (output->bits == nullptr || buffer == nullptr) {
        pushError(VIDLYN_ERR_MEMORY);
        return 0;
    }
    // The acquisition loop cannot write the picture while it is copied here.
    FrameGuard::Reading reading(m_frameGuard);
    if (m_frameReady.load() == 0) {
        return 0;
    }
    if (reading.Frame() == m_imageTaken) {
        // Taken by the previous call before the loop announced it.
        m_frameReady.store(0);
        return 0;
    }
    if (!CopyOut(output, rowOrder, buffer, bufferSize)) {
        pushError(VIDLYN_ERR_MEMORY);
        return 0;
    }
    m_imageTaken = reading.Frame();
    m_frameReady.store(0);
    return 1;
}
