// The settings store: the user's camera settings kept between runs under
// HKEY_CURRENT_USER\Software\Norvex\VidlynQM77203Sdk, all as 4-byte REG_DWORD
// values (negative ones in two's complement).
//
//   (root)   "Size" (active preset), "Color", "SubSample", "WaitTime", "Clock"
//   Size_NN  "TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"   (NN = 00 .. 99)
//   Filter   image adjustment values
//   Gray     gray processing values
//   Gain     global gain, colour gains, exposure, mirrors, auto iris
//
// Every operation opens its keys, transfers the values and closes the keys
// again; 1 on success, 0 on failure. A value of another type or size than a
// 4-byte REG_DWORD counts as missing.
#pragma once
#include <cstdint>

class CVidlyn;

// Root key below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "Software\\Norvex\\VidlynQM77203Sdk";

// Geometry of the active preset into the session. On the first start writes
// the default format (Size_00 at full sensor size, colour mode 24 bits) and
// reports 12; a missing "Size" or preset key also reports 12.
int LoadCameraFormat(CVidlyn& session);
// "Color", "SubSample", "WaitTime", "Clock", taken as stored; 12 when the key is missing.
int LoadStreamSettings(CVidlyn& session);

// Image filter values; a missing key gives the defaults (and 0 as result).
int LoadFilterSettings(CVidlyn& session);
int SaveFilterSettings(const CVidlyn& session);
// Gray processing values; a missing key gives the defaults (and 0 as result).
int LoadGraySettings(CVidlyn& session);
int SaveGraySettings(const CVidlyn& session);
// Gain, exposure, mirrors and auto iris; a missing key gives the defaults.
int LoadAnalogSettings(CVidlyn& session);
int SaveAnalogSettings(const CVidlyn& session);

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

// Reads consecutive Size_NN keys (stopping at the first gap) and the root
// values; 0 and the table unchanged when the root key is missing.
int LoadPresetTable(PresetTable& table);
// Writes presets 0 .. count - 1 (stopping at the first key that cannot be
// created) and the root values.
int SavePresetTable(const PresetTable& table);
