// The 27 numbered image adjustment parameters. Most are plain session fields
// that the frame conversion reads for every frame; the global gain (13) and
// the exposure value (18) also go to the camera at once and read back from it.
#include <windows.h>

#include <climits>
#include <cmath>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "session/CVidlyn.h"

namespace {

struct Range {
    int lo;
    int hi;
};

// Accepted range of each plain id; ids 6, 10, 13, 18 are handled apart and
// ids 14..17 (per-channel analog gains) do not exist on this camera.
bool PlainRange(int id, Range& range) {
    switch (id) {
        case VIDLYN_FILTER_BRIGHTNESS:
            range = {-255, 255};
            return true;
        case VIDLYN_FILTER_CONTRAST:
            range = {-127, 127};
            return true;
        case VIDLYN_FILTER_HUE:
            range = {-360, 360};
            return true;
        case VIDLYN_FILTER_SATURATION:
            range = {-255, 255};
            return true;
        case VIDLYN_FILTER_SHARPNESS:
            range = {0, 30};
            return true;
        case VIDLYN_FILTER_BAYER_GAIN_RED:
        case VIDLYN_FILTER_BAYER_GAIN_GREEN:
        case VIDLYN_FILTER_BAYER_GAIN_BLUE:
            range = {0, 800};
            return true;
        case VIDLYN_FILTER_GAMMA:
            range = {0, 200};
            return true;
        case VIDLYN_FILTER_BAYER_MODE:
            range = {0, 3};
            return true;
        case VIDLYN_FILTER_GRAY_MODE:
            range = {0, 2};
            return true;
        case VIDLYN_FILTER_GRAY_GAIN_R:
        case VIDLYN_FILTER_GRAY_GAIN_G1:
        case VIDLYN_FILTER_GRAY_GAIN_G2:
        case VIDLYN_FILTER_GRAY_GAIN_B:
            range = {0, 255};
            return true;
        case VIDLYN_FILTER_GRAY_OFFSET_R:
        case VIDLYN_FILTER_GRAY_OFFSET_G1:
        case VIDLYN_FILTER_GRAY_OFFSET_G2:
        case VIDLYN_FILTER_GRAY_OFFSET_B:
            range = {-255, 255};
            return true;
        default:
            return false;
    }
}

// Session field of each plain id (the same ids as PlainRange), else null.
int32_t* PlainField(ImageAdjustBlock& a, int id) {
    switch (id) {
        case VIDLYN_FILTER_BRIGHTNESS:
            return &a.m_brightness;
        case VIDLYN_FILTER_CONTRAST:
            return &a.m_contrast;
        case VIDLYN_FILTER_HUE:
            return &a.m_hue;
        case VIDLYN_FILTER_SATURATION:
            return &a.m_saturation;
        case VIDLYN_FILTER_SHARPNESS:
            return &a.m_sharpness;
        case VIDLYN_FILTER_BAYER_GAIN_RED:
            return &a.m_bayerGainRed;
        case VIDLYN_FILTER_BAYER_GAIN_GREEN:
            return &a.m_bayerGainGreen;
        case VIDLYN_FILTER_BAYER_GAIN_BLUE:
            return &a.m_bayerGainBlue;
        case VIDLYN_FILTER_BAYER_GAIN_AUTO:
            return &a.m_bayerGainAuto;
        case VIDLYN_FILTER_GAMMA:
            return &a.m_gamma;
        case VIDLYN_FILTER_BAYER_MODE:
            return &a.m_bayerMode;
        case VIDLYN_FILTER_GRAY_MODE:
            return &a.m_grayMode;
        case VIDLYN_FILTER_GRAY_GAIN_R:
            return &a.m_grayGainR;
        case VIDLYN_FILTER_GRAY_GAIN_G1:
            return &a.m_grayGainG1;
        case VIDLYN_FILTER_GRAY_GAIN_G2:
            return &a.m_grayGainG2;
        case VIDLYN_FILTER_GRAY_GAIN_B:
            return &a.m_grayGainB;
        case VIDLYN_FILTER_GRAY_OFFSET_R:
            return &a.m_grayOffsetR;
        case VIDLYN_FILTER_GRAY_OFFSET_G1:
            return &a.m_grayOffsetG1;
        case VIDLYN_FILTER_GRAY_OFFSET_G2:
            return &a.m_grayOffsetG2;
        case VIDLYN_FILTER_GRAY_OFFSET_B:
            return &a.m_grayOffsetB;
        default:
            return nullptr;
    }
}

constexpr int kGainMax = 1023;
constexpr int kExposureMin = 1;
constexpr int kExposureMax = 3335;
constexpr DWORD kExposureSettleMs = 120;  // the camera needs this long to apply a new exposure

}  // namespace

