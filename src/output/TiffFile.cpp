// TIFF still images through libtiff: classic (32-bit offset) TIFF, one
// uncompressed strip of rows without padding, memory row 0 first. 16-bit
// samples are brought from 10 significant bits to the full range, colour
// from blue-green-red memory order to RGB.
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "output/DibBuffer.h"
#include "output/FileName.h"
#include "output/StillImage.h"
#include "pixel/output/OutputKernels.h"

extern "C" {
#include <tiffio.h>
}

namespace {

struct TiffSamples {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
    ConvertKernel kernel;  // null: the bytes are copied
};

bool SamplesFor(uint16_t bitCount, TiffSamples* out) {
    switch (bitCount / 8) {
        case 1:
            *out = {8, PHOTOMETRIC_MINISBLACK, 1, nullptr};
            return true;
        case 2:
            *out = {16, PHOTOMETRIC_MINISBLACK, 1, KernelGray16Shl4};
            return true;
        case 3:
            *out = {8, PHOTOMETRIC_RGB, 3, KernelBgrToRgb24};
            return true;
        case 4:
            *out = {8, PHOTOMETRIC_RGB, 4, KernelBgrToRgb24};  // fourth byte 0
            return true;
        case 6:
            *out = {16, PHOTOMETRIC_RGB, 3, KernelColor48Shl6Swap};
            return true;
        case 8:
            *out = {16, PHOTOMETRIC_RGB, 4, KernelColor64Shl6SwapOpaque};
            return true;
        default:
            return false;
    }
}

// libtiff prints its errors and warnings by default; the SDK keeps no log
// and reports through results instead.
void SilenceLibtiff() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

}  // namespace

int WriteTiffFile(const char* fileName, const DibBuffer* image) {
    if (fileName == nullptr || image == nullptr || image->bits == nullptr || image->width <= 0 || image->height <= 0)
        return 0;
    TiffSamples samples;
    if (!SamplesFor(image->bitCount, &samples)) return 0;
    const int bytesPerPixel = image->bitCount / 8;
    const size_t rowBytes = static_cast<size_t>(image->width) * bytesPerPixel;
    const size_t stripBytes = rowBytes * static_cast<size_t>(image->height);

    // The strip: rows of exactly width x bytes per pixel, converted on the way.
    std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[stripBytes]());
    if (!strip) return 0;
    if (samples.kernel == nullptr) {
        for (int y = 0; y < image->height; ++y)
            std::memcpy(strip.get() + y * rowBytes, image->bits + static_cast<size_t>(y) * image->stride, rowBytes);
    } else {
        const PixRect whole{0, 0, image->width, image->height};
        samples.kernel(strip.get(), image->bits, &whole, 0, 0, static_cast<uint16_t>(bytesPerPixel),
                       static_cast<uint16_t>(bytesPerPixel), static_cast<int>(rowBytes), image->stride, 0, 0);
    }

    const std::wstring wide = WideFileName(fileName);
    if (wide.empty()) return 0;
    SilenceLibtiff();
    TIFF* tif = TIFFOpenW(wide.c_str(), "w");  // "w": classic TIFF, never BigTIFF
    if (tif == nullptr) return 0;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image->width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image->height));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, samples.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples.photometric);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples.samplesPerPixel);
    const bool written = TIFFWriteEncodedStrip(tif, 0, strip.get(), static_cast<tmsize_t>(stripBytes)) ==
                         static_cast<tmsize_t>(stripBytes);
    // The directory is written at the end; TIFFClose cannot report its failure.
    const bool flushed = written && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return flushed ? 1 : 0;
}
