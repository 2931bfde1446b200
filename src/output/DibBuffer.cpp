#include "output/DibBuffer.h"

#include <cstdlib>
#include <cstring>

void DibBuffer::Init() {
    std::memset(&header, 0, sizeof(header));
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    memDC = nullptr;
    bitmap = nullptr;
    aux1 = aux2 = aux3 = nullptr;
    bits = nullptr;
    width = height = stride = 0;
    bitCount = 0;
    oldBitmap = nullptr;
    oldAux1 = oldAux2 = oldAux3 = nullptr;
}

int64_t DibBuffer::StrideFor(int width, uint16_t bitCount) {
    const int64_t bytes = (static_cast<int64_t>(width) * (bitCount / 8) + 3) & ~int64_t{3};
    return bytes > INT32_MAX ? -1 : bytes;
}

int DibBuffer::Create(int newWidth, int newHeight, uint16_t newBitCount) {
    if (newWidth <= 0 || newHeight <= 0 || newBitCount == 0) {
        return 0;
    }
    Release();
    const int64_t newStride = StrideFor(newWidth, newBitCount);
    if (newStride < 0) {
        return 0;  // a row that large cannot be addressed: as a failed allocation
    }
    BITMAPINFOHEADER& h = header.bmiHeader;
    h.biWidth = newWidth;
    h.biHeight = newHeight;  // positive: bottom-up
    h.biPlanes = 1;
    h.biBitCount = newBitCount;
    h.biCompression = BI_RGB;
    width = newWidth;
    height = newHeight;
    bitCount = newBitCount;
    stride = static_cast<int32_t>(newStride);
    return Allocate(nullptr);
}

int DibBuffer::CreateLike(const DibBuffer* source) {
    if (source == nullptr || source->width <= 0 || source->height <= 0 || source->bitCount == 0) {
        return 0;
    }
    // CreateLike(this) would release the very geometry it is asked to copy.
    const BITMAPINFOHEADER srcHeader = source->header.bmiHeader;
    const int32_t srcWidth = source->width;
    const int32_t srcHeight = source->height;
    const int32_t srcStride = source->stride;
    const uint16_t srcBitCount = source->bitCount;
    const HDC refDC = source == this ? nullptr : source->memDC;
    Release();
    header.bmiHeader = srcHeader;
    width = srcWidth;
    height = srcHeight;
    stride = srcStride;
    bitCount = srcBitCount;
    return Allocate(refDC);
}

