// The preview window through the exports, with a simulated camera: the child
// and top-level windows as made, the direct and scaled paint paths, the
// display picture across a resize, and windows that go away (closed by the
// user, replaced by a new preview, torn down by Vidlyn_Close).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "StreamingCamera.h"

namespace {

using streamtest::kHeight;
using streamtest::kWidth;

bool ClassExists(const std::string& name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &wc) != 0;
}

bool AllZero(const DibBuffer* b) {
    const size_t bytes = static_cast<size_t>(b->stride) * b->height;
    for (size_t i = 0; i < bytes; ++i)
        if (b->bits[i] != 0) return false;
    return true;
}

class PreviewWindow : public streamtest::StreamingCamera {
protected:
    void SetUp() override {
        StreamingCamera::SetUp();
        parent = CreateWindowExA(0, "STATIC", "application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1400, 1000,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        Vidlyn_Close(h);
        DestroyWindow(parent);
        StreamingCamera::TearDown();
    }
    // Waits until `count` more frames have gone through the whole loop (painted included).
    void Frames(int count, int bitsPerPixel) {
        std::vector<uint8_t> image;
        for (int i = 0; i < count; ++i) ASSERT_TRUE(NextImage(image, bitsPerPixel));
    }

    HWND parent = nullptr;
};

TEST_F(PreviewWindow, ChildWindowWhereTheApplicationPutsIt) {
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, parent, 10, 20, 640, 480), 1);
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    const HWND child = s->m_previewWnd;
    ASSERT_NE(child, nullptr);
    EXPECT_NE(s->m_previewDC, nullptr);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & 0x52000000u, 0x52000000u);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    char text[64] = {};
    GetWindowTextA(child, text, sizeof(text));
    EXPECT_STREQ(text, "ActiveMovie Window");
    char className[256] = {};
    GetClassNameA(child, className, sizeof(className));
    EXPECT_STREQ(className, s->m_wndClassName);
    EXPECT_EQ(std::strncmp(className, "VideoRenderer_", 14), 0);
    EXPECT_EQ(std::strlen(className), 31u) << className;

    // A new placement applies to the next window only.
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, parent, 0, 0, 100, 100), 1);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.right - r.left, 640);

    // Vidlyn_Close takes the window, its drawing context and its class away.
    const std::string name = className;
    ASSERT_TRUE(ClassExists(name));
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(s->m_previewWnd, nullptr);
    EXPECT_EQ(s->m_previewDC, nullptr);
    EXPECT_STREQ(s->m_wndClassName, "");
    EXPECT_FALSE(ClassExists(name));
}

// The top-level window's frame for a client area of w x h, and where it goes.
RECT ExpectedTopLevel(int w, int h) {
    RECT frame{0, 0, w, h};
    AdjustWindowRectEx(&frame, 0x16CF0000, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    return RECT{x, y, x + width, y + height};
}

TEST_F(PreviewWindow, TopLevelWindowSizedToTheSubsampledPictureAndCentred) {
    // A capture area of 1600 x 1200 at subsampling code 2: a client area of 400 x 300.
    ASSERT_EQ(s->m_subSample, 2);
    s->m_width = 1600;
    s->m_height = 1200;
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    const HWND wnd = s->m_previewWnd;
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(GetParent(wnd), nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE)) & 0x16CF0000u, 0x16CF0000u);
    char text[64] = {};
    GetWindowTextA(wnd, text, sizeof(text));
    EXPECT_STREQ(text, "Active Window");
    RECT client{};
    GetClientRect(wnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    RECT frame{};
    GetWindowRect(wnd, &frame);
    const RECT expected = ExpectedTopLevel(400, 300);
    EXPECT_EQ(frame.left, expected.left);
    EXPECT_EQ(frame.top, expected.top);
    EXPECT_GT(frame.left, 0);
    Frames(2, 24);
    EXPECT_EQ(Vidlyn_Close(h), 1);

    // The whole sensor at code 2 (1224 x 816 and the frame) is larger than
    // this screen: the window starts at its top-left corner.
    s->m_width = 4896;
    s->m_height = 3264;
    const RECT large = ExpectedTopLevel(kWidth, kHeight);
    ASSERT_GT(large.right - large.left, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    GetWindowRect(s->m_previewWnd, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
}

TEST_F(PreviewWindow, SameSizeColourPictureIsDrawnDirectly) {
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, parent, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    // Made at the client size by the preparation; the direct path never writes it.
    ASSERT_EQ(s->m_dibDisplay->width, kWidth);
    ASSERT_EQ(s->m_dibDisplay->bitCount, 24);
    Frames(3, 24);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_TRUE(AllZero(s->m_dibDisplay));
    EXPECT_NE(s->PaintPreview(), 0);
    EXPECT_TRUE(AllZero(s->m_dibDisplay));
    // A hidden window is not painted.
    ShowWindow(s->m_previewWnd, SW_HIDE);
    EXPECT_EQ(s->PaintPreview(), 0);
}

TEST_F(PreviewWindow, SixteenBitGrayIsScaledEvenAtTheSameSize) {
    ASSERT_EQ(Vidlyn_SetColorMode(h, 16), 1);
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, parent, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    Frames(3, 16);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    // The display holds the last painted frame reduced to 8 bits, upright.
    const DibBuffer* display = s->m_dibDisplay;
    const DibBuffer* gray = s->m_dib8;
    ASSERT_EQ(display->bitCount, 8);
    ASSERT_EQ(display->width, kWidth);
    ASSERT_FALSE(AllZero(display));
    for (int y = 0; y < kHeight; ++y) {
        ASSERT_EQ(
            std::memcmp(display->bits + y * display->stride, gray->bits + (kHeight - 1 - y) * gray->stride, kWidth), 0)
            << "row " << y;
    }
}

TEST_F(PreviewWindow, ResizedWindowGetsANewDisplayPictureOnce) {
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, parent, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    Frames(2, 24);
    ASSERT_TRUE(SetWindowPos(s->m_previewWnd, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER));
    Frames(3, 24);
    const DibBuffer* display = s->m_dibDisplay;
    EXPECT_EQ(display->width, 600);
    EXPECT_EQ(display->height, 400);
    EXPECT_EQ(display->bitCount, 24);
    const uint8_t* const pixels = display->bits;
    const HBITMAP bitmap = display->bitmap;
    Frames(3, 24);
    EXPECT_EQ(display->bits, pixels);
    EXPECT_EQ(display->bitmap, bitmap);
    EXPECT_FALSE(AllZero(display));
}

TEST_F(PreviewWindow, WindowClosedByTheUserIsNoLongerPainted) {
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    const HWND wnd = s->m_previewWnd;
    const std::string name = s->m_wndClassName;
    Frames(2, 24);
    // The close box: the window dies on this thread while the loop paints.
    ASSERT_TRUE(DestroyWindow(wnd));
    EXPECT_EQ(s->m_previewWnd, nullptr);
    EXPECT_EQ(s->m_previewDC, nullptr);
    Frames(3, 24);  // the stream goes on without the window
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_FALSE(ClassExists(name));
    EXPECT_EQ(Codes(), std::vector<int>{});
}

TEST_F(PreviewWindow, APreviewAfterAStopReplacesTheOldWindow) {
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    // A stop leaves the window.
    const HWND old = s->m_previewWnd;
    const std::string oldClass = s->m_wndClassName;
    ASSERT_TRUE(IsWindow(old));
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(ClassExists(oldClass));
    EXPECT_NE(s->m_previewWnd, old);
    EXPECT_TRUE(IsWindow(s->m_previewWnd));
    Frames(2, 24);
}

}  // namespace