int CVidlyn::SetFilterValue(int id, int value) {
    if (!m_device) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    switch (id) {
        case VIDLYN_FILTER_BAYER_GAIN_RGB:
            // red in bits 0-7, green in 8-15, blue in 16-23; bits 24-31 ignored
            m_adjust.m_bayerGainRed = value & 0xFF;
            m_adjust.m_bayerGainGreen = (value >> 8) & 0xFF;
            m_adjust.m_bayerGainBlue = (value >> 16) & 0xFF;
            return 1;
        case VIDLYN_FILTER_BAYER_GAIN_AUTO:
            m_adjust.m_bayerGainAuto = value ? 1 : 0;
            return 1;
        case VIDLYN_FILTER_GLOBAL_GAIN:
            if (value < 0 || value > kGainMax) break;
            // No per-channel analog gain on this camera: the colour gains follow the global gain.
            m_analog.m_globalGain = value;
            m_analog.m_colorGainGreen1 = value;
            m_analog.m_colorGainRed = value;
            m_analog.m_colorGainBlue = value;
            m_analog.m_colorGainGreen2 = value;
            m_device->SetGlobalGain(value & 0xFFFF);
            return 1;
        case VIDLYN_FILTER_EXPOSURE:
            if (value < kExposureMin || value > kExposureMax) break;
            m_analog.m_exposureTime = value;
            m_device->SetExposure(value);
            return 1;
        default: {
            Range range;
            if (!PlainRange(id, range) || value < range.lo || value > range.hi) break;
            *PlainField(m_adjust, id) = value;
            return 1;
        }
    }
    pushError(VIDLYN_ERR_INVALID_ARGUMENT);
    return 0;
}

int CVidlyn::GetFilterValue(int id, int* ok) {
    if (!m_device) {
        if (ok) *ok = 0;
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (ok) *ok = 1;
    switch (id) {
        case VIDLYN_FILTER_BAYER_GAIN_RGB:
            return (m_adjust.m_bayerGainRed & 0xFF) | (m_adjust.m_bayerGainGreen & 0xFF) << 8 |
                   (m_adjust.m_bayerGainBlue & 0xFF) << 16;
        case VIDLYN_FILTER_GLOBAL_GAIN:
            return m_device->GetGlobalGain();
        case VIDLYN_FILTER_EXPOSURE: {
            Sleep(kExposureSettleMs);
            int value = 0;
            if (!m_device->GetExposure(&value)) {
                // The camera never accepted an exposure value: nothing valid to report.
                if (ok) *ok = 0;
                return 0;
            }
            return value;
        }
        default: {
            Range range;
            if (id != VIDLYN_FILTER_BAYER_GAIN_AUTO && !PlainRange(id, range)) break;
            return *PlainField(m_adjust, id);
        }
    }
    if (ok) *ok = 0;
    pushError(VIDLYN_ERR_INVALID_ARGUMENT);
    return 0;
}

int CVidlyn::GetRealExposureTime(int* ok) {
    // Microseconds for exposure value e: ((3335 - e) * 2775 + 578) / 32,
    // truncated. A stored value far outside 1 .. 3335 saturates instead of
    // overflowing the result.
    const double e = m_analog.m_exposureTime;
    double us = std::trunc(((kExposureMax - e) * 2775.0 + 578.0) * 0.03125);
    if (us > INT_MAX) us = INT_MAX;
    if (us < INT_MIN) us = INT_MIN;
    m_realExposureTime = static_cast<int32_t>(us);
    if (ok) *ok = 1;
    return m_realExposureTime;
}
