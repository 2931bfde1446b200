#include "settings/RegistryStore.h"

#include <windows.h>

#include <cstdio>
#include <type_traits>

#include "device/CameraFacts.h"

namespace {

// An open registry key, closed when it goes out of scope.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool OpenRead(HKEY parent, const char* name) {
        Close();
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, &m_key) == ERROR_SUCCESS) return true;
        m_key = nullptr;
        return false;
    }
    bool Create(HKEY parent, const char* name) {
        Close();
        char noClass[] = "";
        if (RegCreateKeyExA(parent, name, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key,
                            nullptr) == ERROR_SUCCESS)
            return true;
        m_key = nullptr;
        return false;
    }
    void Close() {
        if (m_key) RegCloseKey(m_key);
        m_key = nullptr;
    }
    HKEY get() const { return m_key; }

    // Reads a 4-byte REG_DWORD into `field`; anything else counts as missing
    // and leaves the field as it was.
    template <class T>
    bool Read(const char* name, T& field) const {
        static_assert(std::is_integral_v<T> && sizeof(T) == 4);
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
            return false;
        if (type != REG_DWORD || size != sizeof(value)) return false;
        field = static_cast<T>(value);
        return true;
    }
    void Write(const char* name, int32_t field) const {
        const DWORD value = static_cast<DWORD>(field);
        RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

private:
    HKEY m_key = nullptr;
};

void PresetKeyName(char (&name)[32], int index) { std::snprintf(name, sizeof(name), "Size_%02d", index); }

bool OpenGroupRead(RegKey& root, RegKey& group, const char* groupName) {
    return root.OpenRead(HKEY_CURRENT_USER, kSettingsKey) && group.OpenRead(root.get(), groupName);
}

bool CreateGroup(RegKey& root, RegKey& group, const char* groupName) {
    return root.Create(HKEY_CURRENT_USER, kSettingsKey) && group.Create(root.get(), groupName);
}

// The seven values of a size preset, in their stored order.
constexpr struct {
    const char* name;
    int32_t PresetRecord::*field;
} kPresetValues[] = {
    {"TH", &PresetRecord::totalWidth},   {"TV", &PresetRecord::totalHeight}, {"EH", &PresetRecord::width},
    {"EV", &PresetRecord::height},       {"EHS", &PresetRecord::startX},     {"EVS", &PresetRecord::startY},
    {"Buf", &PresetRecord::bufferCount},
};

// Reads a preset key; a missing value leaves its field of `record` as it was.
void ReadPreset(const RegKey& key, PresetRecord& record) {
    for (const auto& v : kPresetValues) key.Read(v.name, record.*v.field);
}

void WritePreset(const RegKey& key, const PresetRecord& record) {
    for (const auto& v : kPresetValues) key.Write(v.name, record.*v.field);
}

// The analog group in its stored order; the gains share the carried value
// of LoadAnalogSettings.
struct AnalogValue {
    const char* name;
    int32_t AnalogBlock::*field;
    bool carried;
};
constexpr AnalogValue kAnalogValues[] = {
    {"Global", &AnalogBlock::m_globalGain, true},       {"ColorG1", &AnalogBlock::m_colorGainGreen1, true},
    {"ColorR", &AnalogBlock::m_colorGainRed, true},     {"ColorB", &AnalogBlock::m_colorGainBlue, true},
    {"ColorG2", &AnalogBlock::m_colorGainGreen2, true}, {"Exposure", &AnalogBlock::m_exposureTime, false},
    {"V_Mirror", &AnalogBlock::m_mirrorV, false},       {"H_Mirror", &AnalogBlock::m_mirrorH, false},
    {"AutoIris", &AnalogBlock::m_autoIris, false},
};

// The five root values of the stream format group.
constexpr struct {
    const char* name;
    int32_t PresetTable::*field;
} kRootValues[] = {
    {"Size", &PresetTable::size},         {"Color", &PresetTable::color}, {"SubSample", &PresetTable::subSample},
    {"WaitTime", &PresetTable::waitTime}, {"Clock", &PresetTable::clock},
};

// First start: stores the full-sensor format as preset 0 and the default
// stream settings. False when the keys cannot be created.
bool WriteDefaultFormat() {
    RegKey root;
    if (!root.Create(HKEY_CURRENT_USER, kSettingsKey)) return false;
    RegKey preset;
    if (!preset.Create(root.get(), "Size_00")) return false;
    using vidlyn::camera::kSensorHeight;
    using vidlyn::camera::kSensorWidth;
    WritePreset(preset, PresetRecord{kSensorWidth, kSensorHeight, kSensorWidth, kSensorHeight, 0, 0, 10});
    preset.Close();
    root.Write("Size", 0);
    root.Write("Color", 2);
    root.Write("SubSample", 0);
    root.Write("WaitTime", 10);
    root.Write("Clock", 0);
    return true;
}

}  // namespace

// --- stream format -----------------------------------------------------------

int LoadCameraFormat(PresetRecord& geometry) {
    RegKey root;
    if (!root.OpenRead(HKEY_CURRENT_USER, kSettingsKey)) {
        // The defaults written here equal the session's built-in geometry,
        // which therefore stays; the first start is reported all the same.
        WriteDefaultFormat();
        return 0;
    }
    int32_t size = 0;
    if (!root.Read("Size", size)) return 0;
    char name[32];
    PresetKeyName(name, size);
    RegKey preset;
    if (!preset.OpenRead(root.get(), name)) return 0;
    ReadPreset(preset, geometry);
    return 1;
}

