// The ids of the image adjustment parameters over the adjustment blocks: one
// table for the plain fields, and the ids that are stored differently.
#include "settings/AdjustParameters.h"

#include "VidlynSdk.h"
#include "device/CameraFacts.h"

namespace {

// The ids that are one field of the image adjustment block, with the values a
// setter accepts (inclusive). Ids 6, 10, 13 and 18 are stored differently;
// ids 14..17 (per-channel analog gains) do not exist on this camera.
struct PlainParameter {
    int id;
    int lo;
    int hi;
    int32_t ImageAdjustBlock::*field;
};

constexpr PlainParameter kPlainParameters[] = {
    {VIDLYN_FILTER_BRIGHTNESS, -255, 255, &ImageAdjustBlock::m_brightness},
    {VIDLYN_FILTER_CONTRAST, -127, 127, &ImageAdjustBlock::m_contrast},
    {VIDLYN_FILTER_HUE, -360, 360, &ImageAdjustBlock::m_hue},
    {VIDLYN_FILTER_SATURATION, -255, 255, &ImageAdjustBlock::m_saturation},
    {VIDLYN_FILTER_SHARPNESS, 0, 30, &ImageAdjustBlock::m_sharpness},
    {VIDLYN_FILTER_BAYER_GAIN_RED, 0, 800, &ImageAdjustBlock::m_bayerGainRed},
    {VIDLYN_FILTER_BAYER_GAIN_GREEN, 0, 800, &ImageAdjustBlock::m_bayerGainGreen},
    {VIDLYN_FILTER_BAYER_GAIN_BLUE, 0, 800, &ImageAdjustBlock::m_bayerGainBlue},
    {VIDLYN_FILTER_GAMMA, 0, 200, &ImageAdjustBlock::m_gamma},
    {VIDLYN_FILTER_BAYER_MODE, 0, 3, &ImageAdjustBlock::m_bayerMode},
    {VIDLYN_FILTER_GRAY_MODE, 0, 2, &ImageAdjustBlock::m_grayMode},
    {VIDLYN_FILTER_GRAY_GAIN_R, 0, 255, &ImageAdjustBlock::m_grayGainR},
    {VIDLYN_FILTER_GRAY_GAIN_G1, 0, 255, &ImageAdjustBlock::m_grayGainG1},
    {VIDLYN_FILTER_GRAY_GAIN_G2, 0, 255, &ImageAdjustBlock::m_grayGainG2},
    {VIDLYN_FILTER_GRAY_GAIN_B, 0, 255, &ImageAdjustBlock::m_grayGainB},
    {VIDLYN_FILTER_GRAY_OFFSET_R, -255, 255, &ImageAdjustBlock::m_grayOffsetR},
    {VIDLYN_FILTER_GRAY_OFFSET_G1, -255, 255, &ImageAdjustBlock::m_grayOffsetG1},
    {VIDLYN_FILTER_GRAY_OFFSET_G2, -255, 255, &ImageAdjustBlock::m_grayOffsetG2},
    {VIDLYN_FILTER_GRAY_OFFSET_B, -255, 255, &ImageAdjustBlock::m_grayOffsetB},
};

const PlainParameter* FindPlain(int id) {
    for (const PlainParameter& p : kPlainParameters)
        if (p.id == id) return &p;
    return nullptr;
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
            const PlainParameter* p = FindPlain(id);
            if (!p || value < p->lo || value > p->hi) return false;
            adjust.*p->field = value;
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
    if (id == VIDLYN_FILTER_BAYER_GAIN_AUTO) {
        value = adjust.m_bayerGainAuto;
        return true;
    }
    const PlainParameter* p = FindPlain(id);
    if (!p) return false;
    value = adjust.*p->field;
    return true;
}
