// Output kernels against a straightforward per-pixel reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "PixelTestUtil.h"
#include "pixel/output/FrameCopy.h"
#include "pixel/output/OutputKernels.h"

using testutil::Image;

namespace {

uint16_t L16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void S16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
uint8_t To8(uint16_t v) { return static_cast<uint8_t>((v >> 2) & 255); }

using PixelRule = std::function<void(uint8_t* d, const uint8_t* s)>;

struct Case {
    std::string name;
    ConvertKernel kernel;
    int dstBpp, srcBpp;
    bool flip;
    PixelRule rule;
};

std::vector<Case> Cases() {
    const auto bgr = [](uint8_t* d, const uint8_t* s) { d[0] = s[0], d[1] = s[1], d[2] = s[2]; };
    const auto gray = [](uint8_t* d, const uint8_t* s) { d[0] = To8(L16(s)); };
    const auto c48 = [](uint8_t* d, const uint8_t* s) {
        for (int c = 0; c < 3; ++c) d[c] = To8(L16(s + 2 * c));
    };
    const auto rgb = [](uint8_t* d, const uint8_t* s) { d[0] = s[2], d[1] = s[1], d[2] = s[0]; };
    const auto shl6 = [](bool swap, bool opaque) {
        return [swap, opaque](uint8_t* d, const uint8_t* s) {
            for (int c = 0; c < 3; ++c) S16(d + 2 * c, (L16(s + 2 * (swap ? 2 - c : c)) << 6) & 0xFFFF);
            if (opaque) S16(d + 6, 0xFFFF);
        };
    };
    return {
        {"Bgrx32ToBgr24", KernelBgrx32ToBgr24, 3, 4, false, bgr},
        {"Gray16To8", KernelGray16To8, 1, 2, false, gray},
        {"Gray16To8Flip", KernelGray16To8Flip, 1, 2, true, gray},
        {"Color48To24", KernelColor48To24, 3, 6, false, c48},
        {"Color64To24", KernelColor48To24, 3, 8, false, c48},
        {"Color48To24Flip", KernelColor48To24Flip, 3, 6, true, c48},
        {"Color64To24Flip", KernelColor48To24Flip, 3, 8, true, c48},
        {"Bgr24CopyFlip", KernelBgr24CopyFlip, 3, 3, true, bgr},
        {"Bgr32CopyFlip", KernelBgr24CopyFlip, 3, 4, true, bgr},
        {"BgrToRgb24", KernelBgrToRgb24, 3, 3, false, rgb},
        {"BgrToRgb32", KernelBgrToRgb24, 4, 4, false, rgb},
        {"BgrxComplementX", KernelBgrxComplementX, 4, 4, false,
         [](uint8_t* d, const uint8_t* s) {
             d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = static_cast<uint8_t>(255 - s[3]);
         }},
        {"Gray16Shl4", KernelGray16Shl4, 2, 2, false,
         [](uint8_t* d, const uint8_t* s) { S16(d, (L16(s) << 4) & 0xFFFF); }},
        {"Color48Shl6", KernelColor48Shl6, 6, 6, false, shl6(false, false)},
        {"Color64Shl6Opaque", KernelColor64Shl6Opaque, 8, 8, false, shl6(false, true)},
        {"Color48Shl6Swap", KernelColor48Shl6Swap, 6, 6, false, shl6(true, false)},
        {"Color64Shl6SwapOpaque", KernelColor64Shl6SwapOpaque, 8, 8, false, shl6(true, true)},
    };
}

// Reference run of a transfer: the kernel contract spelled out pixel by pixel.
void Reference(const Case& c, Image& dst, const Image& src, const PixRect& r, int dstCol, int dstRow) {
    const int n = r.bottom - r.top, m = r.right - r.left;
    for (int i = 0; i < n; ++i) {
        const int sy = c.flip ? r.bottom - 1 - i : r.top + i;
        for (int j = 0; j < m; ++j) c.rule(dst.at(dstCol + j, dstRow + i), src.at(r.left + j, sy));
    }
}

TEST(OutputKernels, EveryKernelMatchesTheReferenceOnOddSizes) {
    for (const Case& c : Cases()) {
        for (const auto& size : testutil::OddSizes()) {
            for (bool tight : {false, true}) {
                Image src(size.w, size.h, c.srcBpp, tight), dst(size.w, size.h, c.dstBpp, tight);
                testutil::FillRandom(src, 7u * size.w + size.h);
                testutil::FillRandom(dst, 11u * size.w + size.h);
                Image expected = dst;
                Reference(c, expected, src, {0, 0, size.w, size.h}, 0, 0);
                ASSERT_EQ(testutil::RunWhole(c.kernel, dst, src), 1);
                ASSERT_EQ(dst.bytes, expected.bytes) << c.name << " " << size.w << "x" << size.h;
            }
        }
    }
}

TEST(OutputKernels, ShiftsOfPicturesLargerThanTheCachesMatchAtEveryOutputAlignment) {
    // Written past the caches from the first pixel on a 16-byte line; the
    // output column moves that pixel through every position.
    const int w = 1301, h = 1100;
    for (const Case& c : Cases()) {
        if (c.name.find("Shl6") == std::string::npos) continue;
        Image src(w, h, c.srcBpp);
        testutil::FillRandom(src, 13);
        for (int col = 0; col < 4; ++col) {
            Image dst(w + 3, h, c.dstBpp);
            testutil::FillRandom(dst, 17u + col);
            Image expected = dst;
            const PixRect rect{0, 0, w, h};
            Reference(c, expected, src, rect, col, 0);
            ASSERT_EQ(c.kernel(dst.bits(), src.bits(), &rect, col, 0, static_cast<uint16_t>(dst.bpp),
                               static_cast<uint16_t>(src.bpp), dst.stride, src.stride, 0, 0),
                      1);
            ASSERT_TRUE(dst.bytes == expected.bytes) << c.name << ", output column " << col;
        }
    }
}

TEST(OutputKernels, ClippedTransfersWriteOnlyTheirPart) {
    // A 9x7 source into a 6x10 destination at picture point (2, 1).
    for (const Case& c : Cases()) {
        Image src(9, 7, c.srcBpp), dst(6, 10, c.dstBpp);
        testutil::FillRandom(src, 3);
        testutil::FillRandom(dst, 5);
        PixRect rect{0, 0, 9, 7};
        int x = 2, y = 1;
        ASSERT_TRUE(ClipTransfer(rect, x, y, src.width, src.height, dst.width, dst.height));
        Image expected = dst;
        Reference(c, expected, src, rect, x, y);
        ASSERT_EQ(c.kernel(dst.bits(), src.bits(), &rect, x, y, static_cast<uint16_t>(dst.bpp),
                           static_cast<uint16_t>(src.bpp), dst.stride, src.stride, 0, 0),
                  1);
        EXPECT_EQ(dst.bytes, expected.bytes) << c.name;
    }
}

TEST(OutputKernels, ChosenPixels) {
    Image s32(1, 1, 4), d32(1, 1, 4);
    s32.set8(0, 0, 10, 0), s32.set8(0, 0, 20, 1), s32.set8(0, 0, 30, 2), s32.set8(0, 0, 0, 3);
    testutil::RunWhole(KernelBgrxComplementX, d32, s32);
    EXPECT_EQ(d32.get8(0, 0, 3), 255);
    EXPECT_EQ(d32.get8(0, 0, 2), 30);

    Image s64(1, 1, 8), d64(1, 1, 8);
    for (int c = 0; c < 4; ++c) s64.set16(0, 0, 1023, c);
    s64.set16(0, 0, 0, 3);
    testutil::RunWhole(KernelColor64Shl6Opaque, d64, s64);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d64.get16(0, 0, c), 65472);
    EXPECT_EQ(d64.get16(0, 0, 3), 65535);

