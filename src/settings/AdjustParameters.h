// The 27 numbered image adjustment parameters as the adjustment blocks hold
// them: which field each id addresses and the values a setter accepts. The
// session adds what needs the camera (the device check, the register writes
// of the global gain and the exposure, and their read-back).
#pragma once
#include <cstdint>

#include "settings/SettingsRecords.h"

// Stores `value` for parameter `id`. False, with both blocks unchanged, for
// an id outside 1 .. 27, the colour gains 14 .. 17 this camera does not have,
// or a value outside the id's range. The global gain also sets the four
// colour gains; the packed white balance (6) unpacks into three gains; the
// automatic white balance flag (10) is stored as 0 or 1.
bool StoreFilterValue(ImageAdjustBlock& adjust, AnalogBlock& analog, int id, int value);

// The value of a parameter kept in the image adjustment block (every id but
// 13 and 18, which the camera answers, and 14 .. 17). False for other ids.
bool ReadFilterValue(const ImageAdjustBlock& adjust, int id, int32_t& value);
