// Acquisition preparation: before a mode starts, size the session's frame
// buffers for the colour mode and the capture area, and send the readout,
// bit depth, mirror, gain and exposure settings to the camera.
#include <new>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"

namespace {

// Creates the frame buffers of colour type `type` for a w x h frame, in the
// order the modes depend on. False when one cannot be made.
bool CreateFrameBuffers(CVidlyn& s, int type, int w, int h) {
    if (type == 0 || type == 1 || type == 2 || type == 3) {
        if (!s.m_dib8->Create(w, h, 8)) {  // carries the gray colour table
            return false;
        }
    }
    if (type == 1 || type == 4 || type == 5) {
        if (!s.m_dib16->Create(w, h, 16)) {
            return false;
        }
    }
    if (type == 0 || type == 2 || type == 3 || type == 4 || type == 5) {
        if (!s.m_dib24->Create(w, h, 24)) {
            return false;
        }
    }
    if (type == 3 && !s.m_dib32->Create(w, h, 32)) {
        return false;
    }
    if (type == 4 && !s.m_dib48->Create(w, h, 48)) {
        return false;
    }
    if (type == 5 && !s.m_dib64->Create(w, h, 64)) {
        return false;
    }
    return s.m_dibCopy->CreateLike(s.OutputBuffer()) != 0;
}

// Raw frames land in the source buffer's own pixels when the delivered frame
// fits there; otherwise (a capture area smaller than the frame) they need a
// landing block of their own. Sized here, so the frame loop never allocates.
bool SizeFrameStaging(CVidlyn& s) {
    const DibBuffer* src = s.SourceBuffer();
    const size_t frameBytes = vidlyn::camera::FrameBytes(s.m_subSample);
    const size_t ownBytes = static_cast<size_t>(src->stride) * static_cast<size_t>(src->height);
    try {
        if (frameBytes <= ownBytes) {
            std::vector<uint8_t>().swap(s.m_frameStaging);
        } else if (s.m_frameStaging.size() != frameBytes) {
            std::vector<uint8_t>().swap(s.m_frameStaging);
            s.m_frameStaging.resize(frameBytes);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

DibBuffer* CVidlyn::SourceBuffer() const {
    switch (m_colorType.load()) {
        case 0:
        case 2:
        case 3:
            return m_dib8;
        case 1:
        case 4:
        case 5:
            return m_dib16;
        default:
            return nullptr;
    }
}

int CVidlyn::PrepareAcquisition() {
    if (m_device == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (!m_device->IsValidDeviceIndex(m_device->GetDeviceIndex())) {
        pushError(VIDLYN_ERR_CAMERA_NOT_FOUND);
        return 0;
    }
    if (!GeometryValid()) {
        pushError(VIDLYN_ERR_CAPTURE_AREA);
        return 0;
    }

    // A session whose initialization stopped early may lack buffer objects; an
    // unknown colour type (stored settings are loaded unchecked) has none.
    const int type = m_colorType.load();
    const int d = vidlyn::camera::SubsampleDivisor(m_subSample);
    const int w = m_width / d;
    const int h = m_height / d;
    // The frame announced to Vidlyn_GetImage goes with the buffers it lay in.
    m_frameReady.store(0);
    if (!BuffersReady() || type < 0 || type > 5 || !CreateFrameBuffers(*this, type, w, h) || !SizeFrameStaging(*this)) {
        pushError(VIDLYN_ERR_MEMORY);
        return 0;
    }

    // A camera that does not answer is looked for again: plugged back in after
    // an unplug (its old disk handle stays dead), or no longer held by another
    // program. Found, it gets the whole configuration below.
    if (!m_device->CameraAnswers()) {
        m_device->SelectDevice(m_device->GetDeviceIndex());
    }

    // Camera configuration; the camera's answers are not examined.
    int clock = 0;
    m_device->GetClock(&clock);
    if (static_cast<uint32_t>(clock) != m_clock) {
        m_device->SetClock(static_cast<int>(m_clock));
    }
    m_device->SetFormat(m_startX, m_startY, m_width, m_height, m_subSample);
    m_device->SetBitDepth((type == 1 || type == 4 || type == 5) ? 1 : 0);
    m_device->SetMirrorV(m_analog.m_mirrorV);
    m_device->SetMirrorH(m_analog.m_mirrorH);
    m_device->SetGlobalGain(m_analog.m_globalGain & 0xFFFF);
    m_device->SetExposure(m_analog.m_exposureTime);
    m_realExposureTime = vidlyn::camera::ExposureMicroseconds(m_analog.m_exposureTime);

    // The display picture follows the preview window's client area, when the
    // window is shown and has somewhere to paint.
    RECT client{};
    if (m_previewWnd == nullptr || !IsWindowVisible(m_previewWnd) || !GetClientRect(m_previewWnd, &client)) {
        return 1;
    }
    const int cw = client.right - client.left;
    const int ch = client.bottom - client.top;
    if (cw == 0 || ch == 0 || m_previewDC == nullptr) {
        return 1;
    }
    m_dibDisplay->Create(cw, ch, type <= 1 ? 8 : 24);
    return 1;
}
