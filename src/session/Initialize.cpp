// Session start-up and shut-down: creates the device object and the frame
// buffers, loads the stored settings and sends them to the camera; at release
// saves the settings back, stops everything and frees what the session owns.
#include <new>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"
#include "session/FrameNoticePool.h"

namespace {

// Device construction counts the cameras and opens the first one; a failure
// to allocate leaves the session without a device.
CVidlynQM7720USB3Sdk* NewDevice() {
    try {
        return new CVidlynQM7720USB3Sdk;
    } catch (...) {
        return nullptr;
    }
}

DibBuffer* NewBuffer() { return new (std::nothrow) DibBuffer; }

}  // namespace

int CVidlyn::initialize(HWND notifyWnd) {
    m_device = NewDevice();
    DibBuffer** buffers[] = {&m_dib8, &m_dib16, &m_dib24, &m_dib32, &m_dib48, &m_dib64, &m_dibCopy, &m_dibDisplay};
    for (DibBuffer** buffer : buffers) *buffer = NewBuffer();
    m_notifyWnd = notifyWnd;

    // Whatever was created stays; operations that need a missing object
    // report 1 (no device) or 5 (no buffer) instead of touching it.
    if (!m_device || !BuffersReady()) {
        pushError(VIDLYN_ERR_MEMORY);
        return 0;
    }

    m_device->SelectDevice(0);  // no camera is not a start-up failure

    LoadCameraFormat();
    if (!GeometryValid()) {
        pushError(VIDLYN_ERR_CAPTURE_AREA);
        m_totalWidth = vidlyn::camera::kSensorWidth;
        m_totalHeight = vidlyn::camera::kSensorHeight;
        m_width = vidlyn::camera::kSensorWidth;
        m_height = vidlyn::camera::kSensorHeight;
        m_startX = 0;
        m_startY = 0;
    }
    m_device->SetFormat(m_startX, m_startY, m_width, m_height, m_subSample);
    m_previewRect[0] = 0;
    m_previewRect[1] = 0;
    m_previewRect[2] = m_width;
    m_previewRect[3] = m_height;

    LoadAdjustSettings();
    m_settingsLoaded = true;

    m_device->SetGlobalGain(m_analog.m_globalGain & 0xFFFF);
    m_device->SetExposure(m_analog.m_exposureTime);
    m_device->SetMirrorV(m_analog.m_mirrorV);
    m_device->SetMirrorH(m_analog.m_mirrorH);
    m_device->SetReadTimeout(m_readTimeout);

    LoadStreamSettings();
    return 1;
}

CVidlyn::~CVidlyn() {
    // A session that never loaded its settings holds construction zeros; saving
    // them would overwrite the user's stored settings.
    if (m_settingsLoaded) {
        SaveAdjustSettings();
    }
    CloseAcquisition();

    delete m_device;  // closes the camera
    m_device = nullptr;

    DibBuffer** buffers[] = {&m_dib8, &m_dib16, &m_dib24, &m_dib32, &m_dib48, &m_dib64, &m_dibCopy, &m_dibDisplay};
    for (DibBuffer** buffer : buffers) {
        delete *buffer;  // pixel memory, then the object
        *buffer = nullptr;
    }
    // m_avi goes with the object; the frame notice record stays readable for
    // messages still queued.
    ReturnFrameNotice(m_frameNotice);
    m_frameNotice = nullptr;
}
