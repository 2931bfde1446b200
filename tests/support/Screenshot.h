// Pictures of the dialogs for people to look at: with VIDLYN_DIALOG_SHOTS set
// to a folder (and the program run under Xvfb with the X11 prefix), a test
// saves the screen area of a window there as a PNG file. Without it nothing
// happens, so the tests run headless as always.
#pragma once
#include <png.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace dialogtest {

inline void Screenshot(HWND wnd, const char* name) {
    const char* folder = std::getenv("VIDLYN_DIALOG_SHOTS");
    if (!folder || !*folder) return;
    // Let the window paint itself on the X server first.
    UpdateWindow(wnd);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 30; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    RECT r{};
    GetWindowRect(wnd, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();

    const std::string path = std::string(folder) + "/" + name + ".png";
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop pngInfo = png_create_info_struct(png);
        if (!setjmp(png_jmpbuf(png))) {
            png_init_io(png, file);
            png_set_IHDR(png, pngInfo, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, pngInfo);
            std::vector<png_byte> row(static_cast<size_t>(width) * 3);
            for (int y = 0; y < height; ++y) {
                const uint8_t* src = static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * width * 4;
                for (int x = 0; x < width; ++x) {
                    row[x * 3 + 0] = src[x * 4 + 2];
                    row[x * 3 + 1] = src[x * 4 + 1];
                    row[x * 3 + 2] = src[x * 4 + 0];
                }
                png_write_row(png, row.data());
            }
            png_write_end(png, nullptr);
        }
        png_destroy_write_struct(&png, &pngInfo);
        std::fclose(file);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

}  // namespace dialogtest