int LoadStreamSettings(StreamFormat& format) {
    RegKey root;
    if (!root.OpenRead(HKEY_CURRENT_USER, kSettingsKey)) return 0;
    root.Read("Color", format.colorType);
    root.Read("SubSample", format.subSample);
    // The acquisition loop sleeps this long before every poll: a negative value
    // would be an endless sleep (and a stop that never returns), so it counts
    // as missing, as Vidlyn_SetWaitTime refuses it.
    int32_t waitTime = 0;
    if (root.Read("WaitTime", waitTime) && waitTime >= 0) format.waitTime = waitTime;
    root.Read("Clock", format.clock);
    return 1;
}

// --- image filter and gray processing ----------------------------------------

namespace {

// One value of an adjustment group: its registry name, the field it feeds and
// the value the field takes when the group's key is missing.
struct AdjustValue {
    const char* name;
    int32_t ImageAdjustBlock::*field;
    int32_t fallback;
};

constexpr AdjustValue kFilterValues[] = {
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

constexpr AdjustValue kGrayValues[] = {
    {"Mode", &ImageAdjustBlock::m_grayMode, 0},         {"GainR1", &ImageAdjustBlock::m_grayGainR, 128},
    {"GainG1", &ImageAdjustBlock::m_grayGainG1, 128},   {"GainG2", &ImageAdjustBlock::m_grayGainG2, 128},
    {"GainB1", &ImageAdjustBlock::m_grayGainB, 128},    {"OffsetR1", &ImageAdjustBlock::m_grayOffsetR, 0},
    {"OffsetG1", &ImageAdjustBlock::m_grayOffsetG1, 0}, {"OffsetG2", &ImageAdjustBlock::m_grayOffsetG2, 0},
    {"OffsetB1", &ImageAdjustBlock::m_grayOffsetB, 0},
};

// Loads one adjustment group. A missing key puts the group's fallbacks into
// the fields and returns 0; a value missing inside the key leaves its field.
template <size_t N>
int LoadAdjustGroup(ImageAdjustBlock& a, const char* groupName, const AdjustValue (&values)[N]) {
    RegKey root, group;
    if (!OpenGroupRead(root, group, groupName)) {
        for (const AdjustValue& v : values) a.*v.field = v.fallback;
        return 0;
    }
    for (const AdjustValue& v : values) group.Read(v.name, a.*v.field);
    return 1;
}

template <size_t N>
int SaveAdjustGroup(const ImageAdjustBlock& a, const char* groupName, const AdjustValue (&values)[N]) {
    RegKey root, group;
    if (!CreateGroup(root, group, groupName)) return 0;
    for (const AdjustValue& v : values) group.Write(v.name, a.*v.field);
    return 1;
}

}  // namespace

int LoadFilterSettings(ImageAdjustBlock& adjust) {
    const int loaded = LoadAdjustGroup(adjust, "Filter", kFilterValues);
    if (!loaded) {
        // Without stored filter settings the automatic adjustments start off.
        adjust.m_bayerGainAuto = 0;
        adjust.m_bayerGainAutoOnce = 0;
        adjust.m_bayerGainAutoOnce2 = 0;
        adjust.m_grayAutoGainFrames = 0;
    }
    return loaded;
}

int SaveFilterSettings(const ImageAdjustBlock& adjust) { return SaveAdjustGroup(adjust, "Filter", kFilterValues); }

int LoadGraySettings(ImageAdjustBlock& adjust) { return LoadAdjustGroup(adjust, "Gray", kGrayValues); }

int SaveGraySettings(const ImageAdjustBlock& adjust) { return SaveAdjustGroup(adjust, "Gray", kGrayValues); }

// --- analog gain, exposure, mirrors ----------------------------------------------

int LoadAnalogSettings(AnalogBlock& g, int32_t mirrorV, int32_t mirrorH) {
    RegKey root, group;
    if (!OpenGroupRead(root, group, "Gain")) {
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
            group.Read(v.name, gain);
            g.*v.field = gain;
        } else {
            group.Read(v.name, g.*v.field);
        }
    }
    return 1;
}

int SaveAnalogSettings(const AnalogBlock& g) {
    RegKey root, group;
    if (!CreateGroup(root, group, "Gain")) return 0;
    for (const AnalogValue& v : kAnalogValues) group.Write(v.name, g.*v.field);
    return 1;
}

// --- preset table --------------------------------------------------------------

PresetTable::PresetTable() : presets{}, count(0), size(0), color(0), subSample(0), waitTime(10), clock(0) {
    for (PresetRecord& record : presets) record.bufferCount = 10;
}

int LoadPresetTable(PresetTable& table) {
    RegKey root;
    if (!root.OpenRead(HKEY_CURRENT_USER, kSettingsKey)) return 0;
    int n = 0;
    for (; n < PresetTable::kMaxPresets; ++n) {
        char name[32];
        PresetKeyName(name, n);
        RegKey preset;
        if (!preset.OpenRead(root.get(), name)) break;
        ReadPreset(preset, table.presets[n]);
    }
    table.count = n;
    for (const auto& v : kRootValues) root.Read(v.name, table.*v.field);
    return 1;
}

int SavePresetTable(const PresetTable& table) {
    RegKey root;
    if (!root.Create(HKEY_CURRENT_USER, kSettingsKey)) return 0;
    // A count outside 0 .. 100 writes no record beyond the table.
    const int count =
        table.count < 0 ? 0 : (table.count > PresetTable::kMaxPresets ? PresetTable::kMaxPresets : table.count);
    for (int n = 0; n < count; ++n) {
        char name[32];
        PresetKeyName(name, n);
        RegKey preset;
        if (!preset.Create(root.get(), name)) break;
        WritePreset(preset, table.presets[n]);
    }
    for (const auto& v : kRootValues) root.Write(v.name, table.*v.field);
    return 1;
}