int DibBuffer::Allocate(HDC refDC) {
    if (bitCount == 8) {
        SetPalette(0, nullptr, 0, 0);  // the header carries the gray ramp into the section
    }
    void* sectionBits = nullptr;
    bitmap =
        CreateDIBSection(refDC, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    if (bitmap != nullptr) {
        bits = static_cast<uint8_t*>(sectionBits);
        memDC = CreateCompatibleDC(nullptr);
        if (memDC == nullptr) {
            Release();
            return 0;
        }
        oldBitmap = SelectObject(memDC, bitmap);
        if (oldBitmap == nullptr || oldBitmap == HGDI_ERROR) {
            oldBitmap = nullptr;
            Release();
            return 0;
        }
        return 1;
    }
    // GDI refused the format (always so for 48 and 64 bits): plain memory.
    const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(height);
    bits = static_cast<uint8_t*>(std::calloc(size, 1));
    if (bits == nullptr) {
        Release();
        return 0;
    }
    return 1;
}

int DibBuffer::SetPalette(int mode, const RGBQUAD* entries, UINT first, UINT count) {
    if (mode == 0) {
        for (int i = 0; i < 256; ++i) {
            const BYTE v = static_cast<BYTE>(i);
            header.bmiColors[i] = RGBQUAD{v, v, v, 0};
        }
        if (memDC != nullptr) {
            SetDIBColorTable(memDC, 0, 256, header.bmiColors);
        }
    } else if (mode == 2) {
        if (memDC != nullptr && entries != nullptr) {
            SetDIBColorTable(memDC, first, count, entries);
        }
    }
    return 1;
}

void DibBuffer::Release() {
    HGDIOBJ* auxObjects[3] = {&aux1, &aux2, &aux3};
    HGDIOBJ* displaced[3] = {&oldAux1, &oldAux2, &oldAux3};
    for (int i = 0; i < 3; ++i) {
        if (*auxObjects[i] == nullptr) {
            continue;
        }
        if (*displaced[i] != nullptr) {
            if (memDC != nullptr) {
                SelectObject(memDC, *displaced[i]);
            }
            *displaced[i] = nullptr;
        }
        DeleteObject(*auxObjects[i]);
        *auxObjects[i] = nullptr;
    }
    if (bitmap != nullptr) {
        if (memDC != nullptr && oldBitmap != nullptr) {
            SelectObject(memDC, oldBitmap);
        }
        DeleteObject(bitmap);
        bitmap = nullptr;
        oldBitmap = nullptr;
        bits = nullptr;  // the section owned the pixels
    }
    if (memDC != nullptr) {
        DeleteDC(memDC);
        memDC = nullptr;
    }
    if (bits != nullptr) {
        std::free(bits);  // plain-memory pixels
        bits = nullptr;
    }
    width = height = stride = 0;
    bitCount = 0;
    std::memset(&header, 0, sizeof(header));
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
}

int DibBuffer::Blit(const DibBuffer* source, const RECT* sourceRect, int x, int y) {
    if (source == nullptr || memDC == nullptr || source->memDC == nullptr) {
        return 0;
    }
    int sx = 0;
    int sy = 0;
    int w = source->width;
    int h = source->height;
    if (sourceRect != nullptr) {
        sx = sourceRect->left;
        sy = sourceRect->top;
        w = sourceRect->right - sourceRect->left;
        h = sourceRect->bottom - sourceRect->top;
    }
    return BitBlt(memDC, x, y, w, h, source->memDC, sx, sy, SRCCOPY);
}

int DibBuffer::Stretch(StretchKernel kernel, const DibBuffer* source, const RECT* sourceRect, const RECT* destRect,
                       intptr_t word1, intptr_t word2) {
    if (kernel == nullptr || source == nullptr || bits == nullptr || source->bits == nullptr) {
        return 0;
    }
    PixRect src{0, 0, source->width, source->height};
    if (sourceRect != nullptr) {
        src = PixRect{sourceRect->left, sourceRect->top, sourceRect->right, sourceRect->bottom};
    }
    PixRect dst{0, 0, width, height};
    if (destRect != nullptr) {
        dst = PixRect{destRect->left, destRect->top, destRect->right, destRect->bottom};
    }
    return kernel(bits, source->bits, &dst, &src, width, height, source->width, source->height,
                  static_cast<uint16_t>(bitCount / 8), static_cast<uint16_t>(source->bitCount / 8), stride,
                  source->stride, word1, word2);
}

int DibBuffer::Convert(ConvertKernel kernel, const DibBuffer* source, const RECT* sourceRect, int x, int y,
                       intptr_t word1, intptr_t word2) {
    if (kernel == nullptr || source == nullptr) {
        return 0;
    }
    PixRect rect{0, 0, source->width, source->height};
    if (sourceRect != nullptr) {
        rect = PixRect{sourceRect->left, sourceRect->top, sourceRect->right, sourceRect->bottom};
    }
    int col = x;
    int row = y;
    if (!ClipTransfer(rect, col, row, source->width, source->height, width, height)) {
        return 0;
    }
    if (bits == nullptr || source->bits == nullptr) {
        return 0;
    }
    return kernel(bits, source->bits, &rect, col, row, static_cast<uint16_t>(bitCount / 8),
                  static_cast<uint16_t>(source->bitCount / 8), stride, source->stride, word1, word2);
}
