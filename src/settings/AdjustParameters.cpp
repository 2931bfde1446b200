// The ids of the image adjustment parameters over the adjustment blocks: one
// table of ranges, one of fields, and the ids that are stored differently.
#include "settings/AdjustParameters.h"

#include "VidlynSdk.h"
#include "device/CameraFacts.h"

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

// Field of each plain id (the ids of PlainRange and the automatic white
// balance flag), else null.
template <class Block>
auto PlainField(Block& a, int id) -> decltype(&a.m_brightness) {
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

}  // namespace

bool StoreFilterValue(ImageAdjustBlock& adjust, AnalogBlock& analog, int id, int value) {
    switch (id) {
        case VIDLYN_FILTER_BAYER_GAIN_RGB:
            // red in bits 0-7, green in 8-15, blue in 16-23; bits 24-31 ignored
            adjust.m_bayerGainRed = value & 0xFF;
            adjust.m_bayerGainGreen = (value >> 8) & 0xFF;
            adjust.m_bayerGainBlue = (value >> 16) & 0xFF;
            return true;
        case VIDLYN_FILTER_BAYER_GAIN_AUTO:
            adjust.m_bayerGainAuto = value ? 1 : 0;
            return true;
        case VIDLYN_FILTER_GLOBAL_GAIN:
            if (value < vidlyn::camera::kGainMin || value > vidlyn::camera::kGainMax) return false;
            // No per-channel analog gain on this camera: the colour gains follow the global gain.
            analog.m_globalGain = value;
            analog.m_colorGainGreen1 = value;
            analog.m_colorGainRed = value;
            analog.m_colorGainBlue = value;
            analog.m_colorGainGreen2 = value;
            return true;
        case VIDLYN_FILTER_EXPOSURE:
            if (value < vidlyn::camera::kExposureMin || value > vidlyn::camera::kExposureMax) return false;
            analog.m_exposureTime = value;
            return true;
        default: {
            Range range;
            if (!PlainRange(id, range) || value < range.lo || value > range.hi) return false;
            *PlainField(adjust, id) = value;
            return true;
        }
    }
}

bool ReadFilterValue(const ImageAdjustBlock& adjust, int id, int32_t& value) {
    if (id == VIDLYN_FILTER_BAYER_GAIN_RGB) {
        value = (adjust.m_bayerGainRed & 0xFF) | (adjust.m_bayerGainGreen & 0xFF) << 8 |
                (adjust.m_bayerGainBlue & 0xFF) << 16;
        return true;
    }
    Range range;
    if (id != VIDLYN_FILTER_BAYER_GAIN_AUTO && !PlainRange(id, range)) return false;
    value = *PlainField(adjust, id);
    return true;
}
