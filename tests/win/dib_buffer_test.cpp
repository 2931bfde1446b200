// DibBuffer on real GDI: geometry and headers of every depth, plain memory for
// 48/64 bits, the creation rules, and what Convert, Stretch and Blit hand over.
#include <gtest/gtest.h>

#include <cstring>

#include "output/DibBuffer.h"

namespace {

bool AllZero(const DibBuffer& b) {
    const size_t n = static_cast<size_t>(b.stride) * b.height;
    for (size_t i = 0; i < n; ++i) {
        if (b.bits[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(DibBuffer, StridesAndHeadersOfEveryDepth) {
    struct Case {
        int width;
        uint16_t bits;
        int stride;
        bool gdi;
    };
    const Case cases[] = {
        {5, 8, 8, true},    {5, 16, 12, true},       {5, 24, 16, true}, {5, 32, 20, true},  {5, 48, 32, false},
        {5, 64, 40, false}, {4896, 24, 14688, true}, {1, 8, 4, true},   {7, 48, 44, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x3 at " << c.bits);
        DibBuffer b;
        ASSERT_EQ(b.Create(c.width, 3, c.bits), 1);
        EXPECT_EQ(b.stride, c.stride);
        EXPECT_EQ(b.width, c.width);
        EXPECT_EQ(b.height, 3);
        EXPECT_EQ(b.bitCount, c.bits);
        ASSERT_NE(b.bits, nullptr);
        const BITMAPINFOHEADER& h = b.header.bmiHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, 3);  // positive: bottom-up
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, c.bits);
        EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(h.biSizeImage, 0u);
        EXPECT_EQ(h.biClrUsed, 0u);
        EXPECT_EQ(c.gdi, b.memDC != nullptr);
        EXPECT_EQ(c.gdi, b.bitmap != nullptr);
        EXPECT_TRUE(AllZero(b));
        if (c.gdi) {
            // The section GDI made has the same row length as ours.
            DIBSECTION ds{};
            ASSERT_EQ(GetObject(b.bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
            EXPECT_EQ(ds.dsBm.bmWidthBytes, c.stride);
            EXPECT_EQ(ds.dsBm.bmBits, b.bits);
        }
    }
}

TEST(DibBuffer, EightBitBuffersCarryTheGrayRamp) {
    DibBuffer b;
    ASSERT_EQ(b.Create(6, 2, 8), 1);
    RGBQUAD table[256] = {};
    ASSERT_EQ(GetDIBColorTable(b.memDC, 0, 256, table), 256u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(b.header.bmiColors[i].rgbRed, i);
        ASSERT_EQ(table[i].rgbBlue, i);
        ASSERT_EQ(table[i].rgbGreen, i);
        ASSERT_EQ(table[i].rgbRed, i);
        ASSERT_EQ(table[i].rgbReserved, 0);
    }
    // Mode 2 changes the section's table only; mode 1 changes nothing.
    const RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(b.SetPalette(2, &red, 10, 1), 1);
    EXPECT_EQ(b.SetPalette(1, nullptr, 0, 0), 1);
    ASSERT_EQ(GetDIBColorTable(b.memDC, 10, 1, table), 1u);
    EXPECT_EQ(table[0].rgbRed, 255);
    EXPECT_EQ(table[0].rgbBlue, 0);
    EXPECT_EQ(b.header.bmiColors[10].rgbBlue, 10);
}

TEST(DibBuffer, BadGeometryKeepsThePictureAndReleaseEmpties) {
    DibBuffer b;
    ASSERT_EQ(b.Create(4, 4, 24), 1);
    b.bits[0] = 0x5A;
    uint8_t* const pixels = b.bits;
    EXPECT_EQ(b.Create(0, 4, 24), 0);
    EXPECT_EQ(b.Create(4, -1, 24), 0);
    EXPECT_EQ(b.Create(4, 4, 0), 0);
    EXPECT_EQ(b.CreateLike(nullptr), 0);
    DibBuffer empty;
    EXPECT_EQ(b.CreateLike(&empty), 0);
    EXPECT_EQ(b.bits, pixels);
    EXPECT_EQ(b.bits[0], 0x5A);
    EXPECT_EQ(b.width, 4);

    b.Release();
    EXPECT_EQ(b.bits, nullptr);
    EXPECT_EQ(b.memDC, nullptr);
    EXPECT_EQ(b.bitmap, nullptr);
    EXPECT_EQ(b.oldBitmap, nullptr);
    EXPECT_EQ(b.width, 0);
    EXPECT_EQ(b.stride, 0);
    EXPECT_EQ(b.bitCount, 0);
    EXPECT_EQ(b.header.bmiHeader.biSize, 40u);
    EXPECT_EQ(b.header.bmiHeader.biWidth, 0);
    b.Release();  // twice, and on a never-created buffer
    empty.Release();
    EXPECT_EQ(empty.header.bmiHeader.biSize, 40u);

    // A row that cannot be addressed fails like a refused allocation.
    EXPECT_EQ(b.Create(0x20000000, 1, 64), 0);
    EXPECT_EQ(b.bits, nullptr);
}

TEST(DibBuffer, RecreateAtAnotherDepthAndPlainMemoryRelease) {
    DibBuffer b;
    ASSERT_EQ(b.Create(10, 10, 64), 1);
    EXPECT_EQ(b.memDC, nullptr);
    std::memset(b.bits, 0xFF, static_cast<size_t>(b.stride) * b.height);
    ASSERT_EQ(b.Create(3, 2, 8), 1);  // releases the plain block
    EXPECT_NE(b.memDC, nullptr);
    EXPECT_EQ(b.stride, 4);
    ASSERT_EQ(b.Create(10, 10, 48), 1);
    EXPECT_TRUE(AllZero(b));
}

TEST(DibBuffer, CreateLikeCopiesGeometryNotPixels) {
    DibBuffer src;
    ASSERT_EQ(src.Create(7, 5, 8), 1);
    std::memset(src.bits, 0x77, static_cast<size_t>(src.stride) * src.height);
    const RGBQUAD odd{1, 2, 3, 0};
    src.SetPalette(2, &odd, 0, 1);

    DibBuffer copy;
    ASSERT_EQ(copy.Create(2, 2, 32), 1);
    ASSERT_EQ(copy.CreateLike(&src), 1);
    EXPECT_EQ(copy.width, 7);
    EXPECT_EQ(copy.height, 5);
    EXPECT_EQ(copy.stride, 8);
    EXPECT_EQ(copy.bitCount, 8);
    EXPECT_EQ(std::memcmp(&copy.header.bmiHeader, &src.header.bmiHeader, sizeof(BITMAPINFOHEADER)), 0);
    EXPECT_NE(copy.bits, src.bits);
    EXPECT_TRUE(AllZero(copy));
    RGBQUAD first{};
    ASSERT_EQ(GetDIBColorTable(copy.memDC, 0, 1, &first), 1u);
    EXPECT_EQ(first.rgbRed, 0);  // the gray ramp, not the source's table

    DibBuffer wide;
    ASSERT_EQ(wide.Create(3, 3, 64), 1);
    ASSERT_EQ(copy.CreateLike(&wide), 1);
    EXPECT_EQ(copy.memDC, nullptr);
    EXPECT_EQ(copy.stride, 24);

    ASSERT_EQ(copy.CreateLike(&copy), 1);  // onto itself: same geometry, fresh pixels
    EXPECT_EQ(copy.width, 3);
    EXPECT_EQ(copy.bitCount, 64);
}

struct ConvertCall {
    int calls = 0;
    PixRect rect{};
    int col = -1;
    int row = -1;
    uint16_t dstBpp = 0;
    uint16_t srcBpp = 0;
    int dstStride = 0;
    int srcStride = 0;
    intptr_t word1 = 0;
    intptr_t word2 = 0;
};
ConvertCall g_convert;

int RecordingConvert(uint8_t*, const uint8_t*, const PixRect* rect, int col, int row, uint16_t dstBpp, uint16_t srcBpp,
                     int dstStride, int srcStride, intptr_t word1, intptr_t word2) {
    ++g_convert.calls;
    g_convert.rect = *rect;
    g_convert.col = col;
    g_convert.row = row;
    g_convert.dstBpp = dstBpp;
    g_convert.srcBpp = srcBpp;
    g_convert.dstStride = dstStride;
    g_convert.srcStride = srcStride;
    g_convert.word1 = word1;
    g_convert.word2 = word2;
    return 7;
}

TEST(DibBuffer, ConvertHandsTheKernelTheClippedRectangle) {
    DibBuffer a;
    DibBuffer b;
    ASSERT_EQ(a.Create(30, 20, 24), 1);
    ASSERT_EQ(b.Create(30, 20, 64), 1);
    g_convert = {};
    EXPECT_EQ(a.Convert(RecordingConvert, &b, nullptr, 0, 0, 11, -12), 7);
    EXPECT_EQ(g_convert.calls, 1);
    EXPECT_EQ(g_convert.rect.left, 0);
    EXPECT_EQ(g_convert.rect.top, 0);
    EXPECT_EQ(g_convert.rect.right, 30);
    EXPECT_EQ(g_convert.rect.bottom, 20);
    EXPECT_EQ(g_convert.col, 0);
    EXPECT_EQ(g_convert.row, 0);
    EXPECT_EQ(g_convert.dstBpp, 3);
    EXPECT_EQ(g_convert.srcBpp, 8);
    EXPECT_EQ(g_convert.dstStride, 92);
    EXPECT_EQ(g_convert.srcStride, 240);
    EXPECT_EQ(g_convert.word1, 11);
    EXPECT_EQ(g_convert.word2, -12);

    // 100x100 into 50x50: the top-left part of the picture, the highest memory rows.
    DibBuffer big;
    DibBuffer small;
    ASSERT_EQ(big.Create(100, 100, 8), 1);
    ASSERT_EQ(small.Create(50, 50, 8), 1);
    g_convert = {};
    EXPECT_EQ(small.Convert(RecordingConvert, &big, nullptr, 0, 0, 0, 0), 7);
    EXPECT_EQ(g_convert.rect.left, 0);
    EXPECT_EQ(g_convert.rect.top, 50);
    EXPECT_EQ(g_convert.rect.right, 50);
    EXPECT_EQ(g_convert.rect.bottom, 100);
    EXPECT_EQ(g_convert.row, 0);
    EXPECT_EQ(g_convert.col, 0);

    // No kernel, no source, no overlap, an empty destination: the kernel is not called.
    g_convert = {};
    EXPECT_EQ(small.Convert(nullptr, &big, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(small.Convert(RecordingConvert, nullptr, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(small.Convert(RecordingConvert, &big, nullptr, 50, 0, 0, 0), 0);
    EXPECT_EQ(small.Convert(RecordingConvert, &big, nullptr, 0, -100, 0, 0), 0);
    DibBuffer empty;
    EXPECT_EQ(empty.Convert(RecordingConvert, &big, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(g_convert.calls, 0);
}

struct StretchCall {
    int calls = 0;
    PixRect dst{};
    PixRect src{};
    int dstWidth = 0;
    int srcHeight = 0;
};
StretchCall g_stretch;

int RecordingStretch(uint8_t*, const uint8_t*, const PixRect* dstRect, const PixRect* srcRect, int dstWidth, int, int,
                     int srcHeight, uint16_t, uint16_t, int, int, intptr_t, intptr_t) {
    ++g_stretch.calls;
    g_stretch.dst = *dstRect;
    g_stretch.src = *srcRect;
    g_stretch.dstWidth = dstWidth;
    g_stretch.srcHeight = srcHeight;
    return 1;
}

TEST(DibBuffer, StretchDefaultsBothRectangles) {
    DibBuffer dst;
    DibBuffer src;
    ASSERT_EQ(dst.Create(40, 30, 24), 1);
    ASSERT_EQ(src.Create(400, 300, 32), 1);
    g_stretch = {};
    EXPECT_EQ(dst.Stretch(RecordingStretch, &src, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(g_stretch.dst.right, 40);
    EXPECT_EQ(g_stretch.dst.bottom, 30);
    EXPECT_EQ(g_stretch.src.right, 400);
    EXPECT_EQ(g_stretch.src.bottom, 300);
    EXPECT_EQ(g_stretch.dstWidth, 40);
    EXPECT_EQ(g_stretch.srcHeight, 300);
    const RECT part{5, 6, 7, 8};
    EXPECT_EQ(dst.Stretch(RecordingStretch, &src, nullptr, &part, 0, 0), 1);
    EXPECT_EQ(g_stretch.dst.left, 5);
    EXPECT_EQ(g_stretch.dst.bottom, 8);
    EXPECT_EQ(dst.Stretch(nullptr, &src, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(g_stretch.calls, 2);
}

TEST(DibBuffer, BlitCopiesPixelsBetweenSections) {
    DibBuffer src;
    DibBuffer dst;
    ASSERT_EQ(src.Create(5, 4, 24), 1);
    ASSERT_EQ(dst.Create(5, 4, 24), 1);
    for (int y = 0; y < 4; ++y) {
        for (int i = 0; i < 15; ++i) {
            src.bits[y * src.stride + i] = static_cast<uint8_t>(y * 40 + i);
        }
    }
    GdiFlush();
    EXPECT_NE(dst.Blit(&src, nullptr, 0, 0), 0);
    GdiFlush();
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(std::memcmp(dst.bits + y * dst.stride, src.bits + y * src.stride, 15), 0) << "row " << y;
    }

    // A source rectangle counts from the top of the picture: the top row is the last memory row.
    DibBuffer one;
    ASSERT_EQ(one.Create(5, 1, 24), 1);
    const RECT top{0, 0, 5, 1};
    EXPECT_NE(one.Blit(&src, &top, 0, 0), 0);
    GdiFlush();
    EXPECT_EQ(std::memcmp(one.bits, src.bits + 3 * src.stride, 15), 0);

    DibBuffer plain;
    ASSERT_EQ(plain.Create(5, 4, 48), 1);
    EXPECT_EQ(dst.Blit(&plain, nullptr, 0, 0), 0);
    EXPECT_EQ(plain.Blit(&src, nullptr, 0, 0), 0);
    EXPECT_EQ(dst.Blit(nullptr, nullptr, 0, 0), 0);
}

}  // namespace
