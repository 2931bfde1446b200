// Which entries of the system's disk list are cameras: the entry's text names
// the maker, the USB 3.0 transport and the model code, and is not one of the
// maker's "DS" devices. No Windows types.
#pragma once
#include <cstring>

// `text` is a terminated entry of the list; `modelCode` null matches any model.
inline bool IsCameraDiskEntry(const char* text, const char* modelCode) {
    return std::strstr(text, "NORVEX") && std::strstr(text, "USB3.0") &&
           std::strstr(text, modelCode ? modelCode : "") && !std::strstr(text, "DS");
}
