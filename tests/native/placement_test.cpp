// Placing raw frames into frame buffers: crop, spread, widen, mirrors.
#include <gtest/gtest.h>

#include <vector>

#include "PixelTestUtil.h"
#include "pixel/placement/PlacementKernels.h"

using testutil::Image;

namespace {

TEST(Crop, AreaInsideTheFrame) {
    const int fw = 7, fh = 5;
    std::vector<uint8_t> frame(fw * fh);
    for (int i = 0; i < fw * fh; ++i) frame[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> out(3 * 2);
    EXPECT_TRUE(CropFrame(out.data(), out.size(), 3, frame.data(), frame.size(), fw, fh, 2, 1, 3, 2, 1));
    EXPECT_EQ(out, (std::vector<uint8_t>{9, 10, 11, 16, 17, 18}));
}

TEST(Crop, InPlaceWithPackedRows) {
    const int fw = 6, fh = 4;
    std::vector<uint8_t> buf(fw * fh * 2);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> frame = buf;
    EXPECT_TRUE(CropFrame(buf.data(), buf.size(), 4 * 2, buf.data(), buf.size(), fw, fh, 1, 1, 4, 3, 2));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(buf[y * 8 + x], frame[(y + 1) * 12 + 2 + x]);
}

TEST(Crop, PartsOutsideTheFrameBecomeBlack) {
    const int fw = 4, fh = 3;
    std::vector<uint8_t> frame(fw * fh, 9);
    std::vector<uint8_t> out(6 * 4, 0xEE);  // stride 6 for a 5-wide area
    EXPECT_FALSE(CropFrame(out.data(), out.size(), 6, frame.data(), frame.size(), fw, fh, -1, 1, 5, 4, 1));
    const std::vector<uint8_t> expected = {0, 9, 9, 9, 9, 0xEE,  // frame row 1
                                           0, 9, 9, 9, 9, 0xEE,  // frame row 2
                                           0, 0, 0, 0, 0, 0xEE,  // below the frame
                                           0, 0, 0, 0, 0, 0xEE};
    EXPECT_EQ(out, expected);
}

TEST(Crop, NeverPastEitherBuffer) {
    // A frame that claims more rows than its buffer holds, and a destination
    // too small for the area: both are cut short, exactly sized under ASan.
    std::vector<uint8_t> frame(10 * 2, 1);
    std::vector<uint8_t> out(10 * 4 - 4, 0xEE);  // three whole rows
    EXPECT_FALSE(CropFrame(out.data(), out.size(), 10, frame.data(), frame.size(), 10, 8, 0, 0, 10, 8, 1));
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out[i], 1);                 // the two rows the frame holds
    for (int i = 20; i < 30; ++i) EXPECT_EQ(out[i], 0);                // a row it does not hold
    for (size_t i = 30; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE);  // no room for a fourth row
    EXPECT_FALSE(CropFrame(out.data(), out.size(), 10, frame.data(), frame.size(), 10, 2, 50, 0, 10, 1, 1));
    EXPECT_FALSE(CropFrame(out.data(), 3, 10, frame.data(), frame.size(), 10, 2, 0, 0, 10, 1, 1));
    EXPECT_FALSE(CropFrame(out.data(), out.size(), 4, frame.data(), frame.size(), 10, 2, 0, 0, 10, 1, 1));
}

TEST(Spread, PackedRowsMoveToTheirStrideInPlace) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2}) {
            Image img(size.w, size.h, bpp);
            const size_t packed = static_cast<size_t>(size.w) * bpp;
            std::vector<uint8_t> frame(packed * size.h);
            for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + 1);
            std::copy(frame.begin(), frame.end(), img.bytes.begin());
            ASSERT_EQ(testutil::RunInPlace(KernelSpreadRows, img), 1);
            for (int y = 0; y < size.h; ++y)
                ASSERT_EQ(0, std::memcmp(img.at(0, y), frame.data() + y * packed, packed)) << size.w << "x" << size.h;
        }
}

TEST(Widen, CameraBytesBecomeTenBitSamplesInPlace) {
    for (const auto& size : testutil::OddSizes()) {
        Image img(size.w, size.h, 2);
        std::vector<uint8_t> frame(static_cast<size_t>(size.w) * size.h);
        for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 13 + 200);
        std::copy(frame.begin(), frame.end(), img.bytes.begin());
        ASSERT_EQ(testutil::RunInPlace(KernelWidenPacked8To16, img), 1);
        for (int y = 0; y < size.h; ++y)
            for (int x = 0; x < size.w; ++x) ASSERT_EQ(img.get16(x, y), frame[y * size.w + x] * 4);
    }
}

TEST(Widen, SeparateBuffers) {
    Image src(5, 3, 1), dst(5, 3, 2);
    testutil::FillRandom(src, 3);
    testutil::RunWhole(KernelWiden8To16, dst, src);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.get16(x, y), src.get8(x, y) << 2);
    src.fill(255);
    testutil::RunWhole(KernelWiden8To16, dst, src);
    EXPECT_EQ(dst.get16(4, 2), 1020);
}

TEST(Mirror, HorizontalReversesEveryRow) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2, 3}) {
            Image img(size.w, size.h, bpp), other(size.w, size.h, bpp);
            testutil::FillRandom(img, size.w * 5 + size.h);
            const Image before = img;
            testutil::RunInPlace(KernelMirrorH, img);
            testutil::RunWhole(KernelMirrorH, other, before);
            for (int y = 0; y < size.h; ++y)
                for (int x = 0; x < size.w; ++x) {
                    ASSERT_EQ(0, std::memcmp(img.at(x, y), before.at(size.w - 1 - x, y), bpp));
                    ASSERT_EQ(0, std::memcmp(other.at(x, y), before.at(size.w - 1 - x, y), bpp));
                }
        }
}

TEST(Mirror, VerticalSwapsRows) {
    for (const auto& size : testutil::OddSizes())
        for (int bpp : {1, 2, 4}) {
            Image img(size.w, size.h, bpp), other(size.w, size.h, bpp);
            testutil::FillRandom(img, size.w * 3 + size.h);
            const Image before = img;
            testutil::RunInPlace(KernelMirrorV, img);
            testutil::RunWhole(KernelMirrorV, other, before);
            const size_t bytes = static_cast<size_t>(size.w) * bpp;
            for (int y = 0; y < size.h; ++y) {
                ASSERT_EQ(0, std::memcmp(img.at(0, y), before.at(0, size.h - 1 - y), bytes));
                ASSERT_EQ(0, std::memcmp(other.at(0, y), before.at(0, size.h - 1 - y), bytes));
            }
        }
}

TEST(Mirror, TwiceIsIdentity) {
    Image img(9, 7, 2);
    testutil::FillRandom(img, 77);
    const Image before = img;
    testutil::RunInPlace(KernelMirrorH, img);
    testutil::RunInPlace(KernelMirrorV, img);
    testutil::RunInPlace(KernelMirrorV, img);
    testutil::RunInPlace(KernelMirrorH, img);
    EXPECT_EQ(img.bytes, before.bytes);
}

}  // namespace
