// Reading the stored settings into their records, from any source of stored
// values: the registry in the library (RegistryStore.cpp), a made-up store in
// the fuzz target. No Windows types, so that the reading rules also build
// natively. Every rule is the store's (RegistryStore.h): a value counts only
// as a 4-byte REG_DWORD, anything else is missing.
#pragma once
#include <cstdint>

#include "settings/SettingsRecords.h"

// The value types as the registry numbers them; only kStoredDword is read.
constexpr uint32_t kStoredDword = 4;  // REG_DWORD, little-endian

class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    // Whether a group's key exists: the root key for a null group, else its
    // subkey (a preset "Size_NN", "Filter", "Gray" or "Gain").
    virtual bool HasGroup(const char* group) = 0;
    // Value `name` of a group (null: the root key): its type, and its bytes
    // into `data` when they fit `size`; `size` becomes the value's own size.
    // False when the value (or its key) is missing.
    virtual bool Read(const char* group, const char* name, uint32_t& type, uint8_t* data, uint32_t& size) = 0;
};

// Reads a 4-byte REG_DWORD into `field`; anything else leaves it as it was.
bool ReadStoredValue(SettingsSource& source, const char* group, const char* name, int32_t& field);
bool ReadStoredValue(SettingsSource& source, const char* group, const char* name, uint32_t& field);

// "Size_NN" of preset `index` (any index, as a damaged "Size" may hold).
void PresetKeyName(char (&name)[32], int index);

// The loaders of RegistryStore.h on a source whose root key exists (the
// first-start defaults are the registry store's own business).
int ReadCameraFormat(SettingsSource& source, PresetRecord& geometry);
int ReadStreamSettings(SettingsSource& source, StreamFormat& format);
int ReadFilterSettings(SettingsSource& source, ImageAdjustBlock& adjust);
int ReadGraySettings(SettingsSource& source, ImageAdjustBlock& adjust);
int ReadAnalogSettings(SettingsSource& source, AnalogBlock& analog, int32_t mirrorV, int32_t mirrorH);
int ReadPresetTable(SettingsSource& source, PresetTable& table);