    Image s16(1, 1, 2), d8(1, 1, 1), d16(1, 1, 2);
    s16.set16(0, 0, 1023);
    testutil::RunWhole(KernelGray16To8, d8, s16);
    EXPECT_EQ(d8.get8(0, 0), 255);
    testutil::RunWhole(KernelGray16Shl4, d16, s16);
    EXPECT_EQ(d16.get16(0, 0), 16368);  // gray shifts by 4, not 6
    s16.set16(0, 0, 0x1FC);             // 10-to-8 keeps bits 2..9
    testutil::RunWhole(KernelGray16To8, d8, s16);
    EXPECT_EQ(d8.get8(0, 0), 0x7F);

    Image s48(1, 1, 6), d48(1, 1, 6);
    s48.set16(0, 0, 1, 0), s48.set16(0, 0, 2, 1), s48.set16(0, 0, 3, 2);
    testutil::RunWhole(KernelColor48Shl6Swap, d48, s48);
    EXPECT_EQ(d48.get16(0, 0, 0), 3 << 6);
    EXPECT_EQ(d48.get16(0, 0, 2), 1 << 6);
}

TEST(OutputKernels, BgrToRgbLeavesTheFourthByteAndWorksInPlace) {
    Image img(3, 2, 4);
    testutil::FillRandom(img, 9);
    const Image before = img;
    testutil::RunInPlace(KernelBgrToRgb24, img);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(img.get8(x, y, 0), before.get8(x, y, 2));
            EXPECT_EQ(img.get8(x, y, 2), before.get8(x, y, 0));
            EXPECT_EQ(img.get8(x, y, 3), before.get8(x, y, 3));
        }
}

