// DibBuffer: one picture of the camera path. A bottom-up Windows DIB whose rows
// are reachable as raw bytes for the pixel kernels and, for the formats GDI
// knows (8, 16, 24, 32 bits), through a memory drawing context for BitBlt and
// StretchBlt. 48- and 64-bit pictures (three or four 16-bit samples with 10
// significant bits) live in zero-filled plain memory instead; they are reached
// through kernels only.
//
// Callers never loop over pixels themselves: they hand a kernel to Convert
// (same size, clipped) or Stretch (scaled).
//
// The optional DrawDib handle of the classic layout is left out: nothing in the
// library opens one, and closing it would pull Video for Windows into the
// import table.
#pragma once
#include <windows.h>

#include <cstdint>

#include "pixel/core/PixelTypes.h"

// BITMAPINFO with room for a full 256-entry colour table.
struct DibHeader {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

class DibBuffer {
public:
    DibBuffer() { Init(); }
    ~DibBuffer() { Release(); }
    DibBuffer(const DibBuffer&) = delete;
    DibBuffer& operator=(const DibBuffer&) = delete;

    // Empty buffer: every field zero or null, biSize 40. Does not free anything.
    void Init();
    // New picture of width x height pixels and bitCount bits per pixel, pixels
    // zero. Bad geometry (width or height <= 0, bitCount 0) returns 0 and keeps
    // the current picture; any later failure leaves the buffer empty.
    int Create(int width, int height, uint16_t bitCount);
    // New picture with the geometry and header of `source` (not its pixels, not
    // its colour table). 0 for a null or empty source, the buffer unchanged.
    int CreateLike(const DibBuffer* source);
    // Colour table: mode 0 writes the gray ramp (arguments ignored), mode 1 does
    // nothing, mode 2 sets `count` entries from `first` in the section only.
    int SetPalette(int mode, const RGBQUAD* entries, UINT first, UINT count);
    // Frees everything; the buffer is empty afterwards. Safe on an empty buffer.
    void Release();

    // BitBlt from `source` at (x, y); null rectangle: the whole source picture.
    // 0 when either buffer has no drawing context (plain memory or empty).
    int Blit(const DibBuffer* source, const RECT* sourceRect, int x, int y);
    // Scaled transfer by `kernel`; null rectangles: the whole picture of their
    // buffer. The kernel's result, or 0 without a kernel, source or pixels.
    int Stretch(StretchKernel kernel, const DibBuffer* source, const RECT* sourceRect, const RECT* destRect,
                intptr_t word1, intptr_t word2);
    // Same-size transfer by `kernel` of the source rectangle (null: the whole
    // source) to point (x, y), both counted from the top of the picture, clipped
    // to both buffers. The kernel's result, or 0 without a kernel or overlap.
    int Convert(ConvertKernel kernel, const DibBuffer* source, const RECT* sourceRect, int x, int y, intptr_t word1,
                intptr_t word2);

    // Bytes per memory row for a picture of `width` pixels at `bitCount` bits:
    // padded to a multiple of 4. -1 when it does not fit in 32 bits.
    static int64_t StrideFor(int width, uint16_t bitCount);

    // --- fields, in order ---
    DibHeader header;
    HDC memDC;
    HBITMAP bitmap;
    HGDIOBJ aux1;
    HGDIOBJ aux2;
    HGDIOBJ aux3;
    uint8_t* bits;
    int32_t width;
    int32_t height;
    int32_t stride;
    uint16_t bitCount;
    HGDIOBJ oldBitmap;
    HGDIOBJ oldAux1;
    HGDIOBJ oldAux2;
    HGDIOBJ oldAux3;

private:
    // Creates the pixels for the header already filled in, with `refDC` as the
    // reference context of the DIB section. 1, or 0 after Release.
    int Allocate(HDC refDC);
};
