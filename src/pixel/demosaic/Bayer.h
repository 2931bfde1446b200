// The colour filter mosaic: which colour the sensor site at (x, y) sees for
// each of the four phases (the "Bayer mode" 0..3 of the session).
#pragma once
#include <cstdint>

// Colour class of one sensor site. Phase 0 layout: green1 at even rows and
// even columns, blue at even rows and odd columns, red at odd rows and even
// columns, green2 at odd rows and odd columns.
enum class BayerClass : uint8_t { Red = 0, Blue = 1, Green1 = 2, Green2 = 3 };

// Row flag = bit 0 of the phase XOR (y odd); column flag = bit 1 XOR (x odd).
constexpr BayerClass BayerClassAt(int phase, int x, int y) {
    const int rowFlag = (phase & 1) ^ (y & 1);
    const int colFlag = ((phase >> 1) & 1) ^ (x & 1);
    return rowFlag ? (colFlag ? BayerClass::Green2 : BayerClass::Red)
                   : (colFlag ? BayerClass::Blue : BayerClass::Green1);
}