TEST(OutputKernels, CopyRowsFlipCopiesWholeRowsReversed) {
    for (const auto& size : testutil::OddSizes()) {
        for (int bpp : {1, 2, 3, 4, 6, 8}) {
            Image src(size.w, size.h, bpp), dst(size.w, size.h, bpp);
            testutil::FillRandom(src, 1);
            testutil::RunWhole(KernelCopyRowsFlip, dst, src);
            for (int y = 0; y < size.h; ++y)
                ASSERT_EQ(0, std::memcmp(dst.at(0, y), src.at(0, size.h - 1 - y), static_cast<size_t>(dst.stride)));
        }
    }
    // Different strides: the shorter row decides.
    Image src(5, 3, 3), dst(3, 3, 3);
    testutil::FillRandom(src, 2);
    PixRect rect{0, 0, 3, 3};
    KernelCopyRowsFlip(dst.bits(), src.bits(), &rect, 0, 0, 3, 3, dst.stride, src.stride, 0, 0);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(0, std::memcmp(dst.at(0, y), src.at(0, 2 - y), static_cast<size_t>(dst.stride)));
}

// A sub-rectangle into a place inside a larger picture, small and large enough
// to be written past the caches, into outputs on and off 16-byte boundaries.
TEST(OutputKernels, CopyRowsFlipPlacesARectangleAtEverySize) {
    for (const int h : {7, 1100}) {
        const int w = 2731, bpp = 3;  // a large picture's rows are 8196 bytes: 8.6 MiB in all
        Image src(w, h, bpp);
        testutil::FillRandom(src, static_cast<uint32_t>(h));
        const PixRect rect{5, 2, w, h - 1};  // left, top, right, bottom
        const int dstCol = 3, dstRow = 1, rows = rect.bottom - rect.top;
        for (const int offset : {0, 1, 16}) {
            const int dstStride = src.stride + 64;
            std::vector<uint8_t> out(static_cast<size_t>(dstStride) * (rows + 2) + offset, 0xA5);
            std::vector<uint8_t> expected = out;
            uint8_t* const dst = out.data() + offset;
            const size_t bytes = static_cast<size_t>(src.stride - rect.left * bpp);
            for (int i = 0; i < rows; ++i)
                std::memcpy(expected.data() + offset + static_cast<size_t>(dstRow + i) * dstStride + dstCol * bpp,
                            src.at(rect.left, rect.bottom - 1 - i), bytes);
            KernelCopyRowsFlip(dst, src.bits(), &rect, dstCol, dstRow, bpp, bpp, dstStride, src.stride, 0, 0);
            ASSERT_EQ(out, expected) << "height " << h << ", offset " << offset;
        }
    }
}

