// The one loop nest of the per-pixel kernels: every unit of the rectangle is
// done exactly once, by the vector row or by the per-unit rule after it,
// wherever the vectors stop (nowhere, part way, at the row's end), in one pass
// or in bands, and no byte outside the rectangle is touched.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "PixelTestUtil.h"
#include "pixel/core/KernelRows.h"
#include "pixel/core/RowStripes.h"

namespace {

using testutil::Image;

// Output byte = source byte + 1 (the vector part) or + 2 (the rule's part),
// so that the test sees which of the two did each unit.
TEST(KernelRows, EveryUnitOnceByTheVectorsOrTheRuleAndNothingOutside) {
    struct Case {
        int w, h;
        PixRect r;
        int dstCol, dstRow;
    };
    const Case cases[] = {
        {9, 7, {0, 0, 9, 7}, 0, 0},        {9, 7, {2, 1, 7, 6}, 1, 2}, {9, 7, {3, 3, 3, 5}, 0, 0},
        {9, 7, {4, 2, 8, 2}, 0, 0},        {1, 1, {0, 0, 1, 1}, 0, 0}, {40, 300, {1, 0, 39, 300}, 1, 0},
        {40, 300, {5, 17, 30, 290}, 7, 3},
    };
    for (const int bands : {1, 3}) {
        pixel::SetStripeCeiling(bands);
        for (const Case& c : cases) {
            for (const int unitsPerPixel : {1, 3}) {
                for (const int vectorStep : {0, 4, 7, 1 << 20}) {  // none, part way, the whole row
                    for (const int minRows : {0, 1, 64}) {
                        const std::string what =
                            "rect " + std::to_string(c.r.left) + "," + std::to_string(c.r.top) + " " +
                            std::to_string(c.r.right - c.r.left) + "x" + std::to_string(c.r.bottom - c.r.top) +
                            ", units " + std::to_string(unitsPerPixel) + ", step " + std::to_string(vectorStep) +
                            ", bands " + std::to_string(bands) + ", min rows " + std::to_string(minRows);
                        Image src(c.w, c.h, unitsPerPixel), dst(c.w + c.dstCol, c.h + c.dstRow, unitsPerPixel);
                        testutil::FillRandom(src, 3);
                        testutil::FillRandom(dst, 4);
                        const Image before = dst;
                        const pixel::KernelRect k{dst.bits(),        src.bits(),        &c.r,       c.dstCol,  c.dstRow,
                                                  uint16_t(src.bpp), uint16_t(src.bpp), dst.stride, src.stride};
                        std::atomic<int> rows{0};
                        pixel::RunRows(
                            k, unitsPerPixel, minRows,
                            [&](uint8_t* d, const uint8_t* s, int n) {
                                rows.fetch_add(1);
                                const int done = vectorStep == 0 ? 0 : std::min(n, n / vectorStep * vectorStep);
                                for (int i = 0; i < done; ++i) d[i] = static_cast<uint8_t>(s[i] + 1);
                                return done;
                            },
                            [&](uint8_t* d, const uint8_t* s, int i) { d[i] = static_cast<uint8_t>(s[i] + 2); });
                        const int w = c.r.right - c.r.left, h = c.r.bottom - c.r.top;
                        EXPECT_EQ(rows.load(), w > 0 ? h : 0) << what;
                        const int n = w * unitsPerPixel;
                        const int vectors = vectorStep == 0 ? 0 : std::min(n, n / vectorStep * vectorStep);
                        for (int y = 0; y < dst.height; ++y)
                            for (int b = 0; b < dst.stride; ++b) {
                                const int x = b - c.dstCol * unitsPerPixel, row = y - c.dstRow;
                                const size_t at = static_cast<size_t>(y) * dst.stride + b;
                                const bool inside = row >= 0 && row < h && x >= 0 && x < n;
                                const uint8_t want = inside ? static_cast<uint8_t>(src.at(c.r.left, c.r.top + row)[x] +
                                                                                   (x < vectors ? 1 : 2))
                                                            : before.bytes[at];
                                ASSERT_EQ(dst.bytes[at], want) << what << ", row " << y << ", byte " << b;
                            }
                    }
                }
            }
        }
    }
    pixel::SetStripeCeiling(0);
}

}  // namespace
