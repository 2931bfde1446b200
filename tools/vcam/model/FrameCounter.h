// The frame counter the simulated camera draws into its pictures: eight
// decimal digits of 3 x 5 square cells, bright on a dark box near the top left
// corner, the same level on every colour of the mosaic so that it survives
// demosaicing and reads the same in every colour mode. Its cells are large
// enough to be read back by sampling their centres.
#pragma once
#include <cstdint>
#include <functional>

namespace vidlyn::vcam {

constexpr int kCounterDigits = 8;
constexpr uint8_t kCounterDark = 16;
constexpr uint8_t kCounterLit = 240;

struct CounterLayout {
    int cell;  // side of one cell in pixels
    int x0, y0;
    int width, height;  // the dark box
};

CounterLayout CounterLayoutFor(int pictureWidth);

// Draws picture row `y` of the counter showing `frame` (modulo 10^8) into
// `row`, a picture row of `width` bytes; rows outside the box stay as they are.
void DrawCounterRow(uint8_t* row, int width, int y, uint32_t frame);

// Reads the counter of a picture back: `level(x, y)` gives the 8-bit level at a
// picture position. 0 when the cells do not form eight digits.
uint32_t ReadCounter(int pictureWidth, const std::function<int(int x, int y)>& level);

}  // namespace vidlyn::vcam
