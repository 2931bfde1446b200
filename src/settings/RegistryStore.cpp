#include "settings/RegistryStore.h"

#include <windows.h>

#include <string>

#include "device/CameraFacts.h"
#include "settings/SettingsLoad.h"
#include "settings/SettingsValues.h"

using namespace settings;

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

    void Write(const char* name, int32_t field) const {
        const DWORD value = static_cast<DWORD>(field);
        RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

private:
    HKEY m_key = nullptr;
};

bool CreateGroup(RegKey& root, RegKey& group, const char* groupName) {
    return root.Create(HKEY_CURRENT_USER, kSettingsKey) && group.Create(root.get(), groupName);
}

void WritePreset(const RegKey& key, const PresetRecord& record) {
    for (const auto& v : kPresetValues) key.Write(v.name, record.*v.field);
}

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

// The settings key as a source of stored values; the root key is opened once,
// a group's key when a value of it is first asked for.
class RegistrySource final : public SettingsSource {
public:
    RegistrySource() { m_hasRoot = m_root.OpenRead(HKEY_CURRENT_USER, kSettingsKey); }
    bool HasGroup(const char* group) override { return Key(group) != nullptr; }
    bool Read(const char* group, const char* name, uint32_t& type, uint8_t* data, uint32_t& size) override {
        const HKEY key = Key(group);
        if (!key) return false;
        DWORD t = 0;
        DWORD n = size;
        const LONG result = RegQueryValueExA(key, name, nullptr, &t, data, &n);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return false;
        type = t;
        size = n;
        return true;
    }

private:
    HKEY Key(const char* group) {
        if (!m_hasRoot) return nullptr;
        if (!group) return m_root.get();
        if (m_groupName != group) {
            m_groupName = group;
            m_group.OpenRead(m_root.get(), group);
        }
        return m_group.get();
    }
    RegKey m_root, m_group;
    bool m_hasRoot = false;
    std::string m_groupName;
};

}  // namespace

// --- stream format -----------------------------------------------------------

int LoadCameraFormat(PresetRecord& geometry) {
    RegistrySource source;
    if (!source.HasGroup(nullptr)) {
        // The defaults written here equal the session's built-in geometry,
        // which therefore stays; the first start is reported all the same.
        WriteDefaultFormat();
        return 0;
    }
    return ReadCameraFormat(source, geometry);
}

int LoadStreamSettings(StreamFormat& format) {
    RegistrySource source;
    return ReadStreamSettings(source, format);
}

// --- image filter and gray processing ----------------------------------------

namespace {

template <size_t N>
int SaveAdjustGroup(const ImageAdjustBlock& a, const char* groupName, const AdjustValue (&values)[N]) {
    RegKey root, group;
    if (!CreateGroup(root, group, groupName)) return 0;
    for (const AdjustValue& v : values) group.Write(v.name, a.*v.field);
    return 1;
}

}  // namespace

int LoadFilterSettings(ImageAdjustBlock& adjust) {
    RegistrySource source;
    return ReadFilterSettings(source, adjust);
}

int SaveFilterSettings(const ImageAdjustBlock& adjust) { return SaveAdjustGroup(adjust, "Filter", kFilterValues); }

int LoadGraySettings(ImageAdjustBlock& adjust) {
    RegistrySource source;
    return ReadGraySettings(source, adjust);
}

int SaveGraySettings(const ImageAdjustBlock& adjust) { return SaveAdjustGroup(adjust, "Gray", kGrayValues); }

// --- analog gain, exposure, mirrors ----------------------------------------------

int LoadAnalogSettings(AnalogBlock& g, int32_t mirrorV, int32_t mirrorH) {
    RegistrySource source;
    return ReadAnalogSettings(source, g, mirrorV, mirrorH);
}

int SaveAnalogSettings(const AnalogBlock& g) {
    RegKey root, group;
    if (!CreateGroup(root, group, "Gain")) return 0;
    for (const AnalogValue& v : kAnalogValues) group.Write(v.name, g.*v.field);
    return 1;
}

// --- preset table --------------------------------------------------------------

int LoadPresetTable(PresetTable& table) {
    RegistrySource source;
    return ReadPresetTable(source, table);
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
