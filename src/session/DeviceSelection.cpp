// Which camera a session uses: the cameras listed under display names, the
// choice of one by index, and the fixed facts about the camera that an
// application sizes its controls with.
#include <cstdio>
#include <cwchar>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"
#include "session/CVidlyn.h"

namespace {

// Display names: base name, underscore, the camera's 1-based number in two or
// more digits ("VidlynQM7720E_01" for index 0).
constexpr char kBaseName[] = "VidlynQM7720E";
constexpr int kNameEntries = 10;       // entries of the enumeration's name table
constexpr int kNameEntryLength = 256;  // characters per entry, terminator included
constexpr int kShortestNameBuffer = 15;

// The base name in the ANSI code page, converted to wide characters; false when
// the conversion fails.
bool WideBaseName(wchar_t (&wide)[kNameEntryLength]) {
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, kBaseName, -1, wide, kNameEntryLength) > 0;
}

int FormatName(char* out, size_t room, int number) { return std::snprintf(out, room, "%s_%02d", kBaseName, number); }

int FormatName(wchar_t* out, size_t room, const wchar_t* base, int number) {
    return std::swprintf(out, room, L"%ls_%02d", base, number);
}

// Every operation here needs the device object.
bool HasDevice(CVidlyn& s) {
    if (s.m_device) return true;
    s.pushError(VIDLYN_ERR_NO_CAMERA);
    return false;
}

template <class Char>
int FillNameTable(CVidlyn& s, Char* names) {
    if (!HasDevice(s)) return 0;
    if (!names) {
        s.pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    CVidlynQM7720USB3Sdk* device = s.m_device;
    wchar_t wideBase[kNameEntryLength] = {};
    if constexpr (sizeof(Char) != 1) WideBaseName(wideBase);
    const int count = device->GetDeviceCount();
    int found = 0;
    for (int index = 0; index < count; ++index) {
        if (!device->IsValidDeviceIndex(index)) continue;
        ++found;
        if (found > kNameEntries) continue;  // counted, but the table has no room for its name
        Char* entry = names + static_cast<size_t>(found - 1) * kNameEntryLength;
        if constexpr (sizeof(Char) == 1)
            FormatName(entry, kNameEntryLength, found);
        else
            FormatName(entry, kNameEntryLength, wideBase, found);
    }
    for (int i = found; i < kNameEntries; ++i) names[static_cast<size_t>(i) * kNameEntryLength] = 0;
    return found;
}

template <class Char>
int WriteDeviceName(CVidlyn& s, int index, Char* name, int nameLength) {
    if (!HasDevice(s)) return 0;
    // The name is formed first, to know the room it needs.
    Char formed[kNameEntryLength] = {};
    wchar_t wideBase[kNameEntryLength] = {};
    bool converted = true;
    int length = 0;
    if constexpr (sizeof(Char) == 1) {
        length = FormatName(formed, kNameEntryLength, index + 1);
    } else {
        converted = WideBaseName(wideBase);
        length = FormatName(formed, kNameEntryLength, wideBase, index + 1);
    }
    if (!name || nameLength < kShortestNameBuffer || length < 0 || nameLength < length + 1) {
        s.pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    if (index < 0 || index >= s.m_device->GetDeviceCount()) {
        s.pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    if (!s.m_device->IsValidDeviceIndex(index) || !converted) {
        s.pushError(VIDLYN_ERR_CAMERA_NOT_FOUND);
        return 0;
    }
    for (int i = 0; i <= length; ++i) name[i] = formed[i];
    return 1;
}

}  // namespace

int CVidlyn::EnumDevice(char* names) { return FillNameTable(*this, names); }
int CVidlyn::EnumDeviceW(wchar_t* names) { return FillNameTable(*this, names); }

int CVidlyn::GetDeviceName(int index, char* name, int nameLength) {
    return WriteDeviceName(*this, index, name, nameLength);
}

int CVidlyn::GetDeviceNameW(int index, wchar_t* name, int nameLength) {
    return WriteDeviceName(*this, index, name, nameLength);
}

int CVidlyn::SetDeviceNumber(int index) {
    if (!HasDevice(*this)) return 0;
    // Another camera under a running stream or an armed capture would leave the
    // session reading from a closed disk: the application stops first.
    if (m_state.load() != 0) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    if (!m_device->IsValidDeviceIndex(index) || m_device->SelectDevice(index) != 0) {
        pushError(VIDLYN_ERR_CAMERA_NOT_FOUND);
        return 0;
    }
    return 1;
}

int CVidlyn::GetCameraInfo(VIDLYN_CAMERA_INFO* info) {
    if (!HasDevice(*this)) return 0;
    if (!info) {
        pushError(VIDLYN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    if (info->size < sizeof(VIDLYN_CAMERA_INFO)) {
        pushError(VIDLYN_ERR_MEMORY);
        return 0;
    }
    int subSample = 0;
    m_device->GetFormat(nullptr, nullptr, nullptr, nullptr, &subSample);
    info->width = vidlyn::camera::kSensorWidth;
    info->height = vidlyn::camera::kSensorHeight;
    info->reserved1 = 0;
    info->gainMax = vidlyn::camera::kGainMax;
    info->gainMin = vidlyn::camera::kGainMin;
    info->reserved2 = 0;
    info->exposureMin = vidlyn::camera::kExposureMin;
    info->exposureMax = subSample == 0 ? vidlyn::camera::kExposureMax : vidlyn::camera::kExposureMaxSubsampled;
    return 1;
}
