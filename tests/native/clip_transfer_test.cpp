// Clipping of same-size transfers between bottom-up bitmaps.
#include <gtest/gtest.h>

#include "pixel/core/PixelTypes.h"

namespace {

struct Clip {
    bool ok;
    PixRect rect;
    int x, y;
};

Clip Clipped(PixRect rect, int x, int y, int sw, int sh, int dw, int dh) {
    const bool ok = ClipTransfer(rect, x, y, sw, sh, dw, dh);
    return {ok, rect, x, y};
}

void ExpectRect(const PixRect& r, int l, int t, int rr, int b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

TEST(ClipTransfer, EqualSizesExchangeTheWholePicture) {
    const Clip c = Clipped({0, 0, 640, 480}, 0, 0, 640, 480, 640, 480);
    ASSERT_TRUE(c.ok);
    ExpectRect(c.rect, 0, 0, 640, 480);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 0);
}

TEST(ClipTransfer, LargerSourceGivesItsTopLeftPartInMemoryRows) {
    const Clip c = Clipped({0, 0, 100, 100}, 0, 0, 100, 100, 50, 50);
    ASSERT_TRUE(c.ok);
    ExpectRect(c.rect, 0, 50, 50, 100);  // the highest memory rows: the top of the picture
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 0);
}

TEST(ClipTransfer, SmallerSourceLandsInTheTopMemoryRowsOfTheDestination) {
    const Clip c = Clipped({0, 0, 50, 50}, 0, 0, 50, 50, 100, 100);
    ASSERT_TRUE(c.ok);
    ExpectRect(c.rect, 0, 0, 50, 50);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 50);
}

TEST(ClipTransfer, OffsetDestinationPointIsClipped) {
    // Source 10x10 placed at (-3, 4) in a 8x12 picture: 7 columns, 8 rows remain.
    const Clip c = Clipped({0, 0, 10, 10}, -3, 4, 10, 10, 8, 12);
    ASSERT_TRUE(c.ok);
    // Source picture rows 0..7, columns 3..9 -> memory rows 10-8 .. 10-0.
    ExpectRect(c.rect, 3, 2, 10, 10);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 0);  // destination picture rows 4..11 -> memory rows 0..7
}

TEST(ClipTransfer, NoOverlapFailsAndZeroes) {
    const PixRect cases[] = {{0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}};
    const int points[][2] = {{-10, 0}, {0, -10}, {20, 0}, {0, 20}};
    for (int i = 0; i < 4; ++i) {
        const Clip c = Clipped(cases[i], points[i][0], points[i][1], 10, 10, 20, 20);
        EXPECT_FALSE(c.ok) << i;
        ExpectRect(c.rect, 0, 0, 0, 0);
        EXPECT_EQ(c.x, 0);
        EXPECT_EQ(c.y, 0);
    }
}

TEST(ClipTransfer, SourceRectangleOutsideItsPictureFails) {
    const Clip c = Clipped({30, 0, 40, 10}, 0, 0, 20, 20, 20, 20);
    EXPECT_FALSE(c.ok);
    ExpectRect(c.rect, 0, 0, 0, 0);
}

TEST(ClipTransfer, EmptyRectangleFails) {
    const Clip c = Clipped({5, 5, 5, 9}, 0, 0, 20, 20, 20, 20);
    EXPECT_FALSE(c.ok);
    ExpectRect(c.rect, 0, 0, 0, 0);
}

TEST(ClipTransfer, SourceReachingOutsideItsPictureKeepsPixelsPaired) {
    // Rectangle -2..6 in a 5-wide source: only source columns 0..4 exist, they
    // go to destination columns 2..6 (the destination moves with the clip).
    const Clip c = Clipped({-2, 0, 6, 3}, 0, 0, 5, 3, 20, 20);
    ASSERT_TRUE(c.ok);
    ExpectRect(c.rect, 0, 0, 5, 3);
    EXPECT_EQ(c.x, 2);
    EXPECT_EQ(c.y, 17);
}

TEST(ClipTransfer, ResultStaysInsideBothPictures) {
    for (int sw = 1; sw <= 6; ++sw)
        for (int dw = 1; dw <= 6; ++dw)
            for (int x = -7; x <= 7; ++x)
                for (int y = -7; y <= 7; ++y) {
                    const int sh = 7 - sw, dh = 7 - dw;
                    const Clip c = Clipped({0, 0, sw, sh}, x, y, sw, sh, dw, dh);
                    if (!c.ok) continue;
                    EXPECT_GE(c.rect.left, 0);
                    EXPECT_GE(c.rect.top, 0);
                    EXPECT_LE(c.rect.right, sw);
                    EXPECT_LE(c.rect.bottom, sh);
                    EXPECT_GT(c.rect.right, c.rect.left);
                    EXPECT_GT(c.rect.bottom, c.rect.top);
                    EXPECT_GE(c.x, 0);
                    EXPECT_GE(c.y, 0);
                    EXPECT_LE(c.x + (c.rect.right - c.rect.left), dw);
                    EXPECT_LE(c.y + (c.rect.bottom - c.rect.top), dh);
                }
}

}  // namespace
