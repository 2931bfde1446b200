// The 27 numbered image adjustment parameters on a session. Most are plain
// fields of the adjustment blocks that the frame conversion reads for every
// frame; the global gain (13) and the exposure value (18) also go to the
// camera at once and read back from it.
#include <windows.h>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "session/CVidlyn.h"
#include "settings/AdjustParameters.h"

namespace {

constexpr DWORD kExposureSettleMs = 120;  // the camera needs this long to apply a new exposure

}  // namespace

int CVidlyn::SetFilterValue(int id, int value) {
    if (!m_device) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (!StoreFilterValue(m_adjust, m_analog, id, value)) {
        pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    // The register write's result is not inspected: the session keeps the
    // value either way (a camera that is not connected has nothing to refuse).
    if (id == VIDLYN_FILTER_GLOBAL_GAIN) m_device->SetGlobalGain(value & 0xFFFF);
    if (id == VIDLYN_FILTER_EXPOSURE) m_device->SetExposure(value);
    return 1;
}

int CVidlyn::GetFilterValue(int id, int* ok) {
    if (!m_device) {
        if (ok) *ok = 0;
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (ok) *ok = 1;
    if (id == VIDLYN_FILTER_GLOBAL_GAIN) return m_device->GetGlobalGain();
    if (id == VIDLYN_FILTER_EXPOSURE) {
        Sleep(kExposureSettleMs);
        int value = 0;
        if (!m_device->GetExposure(&value)) {
            // The camera never accepted an exposure value: nothing valid to report.
            if (ok) *ok = 0;
            return 0;
        }
        return value;
    }
    int32_t value = 0;
    if (ReadFilterValue(m_adjust, id, value)) return value;
    if (ok) *ok = 0;
    pushError(VIDLYN_ERR_INVALID_ARGUMENT);
    return 0;
}

int CVidlyn::GetRealExposureTime(int* ok) {
    m_realExposureTime = vidlyn::camera::ExposureMicroseconds(m_analog.m_exposureTime);
    if (ok) *ok = 1;
    return m_realExposureTime;
}
