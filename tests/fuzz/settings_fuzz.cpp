// The stored settings read from values of any shape: every value the loaders
// ask for has a type, a size and bytes chosen by the input (a REG_DWORD of 4
// bytes most of the time, anything else now and then), and each group's key
// may be missing. A record field then holds what it held, its group's
// fallback, or a stored 4-byte REG_DWORD of its own name, never anything
// else; nothing is read past a value; a stored negative wait time never
// arrives; and the values taken go through the filter tables the frame
// conversion builds from them.
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "pixel/filter/FilterKernels.h"
#include "settings/SettingsLoad.h"

namespace {

struct Stored {
    uint32_t type;
    std::vector<uint8_t> bytes;
    bool Dword() const { return type == kStoredDword && bytes.size() == 4; }
    int32_t Value() const { return int32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24); }
};

// A store made up by the input as the loaders ask: a group or value, once
// decided, stays as it is for the rest of the case.
class MadeUpStore final : public SettingsSource {
public:
    explicit MadeUpStore(fuzz::Input& in) : m_in(in) {}
    bool HasGroup(const char* group) override {
        const std::string key = group ? group : "";
        auto it = m_groups.find(key);
        if (it == m_groups.end()) it = m_groups.emplace(key, m_in.Take<uint8_t>() % 8 != 0).first;
        return it->second;
    }
    bool Read(const char* group, const char* name, uint32_t& type, uint8_t* data, uint32_t& size) override {
        if (!HasGroup(group)) return false;
        const Stored* v = Find(group, name);
        if (!v) return false;
        type = v->type;
        // As RegQueryValueExA: the bytes only when they fit, the size always.
        if (!v->bytes.empty() && v->bytes.size() <= size) std::memcpy(data, v->bytes.data(), v->bytes.size());
        size = static_cast<uint32_t>(v->bytes.size());
        return true;
    }
    const Stored* Find(const char* group, const char* name) {
        const std::string key = std::string(group ? group : "") + "\\" + name;
        auto it = m_values.find(key);
        if (it == m_values.end()) {
            const uint8_t shape = m_in.Take<uint8_t>();
            Stored v{kStoredDword, std::vector<uint8_t>(4)};
            if (shape % 8 == 1) v.type = m_in.Take<uint32_t>() % 12;  // REG_NONE .. REG_QWORD
            if (shape % 8 == 2) v.bytes.resize(static_cast<size_t>(m_in.Range(0, 9)));
            m_in.Fill(v.bytes.data(), v.bytes.size());
            it = m_values.emplace(key, shape % 8 == 3 ? std::nullopt : std::optional<Stored>(v)).first;
        }
        return it->second ? &*it->second : nullptr;
    }
    // The stored DWORD of a value the loaders asked for, if it is one.
    bool DwordOf(const char* group, const char* name, int32_t& value) const {
        auto it = m_values.find(std::string(group ? group : "") + "\\" + name);
        if (it == m_values.end() || !it->second || !it->second->Dword()) return false;
        value = it->second->Value();
        return true;
    }
    bool GroupExists(const char* group) const {
        auto it = m_groups.find(group ? group : "");
        return it != m_groups.end() && it->second;
    }

private:
    fuzz::Input& m_in;
    std::map<std::string, bool> m_groups;
    std::map<std::string, std::optional<Stored>> m_values;
};

// A field after loading: as it was, the fallback, or its own stored DWORD.
bool Allowed(const MadeUpStore& store, const char* group, const char* name, int32_t before, int32_t after,
             std::optional<int32_t> fallback = std::nullopt) {
    int32_t stored = 0;
    return after == before || (fallback && after == *fallback) ||
           (store.DwordOf(group, name, stored) && after == stored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    MadeUpStore store(in);

    ImageAdjustBlock adjust;
    for (int32_t* f = &adjust.m_brightness; f <= &adjust.m_grayAutoGainFrames; ++f) *f = in.Take<int32_t>();
    const ImageAdjustBlock before = adjust;
    ReadFilterSettings(store, adjust);
    ReadGraySettings(store, adjust);
    const bool filter = store.GroupExists(nullptr) && store.GroupExists("Filter");
    FUZZ_CHECK(Allowed(store, "Filter", "Brightness", before.m_brightness, adjust.m_brightness, 0));
    FUZZ_CHECK(Allowed(store, "Filter", "Gamma", before.m_gamma, adjust.m_gamma, 100));
    FUZZ_CHECK(Allowed(store, "Filter", "BayerMode", before.m_bayerMode, adjust.m_bayerMode, 3));
    FUZZ_CHECK(Allowed(store, "Gray", "GainR1", before.m_grayGainR, adjust.m_grayGainR, 128));
    FUZZ_CHECK(Allowed(store, "Gray", "OffsetB1", before.m_grayOffsetB, adjust.m_grayOffsetB, 0));
    if (!filter) FUZZ_CHECK(adjust.m_bayerGainAuto == 0 && adjust.m_grayAutoGainFrames == 0);
    FUZZ_CHECK(adjust.spare1 == before.spare1 && adjust.spare3 == before.spare3);

    AnalogBlock analog{in.Take<int32_t>(), 1, 2, 3, 4, in.Take<int32_t>(), 5, 6, 7};
    const AnalogBlock analogBefore = analog;
    ReadAnalogSettings(store, analog, 0, 1);
    FUZZ_CHECK(Allowed(store, "Gain", "Exposure", analogBefore.m_exposureTime, analog.m_exposureTime, 100));
    FUZZ_CHECK(Allowed(store, "Gain", "AutoIris", analogBefore.m_autoIris, analog.m_autoIris, 0));

    StreamFormat format{in.Take<int32_t>(), in.Take<int32_t>(), in.Range(0, 1000), in.Take<uint32_t>()};
    const StreamFormat formatBefore = format;
    ReadStreamSettings(store, format);
    FUZZ_CHECK(format.waitTime >= 0);
    FUZZ_CHECK(Allowed(store, nullptr, "Color", formatBefore.colorType, format.colorType));
    FUZZ_CHECK(Allowed(store, nullptr, "WaitTime", formatBefore.waitTime, format.waitTime));

    PresetRecord geometry{1, 2, 3, 4, 5, 6, 7};
    const PresetRecord geometryBefore = geometry;
    if (!ReadCameraFormat(store, geometry)) FUZZ_CHECK(std::memcmp(&geometry, &geometryBefore, sizeof(geometry)) == 0);
    PresetTable table;
    if (ReadPresetTable(store, table)) {
        FUZZ_CHECK(table.count >= 0 && table.count <= PresetTable::kMaxPresets);
        for (int n = table.count; n < PresetTable::kMaxPresets; ++n) FUZZ_CHECK(table.presets[n].bufferCount == 10);
    }

    // What the frame conversion builds from the values taken (any 32-bit value).
    uint16_t lookup[kFilterMax10 + 1];
    int16_t differences[2 * kFilterMax10 + 1];
    for (const int maxValue : {kFilterMax8, kFilterMax10}) {
        BuildGammaTable(lookup, maxValue, adjust.m_gamma);
        BuildContrastTable(lookup, maxValue,
                           maxValue == kFilterMax10 ? int64_t{adjust.m_contrast} * 4 : adjust.m_contrast);
        BuildBrightnessTable(lookup, maxValue, adjust.m_brightness);
        for (int v = 0; v <= maxValue; ++v) FUZZ_CHECK(lookup[v] <= maxValue);
        BuildSharpnessTable(differences, maxValue, adjust.m_sharpness);
    }
    return 0;
}