TEST(OutputKernels, FrameRowsAreCopiedInEitherOrderAtEverySize) {
    for (const size_t rows : {size_t{3}, size_t{700}}) {
        const size_t stride = 14692;  // 700 rows: 9.8 MiB
        std::vector<uint8_t> src(stride * rows);
        for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>((i * 2654435761u) >> 11);
        for (const bool reversed : {false, true})
            for (const size_t offset : {0, 1, 16}) {
                std::vector<uint8_t> out(src.size() + 2 * 64, 0x5A), expected = out;
                for (size_t r = 0; r < rows; ++r)
                    std::memcpy(expected.data() + 64 + offset + r * stride,
                                src.data() + (reversed ? rows - 1 - r : r) * stride, stride);
                CopyFrameRows(out.data() + 64 + offset, src.data(), stride, rows, reversed);
                ASSERT_EQ(out, expected) << rows << " rows, reversed " << reversed << ", offset " << offset;
            }
    }
}

// Nearest-neighbour reference of the stretch kernels.
void ScaleReference(Image& dst, const Image& src, const PixRect& e, const PixRect& f, int bytes) {
    const int n = e.bottom - e.top, m = e.right - e.left;
    const float fy = static_cast<float>(f.bottom - f.top) / n, fx = static_cast<float>(f.right - f.left) / m;
    for (int i = 0; i < n; ++i) {
        const int k = std::clamp(static_cast<int>(i * fy), 0, src.height - 1);
        for (int j = 0; j < m; ++j) {
            const int c = std::clamp(static_cast<int>(j * fx), 0, src.width - 1);
            std::memcpy(dst.at(e.left + j, e.top + i), src.at(c, f.bottom - 1 - k), bytes);
        }
    }
}

TEST(OutputKernels, StretchKernelsPickTheNearestPixelRowsReversed) {
    const testutil::Size sizes[] = {{1, 1}, {2, 3}, {5, 4}, {17, 9}, {640, 3}, {3, 480}, {4897, 3}};
    for (const auto& s : sizes) {
        for (const auto& d : sizes) {
            struct {
                StretchKernel kernel;
                int dstBpp, srcBpp, bytes;
            } runs[] = {{KernelScale8, 1, 1, 1}, {KernelScale24, 3, 3, 3}, {KernelScale24, 3, 4, 3}};
            for (const auto& run : runs) {
                Image src(s.w, s.h, run.srcBpp), dst(d.w, d.h, run.dstBpp);
                testutil::FillRandom(src, 4);
                testutil::FillRandom(dst, 6);
                Image expected = dst;
                const PixRect e{0, 0, d.w, d.h}, f{0, 0, s.w, s.h};
                ScaleReference(expected, src, e, f, run.bytes);
                ASSERT_EQ(
                    run.kernel(dst.bits(), src.bits(), &e, &f, d.w, d.h, s.w, s.h, static_cast<uint16_t>(run.dstBpp),
                               static_cast<uint16_t>(run.srcBpp), dst.stride, src.stride, 0, 0),
                    1);
                ASSERT_EQ(dst.bytes, expected.bytes) << s.w << "x" << s.h << " -> " << d.w << "x" << d.h;
            }
        }
    }
}

TEST(OutputKernels, StretchIntoAnEmptyRectangleDoesNothing) {
    Image src(4, 4, 1), dst(4, 4, 1);
    const PixRect e{2, 2, 2, 4}, f{0, 0, 4, 4};
    EXPECT_EQ(KernelScale8(dst.bits(), src.bits(), &e, &f, 4, 4, 4, 4, 1, 1, dst.stride, src.stride, 0, 0), 1);
}

}  // namespace
