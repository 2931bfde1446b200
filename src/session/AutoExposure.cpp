// Automatic exposure ("auto iris"): every third converted frame, five small
// windows of the raw picture are measured and, when the picture is clearly too
// dark or too bright, the global gain (mode 2) or the exposure value (mode 1)
// is scaled and sent to the camera. A larger exposure value means a shorter
// exposure, so the value is divided by the factor while the gain is
// multiplied by it.
#include <atomic>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "output/DibBuffer.h"
#include "pixel/measure/ExposureMeasure.h"
#include "session/CVidlyn.h"

namespace {

// One frame divider for the whole process, shared by every session: with two
// sessions streaming, each sees only some of the measuring turns.
std::atomic<int32_t> g_exposureDivider{0};

constexpr int kGainEditControl = 1015;
constexpr int kExposureEditControl = 1027;

}  // namespace

int CVidlyn::RegulateExposure(DibBuffer* source) {
    const int mode = m_analog.m_autoIris;
    if (mode != 1 && mode != 2) {
        pushError(VIDLYN_ERR_NONE);  // notified for every frame while the mode is off, never recorded
        return 0;
    }
    if (source == nullptr || source->bits == nullptr || m_device == nullptr ||
        (source->bitCount != 8 && source->bitCount != 16)) {
        pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }

    // Counter 0 -> 2 -> 1 -> 0: the measurement runs on every third call.
    const int32_t left = g_exposureDivider.fetch_sub(1) - 1;
    if (left < 0) {
        g_exposureDivider.store(2);
        return 0;
    }
    if (left != 0) {
        return 0;
    }

    const int factor = MeasureExposureFactor(source->bits, source->width, source->height, source->stride,
                                             source->bitCount / 8, nullptr);
    if (!ExposureNeedsChange(factor)) {
        return 1;
    }

    if (mode == 2) {
        const int gain = ComputeNewGain(m_analog.m_globalGain, factor, vidlyn::camera::kGainMax);
        m_device->SetGlobalGain(gain & 0xFFFF);
        m_analog.m_globalGain = gain;
        ShowAnalogDialogValue(kGainEditControl);
    } else {
        const int current = m_analog.m_exposureTime;
        const int exposureMax =
            m_device->m_subSample != 0 ? vidlyn::camera::kExposureMaxSubsampled : vidlyn::camera::kExposureMax;
        const int exposure = ComputeNewExposure(current, factor, exposureMax);
        if (exposure > current) {
            Sleep(1);
        }
        m_device->SetExposure(exposure);
        m_analog.m_exposureTime = exposure;
        ShowAnalogDialogValue(kExposureEditControl);
    }
    return 1;
}
