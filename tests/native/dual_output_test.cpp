// Reordering of the sensor's two outputs.
#include <gtest/gtest.h>

#include <vector>

#include "pixel/placement/DualOutput.h"

namespace {

TEST(DualOutput, SmallRowOfPairs) {
    // Pairs (L0, R0), (L1, R1), (L2, R2): the left half from the left edge,
    // the right half from the right edge.
    const std::vector<uint8_t> src = {10, 20, 11, 21, 12, 22};
    std::vector<uint8_t> dst(6);
    ReorderDualOutput(dst.data(), src.data(), 3, 1);
    EXPECT_EQ(dst, (std::vector<uint8_t>{10, 11, 12, 22, 21, 20}));
}

TEST(DualOutput, MatchesTheRuleForOddAndTinySizes) {
    for (int half : {1, 2, 3, 5, 7, 2448 / 8, 2449}) {
        for (int rows : {1, 2, 3, 5}) {
            const size_t bytes = static_cast<size_t>(2 * half) * rows;
            std::vector<uint8_t> src(bytes), dst(bytes, 0xEE);
            for (size_t i = 0; i < bytes; ++i) src[i] = static_cast<uint8_t>(i * 37 + 11);
            ReorderDualOutput(dst.data(), src.data(), half, rows);
            for (int r = 0; r < rows; ++r)
                for (int k = 0; k < half; ++k) {
                    const size_t in = static_cast<size_t>(r) * 2 * half + 2 * k;
                    ASSERT_EQ(dst[static_cast<size_t>(r) * 2 * half + k], src[in]);
                    ASSERT_EQ(dst[static_cast<size_t>(r) * 2 * half + 2 * half - 1 - k], src[in + 1]);
                }
        }
    }
}

TEST(DualOutput, SubsampledFrameLayout) {
    // Divisor 2: 2448 x 1632 pixels, half width 1224.
    const int half = (4896 / 2) / 2, rows = 3264 / 2;
    std::vector<uint8_t> src(static_cast<size_t>(2 * half) * rows), dst(src.size());
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i);
    ReorderDualOutput(dst.data(), src.data(), half, rows);
    EXPECT_EQ(dst[0], src[0]);
    EXPECT_EQ(dst[2 * half - 1], src[1]);
    EXPECT_EQ(dst.back(), src[src.size() - 2 * half + 1]);
}

TEST(DualOutput, NothingToDo) {
    uint8_t byte = 5;
    ReorderDualOutput(&byte, &byte, 0, 3);
    ReorderDualOutput(&byte, &byte, 3, 0);
    EXPECT_EQ(byte, 5);
}

}  // namespace
