// The plain records that the settings store loads and saves and the dialogs
// edit. The session holds the two adjustment blocks as fields of its own and
// copies the stream format and the geometry in and out; nothing here knows
// the session.
#pragma once
#include <cstdint>

// Image adjustment block: the filter group (brightness .. Bayer phase), the
// gray group (gray mode .. offsets) and the automatic adjustment state; 30
// values that the filter dialogs and the store work on through one pointer.
// Spare slots stay zero.
struct ImageAdjustBlock {
    int32_t m_brightness;
    int32_t m_contrast;
    int32_t m_hue;
    int32_t m_saturation;
    int32_t m_sharpness;
    int32_t m_bayerGainRed;
    int32_t m_bayerGainGreen;
    int32_t m_bayerGainBlue;
    int32_t m_gamma;
    int32_t m_bayerMode;
    int32_t spare1;
    int32_t m_grayMode;
    int32_t m_grayGainR;
    int32_t m_grayGainG1;
    int32_t m_grayGainG2;
    int32_t m_grayGainB;
    int32_t m_grayOffsetR;
    int32_t m_grayOffsetG1;
    int32_t m_grayOffsetG2;
    int32_t m_grayOffsetB;
    int32_t spare2[5];
    int32_t m_bayerGainAuto;
    int32_t m_bayerGainAutoOnce;
    int32_t m_bayerGainAutoOnce2;  // set and cleared together with m_bayerGainAutoOnce
    int32_t spare3;
    int32_t m_grayAutoGainFrames;
};
static_assert(sizeof(ImageAdjustBlock) == 30 * 4, "image adjustment block holds 30 values");

// Analog block: 9 values worked on through one pointer by the analog dialog
// and the store.
struct AnalogBlock {
    int32_t m_globalGain;
    int32_t m_colorGainGreen1;
    int32_t m_colorGainRed;
    int32_t m_colorGainBlue;
    int32_t m_colorGainGreen2;
    int32_t m_exposureTime;
    int32_t m_mirrorV;
    int32_t m_mirrorH;
    int32_t m_autoIris;
};
static_assert(sizeof(AnalogBlock) == 9 * 4, "analog block holds 9 values");

// The stream format's root values that a session runs with.
struct StreamFormat {
    int32_t colorType;  // "Color", colour mode index 0 .. 5
    int32_t subSample;  // "SubSample"
    int32_t waitTime;   // "WaitTime", milliseconds before each poll
    uint32_t clock;     // "Clock"
};

// One size preset: total and effective geometry and buffer count.
struct PresetRecord {
    int32_t totalWidth;   // "TH"
    int32_t totalHeight;  // "TV"
    int32_t width;        // "EH"
    int32_t height;       // "EV"
    int32_t startX;       // "EHS"
    int32_t startY;       // "EVS"
    int32_t bufferCount;  // "Buf"
};
static_assert(sizeof(PresetRecord) == 7 * 4, "a preset record holds seven values");

// The camera format group as the format dialog edits it: the presets in
// Size_00 onwards, their count and the five root values.
struct PresetTable {
    static constexpr int kMaxPresets = 100;

    PresetRecord presets[kMaxPresets];
    int32_t count;
    int32_t size;   // active preset
    int32_t color;  // colour mode index
    int32_t subSample;
    int32_t waitTime;
    int32_t clock;

    // A fresh table: no presets, Size 0, Color 0, SubSample 0, WaitTime 10,
    // Clock 0, every record zero but Buf 10.
    PresetTable();
};
