// The recorder's gray-to-24-bit kernel against a per-pixel reference, at every
// odd size, exactly-sized buffers under the sanitizers.
#include <gtest/gtest.h>

#include "PixelTestUtil.h"
#include "pixel/output/RecordKernels.h"

using testutil::Image;

TEST(RecordKernels, GrayBecomesEqualBlueGreenRedWithRowsReversed) {
    for (const testutil::Size size : testutil::OddSizes()) {
        for (int srcBpp : {1, 2}) {
            SCOPED_TRACE(testing::Message() << size.w << "x" << size.h << " source bytes " << srcBpp);
            Image src(size.w, size.h, srcBpp), dst(size.w, size.h, 3);
            testutil::FillRandom(src, 7u + srcBpp);  // 16-bit samples with stray high bits too
            dst.fill(0xEE);
            ASSERT_EQ(testutil::RunWhole(KernelGrayTo24Flip, dst, src), 1);
            for (int y = 0; y < size.h; ++y)
                for (int x = 0; x < size.w; ++x) {
                    const int sy = size.h - 1 - y;
                    const int v = srcBpp == 1 ? src.get8(x, sy) : (src.get16(x, sy) >> 2) & 255;
                    for (int c = 0; c < 3; ++c) ASSERT_EQ(dst.get8(x, y, c), v) << x << "," << y;
                }
            // Row padding is not written.
            for (int y = 0; y < size.h; ++y)
                for (int i = size.w * 3; i < dst.stride; ++i) ASSERT_EQ(dst.bytes[size_t(y) * dst.stride + i], 0xEE);
        }
    }
}
