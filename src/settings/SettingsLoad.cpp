#include "settings/SettingsLoad.h"

#include <cstdio>
#include <cstring>

#include "settings/SettingsValues.h"

using namespace settings;

namespace {

template <class T>
bool ReadDword(SettingsSource& source, const char* group, const char* name, T& field) {
    uint8_t data[4] = {};
    uint32_t type = 0;
    uint32_t size = sizeof(data);
    if (!source.Read(group, name, type, data, size) || type != kStoredDword || size != sizeof(data)) return false;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{data[i]} << (8 * i);
    field = static_cast<T>(value);
    return true;
}

// Reads a preset key; a missing value leaves its field of `record` as it was.
void ReadPreset(SettingsSource& source, const char* group, PresetRecord& record) {
    for (const auto& v : kPresetValues) ReadStoredValue(source, group, v.name, record.*v.field);
}

// Loads one adjustment group. A missing key puts the group's fallbacks into
// the fields and returns 0; a value missing inside the key leaves its field.
template <size_t N>
int ReadAdjustGroup(SettingsSource& source, ImageAdjustBlock& a, const char* group, const AdjustValue (&values)[N]) {
    if (!source.HasGroup(nullptr) || !source.HasGroup(group)) {
        for (const AdjustValue& v : values) a.*v.field = v.fallback;
        return 0;
    }
    for (const AdjustValue& v : values) ReadStoredValue(source, group, v.name, a.*v.field);
    return 1;
}

}  // namespace

bool ReadStoredValue(SettingsSource& source, const char* group, const char* name, int32_t& field) {
    return ReadDword(source, group, name, field);
}

bool ReadStoredValue(SettingsSource& source, const char* group, const char* name, uint32_t& field) {
    return ReadDword(source, group, name, field);
}

void PresetKeyName(char (&name)[32], int index) { std::snprintf(name, sizeof(name), "Size_%02d", index); }

int ReadCameraFormat(SettingsSource& source, PresetRecord& geometry) {
    int32_t size = 0;
    if (!ReadStoredValue(source, nullptr, "Size", size)) return 0;
    char name[32];
    PresetKeyName(name, size);
    if (!source.HasGroup(name)) return 0;
    ReadPreset(source, name, geometry);
    return 1;
}

int ReadStreamSettings(SettingsSource& source, StreamFormat& format) {
    if (!source.HasGroup(nullptr)) return 0;
    ReadStoredValue(source, nullptr, "Color", format.colorType);
    ReadStoredValue(source, nullptr, "SubSample", format.subSample);
    // The acquisition loop sleeps this long before every poll: a negative value
    // would be an endless sleep (and a stop that never returns), so it counts
    // as missing, as Vidlyn_SetWaitTime refuses it.
    int32_t waitTime = 0;
    if (ReadStoredValue(source, nullptr, "WaitTime", waitTime) && waitTime >= 0) format.waitTime = waitTime;
    ReadStoredValue(source, nullptr, "Clock", format.clock);
    return 1;
}

int ReadFilterSettings(SettingsSource& source, ImageAdjustBlock& adjust) {
    const int loaded = ReadAdjustGroup(source, adjust, "Filter", kFilterValues);
    if (!loaded) {
        // Without stored filter settings the automatic adjustments start off.
        adjust.m_bayerGainAuto = 0;
        adjust.m_bayerGainAutoOnce = 0;
        adjust.m_bayerGainAutoOnce2 = 0;
        adjust.m_grayAutoGainFrames = 0;
    }
    return loaded;
}

int ReadGraySettings(SettingsSource& source, ImageAdjustBlock& adjust) {
    return ReadAdjustGroup(source, adjust, "Gray", kGrayValues);
}

int ReadAnalogSettings(SettingsSource& source, AnalogBlock& g, int32_t mirrorV, int32_t mirrorH) {
    if (!source.HasGroup(nullptr) || !source.HasGroup("Gain")) {
        g.m_globalGain = 100;
        g.m_colorGainGreen1 = 0;
        g.m_colorGainRed = 0;
        g.m_colorGainBlue = 0;
        g.m_colorGainGreen2 = 0;
        g.m_exposureTime = 100;
        g.m_mirrorV = mirrorV;
        g.m_mirrorH = mirrorH;
        g.m_autoIris = 0;
        return 1;
    }
    // The gains pass through one value that is not reset between reads: a
    // missing "Global" gives 0 and a missing colour gain repeats the gain read
    // just before it. The stored colour gains are all copies of the global gain.
    int32_t gain = 0;
    for (const AnalogValue& v : kAnalogValues) {
        if (v.carried) {
            ReadStoredValue(source, "Gain", v.name, gain);
            g.*v.field = gain;
        } else {
            ReadStoredValue(source, "Gain", v.name, g.*v.field);
        }
    }
    return 1;
}

int ReadPresetTable(SettingsSource& source, PresetTable& table) {
    if (!source.HasGroup(nullptr)) return 0;
    int n = 0;
    for (; n < PresetTable::kMaxPresets; ++n) {
        char name[32];
        PresetKeyName(name, n);
        if (!source.HasGroup(name)) break;
        ReadPreset(source, name, table.presets[n]);
    }
    table.count = n;
    for (const auto& v : kRootValues) ReadStoredValue(source, nullptr, v.name, table.*v.field);
    return 1;
}

PresetTable::PresetTable() : presets{}, count(0), size(0), color(0), subSample(0), waitTime(10), clock(0) {
    for (PresetRecord& record : presets) record.bufferCount = 10;
}
