// The gray correction formula in 16-bit lanes, shared by the SSE2 and AVX2 rows.
#pragma once
#include <cstdint>

#include "pixel/gray/GrayRows.h"

namespace pixel {

// The formula's constants for 16-bit lanes that alternate even and odd sites:
// |gain| << 1 (the high half of (v << 8) * (|gain| << 1) is trunc(v |gain| /
// 128), exact for v <= 255 and |gain| <= 32767), all ones where the gain is
// negative, and the offset limited to -4096..4096, beyond which every sample
// clips alike (|trunc(v gain / 128)| <= 2037 for |gain| <= 1023).
inline bool GrayLanes(const GraySites& sites, int32_t& gain, int32_t& negative, int32_t& offset) {
    int g[2], n[2], o[2];
    for (int k = 0; k < 2; ++k) {
        if (sites.gain[k] < -1023 || sites.gain[k] > 1023) return false;
        g[k] = (sites.gain[k] < 0 ? -sites.gain[k] : sites.gain[k]) << 1;
        n[k] = sites.gain[k] < 0 ? 0xFFFF : 0;
        o[k] = sites.offset[k] < -4096 ? -4096 : sites.offset[k] > 4096 ? 4096 : sites.offset[k];
    }
    const auto pair = [](int even, int odd) {
        return static_cast<int32_t>((static_cast<uint32_t>(odd) << 16) | (static_cast<uint32_t>(even) & 0xFFFF));
    };
    gain = pair(g[0], g[1]), negative = pair(n[0], n[1]), offset = pair(o[0], o[1]);
    return true;
}

}  // namespace pixel
