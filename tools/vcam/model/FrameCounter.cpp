// The drawn frame counter: layout, drawing row by row, reading back.
#include "FrameCounter.h"

#include <algorithm>
#include <cstring>

namespace vidlyn::vcam {

namespace {

// Rows of 3 cells, top row first, the left cell in the highest bit.
constexpr uint16_t kFont[10] = {
    0b111'101'101'101'111, 0b010'110'010'010'111, 0b111'001'111'100'111, 0b111'001'111'001'111, 0b101'101'111'001'001,
    0b111'100'111'001'111, 0b111'100'111'101'111, 0b111'001'001'001'001, 0b111'101'111'101'111, 0b111'101'111'001'111,
};

bool CellLit(uint16_t glyph, int row, int col) { return (glyph >> (14 - (row * 3 + col))) & 1; }

int Digit(uint32_t frame, int i) {
    uint32_t v = frame % 100000000u;
    for (int k = kCounterDigits - 1; k > i; --k) v /= 10;
    return static_cast<int>(v % 10);
}

}  // namespace

CounterLayout CounterLayoutFor(int pictureWidth) {
    const int cell = std::max(4, pictureWidth / 160);
    // One cell of margin, 4 cells per digit (3 and a gap), 5 rows of cells.
    return {cell, cell, cell, cell * (kCounterDigits * 4 + 1), cell * 7};
}

void DrawCounterRow(uint8_t* row, int width, int y, uint32_t frame) {
    const CounterLayout l = CounterLayoutFor(width);
    if (y < l.y0 || y >= l.y0 + l.height || l.x0 + l.width > width) return;
    std::memset(row + l.x0, kCounterDark, l.width);
    const int cellRow = (y - l.y0) / l.cell - 1;
    if (cellRow < 0 || cellRow >= 5) return;
    for (int i = 0; i < kCounterDigits; ++i) {
        const uint16_t glyph = kFont[Digit(frame, i)];
        for (int col = 0; col < 3; ++col) {
            if (!CellLit(glyph, cellRow, col)) continue;
            std::memset(row + l.x0 + l.cell * (1 + 4 * i + col), kCounterLit, l.cell);
        }
    }
}

uint32_t ReadCounter(int pictureWidth, const std::function<int(int x, int y)>& level) {
    const CounterLayout l = CounterLayoutFor(pictureWidth);
    uint32_t value = 0;
    for (int i = 0; i < kCounterDigits; ++i) {
        uint16_t glyph = 0;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col) {
                const int x = l.x0 + l.cell * (1 + 4 * i + col) + l.cell / 2;
                const int y = l.y0 + l.cell * (1 + row) + l.cell / 2;
                glyph = static_cast<uint16_t>(glyph << 1 | (level(x, y) >= 128 ? 1 : 0));
            }
        const uint16_t* found = std::find(std::begin(kFont), std::end(kFont), glyph);
        if (found == std::end(kFont)) return 0;
        value = value * 10 + static_cast<uint32_t>(found - kFont);
    }
    return value;
}

}  // namespace vidlyn::vcam
