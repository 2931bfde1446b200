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

#include "settings/SettingsRecords.h"

// Root key below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "Software\\Norvex\\VidlynQM77203Sdk";

// The geometry of the active preset into `geometry`; a value missing in the
// preset key leaves its field. On the first start writes the default format
// (Size_00 at full sensor size, colour mode 24 bits) and returns 0; a missing
// "Size" value or preset key also returns 0. The session reports every 0 as
// error 12 and keeps its built-in geometry.
int LoadCameraFormat(PresetRecord& geometry);
// "Color", "SubSample", "WaitTime", "Clock", taken as stored (a negative wait
// time counts as missing); 0 when the root key is missing, which the session
// reports as error 12.
int LoadStreamSettings(StreamFormat& format);

// Image filter group of the block; a missing key gives the defaults, switches
// the automatic adjustments off and returns 0 (nothing to report).
int LoadFilterSettings(ImageAdjustBlock& adjust);
int SaveFilterSettings(const ImageAdjustBlock& adjust);
// Gray processing group of the block; a missing key gives the defaults (and 0).
int LoadGraySettings(ImageAdjustBlock& adjust);
int SaveGraySettings(const ImageAdjustBlock& adjust);
// Gain, exposure, mirrors and auto iris. A missing key gives the defaults,
// with the mirror flags the camera reports (`mirrorV`, `mirrorH`).
int LoadAnalogSettings(AnalogBlock& analog, int32_t mirrorV, int32_t mirrorH);
int SaveAnalogSettings(const AnalogBlock& analog);

// Reads consecutive Size_NN keys (stopping at the first gap) and the root
// values; 0 and the table unchanged when the root key is missing.
int LoadPresetTable(PresetTable& table);
// Writes presets 0 .. count - 1 (stopping at the first key that cannot be
// created) and the root values.
int SavePresetTable(const PresetTable& table);
