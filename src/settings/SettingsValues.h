// The stored values of each settings group: registry names, the record fields
// they feed, their order, and what a field takes when its group is missing.
// Shared by the reading (SettingsLoad.cpp) and the writing (RegistryStore.cpp).
#pragma once
#include <cstdint>

#include "settings/SettingsRecords.h"

namespace settings {

// The seven values of a size preset, in their stored order.
struct PresetValue {
    const char* name;
    int32_t PresetRecord::*field;
};
inline constexpr PresetValue kPresetValues[] = {
    {"TH", &PresetRecord::totalWidth},   {"TV", &PresetRecord::totalHeight}, {"EH", &PresetRecord::width},
    {"EV", &PresetRecord::height},       {"EHS", &PresetRecord::startX},     {"EVS", &PresetRecord::startY},
    {"Buf", &PresetRecord::bufferCount},
};

// The analog group in its stored order; the gains share the carried value
// of the loading.
struct AnalogValue {
    const char* name;
    int32_t AnalogBlock::*field;
    bool carried;
};
inline constexpr AnalogValue kAnalogValues[] = {
    {"Global", &AnalogBlock::m_globalGain, true},       {"ColorG1", &AnalogBlock::m_colorGainGreen1, true},
    {"ColorR", &AnalogBlock::m_colorGainRed, true},     {"ColorB", &AnalogBlock::m_colorGainBlue, true},
    {"ColorG2", &AnalogBlock::m_colorGainGreen2, true}, {"Exposure", &AnalogBlock::m_exposureTime, false},
    {"V_Mirror", &AnalogBlock::m_mirrorV, false},       {"H_Mirror", &AnalogBlock::m_mirrorH, false},
    {"AutoIris", &AnalogBlock::m_autoIris, false},
};

// The five root values of the stream format group.
struct RootValue {
    const char* name;
    int32_t PresetTable::*field;
};
inline constexpr RootValue kRootValues[] = {
    {"Size", &PresetTable::size},         {"Color", &PresetTable::color}, {"SubSample", &PresetTable::subSample},
    {"WaitTime", &PresetTable::waitTime}, {"Clock", &PresetTable::clock},
};

// One value of an adjustment group: its registry name, the field it feeds and
// the value the field takes when the group's key is missing.
struct AdjustValue {
    const char* name;
    int32_t ImageAdjustBlock::*field;
    int32_t fallback;
};
inline constexpr AdjustValue kFilterValues[] = {
    {"Brightness", &ImageAdjustBlock::m_brightness, 0},
    {"Contrast", &ImageAdjustBlock::m_contrast, 0},
    {"Hue", &ImageAdjustBlock::m_hue, 0},
    {"Saturation", &ImageAdjustBlock::m_saturation, 0},
    {"Sharpness", &ImageAdjustBlock::m_sharpness, 0},
    {"R_Gain", &ImageAdjustBlock::m_bayerGainRed, 100},
    {"G_Gain", &ImageAdjustBlock::m_bayerGainGreen, 100},
    {"B_Gain", &ImageAdjustBlock::m_bayerGainBlue, 100},
    {"Gamma", &ImageAdjustBlock::m_gamma, 100},
    {"BayerMode", &ImageAdjustBlock::m_bayerMode, 3},
};
inline constexpr AdjustValue kGrayValues[] = {
    {"Mode", &ImageAdjustBlock::m_grayMode, 0},         {"GainR1", &ImageAdjustBlock::m_grayGainR, 128},
    {"GainG1", &ImageAdjustBlock::m_grayGainG1, 128},   {"GainG2", &ImageAdjustBlock::m_grayGainG2, 128},
    {"GainB1", &ImageAdjustBlock::m_grayGainB, 128},    {"OffsetR1", &ImageAdjustBlock::m_grayOffsetR, 0},
    {"OffsetG1", &ImageAdjustBlock::m_grayOffsetG1, 0}, {"OffsetG2", &ImageAdjustBlock::m_grayOffsetG2, 0},
    {"OffsetB1", &ImageAdjustBlock::m_grayOffsetB, 0},
};

}  // namespace settings
