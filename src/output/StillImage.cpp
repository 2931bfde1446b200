// The still-image writer: brings the frame buffer into a form the chosen
// format accepts (the table of colour modes below) and hands it to the
// format's file writer. Temporary buffers live for the call only.
#include "output/StillImage.h"

#include "output/DibBuffer.h"
#include "pixel/output/OutputKernels.h"

namespace {

// JPEG takes 8-bit gray or 24-bit colour. The picture is prepared with its
// rows reversed, as the JPEG file writer expects bottom-up rows.
int SaveJpeg(const char* fileName, const DibBuffer& source, int quality) {
    ConvertKernel kernel = nullptr;
    uint16_t bits = 24;
    switch (source.bitCount) {
        case 8:
            kernel = KernelCopyRowsFlip, bits = 8;
            break;
        case 16:
            kernel = KernelGray16To8Flip, bits = 8;  // upper 8 of the 10 significant bits
            break;
        case 24:
        case 32:
            kernel = KernelBgr24CopyFlip;  // the fourth byte is dropped
            break;
        case 48:
        case 64:
            kernel = KernelColor48To24Flip;
            break;
        default:
            return 0;
    }
    DibBuffer temp;
    if (!temp.Create(source.width, source.height, bits)) return 0;
    if (!temp.Convert(kernel, &source, nullptr, 0, 0, 0, 0)) return 0;
    return WriteJpegFile(fileName, &temp, quality, 1);
}

// PNG stores 8-bit gray and colour straight from the buffer; 16-bit samples
// are brought from 10 significant bits to the full 16-bit range, and the
// fourth byte or sample of 32- and 64-bit buffers becomes an opaque alpha.
int SavePng(const char* fileName, const DibBuffer& source) {
    ConvertKernel kernel = nullptr;
    switch (source.bitCount & ~7) {
        case 16:
            kernel = KernelGray16Shl4;
            break;
        case 32:
            kernel = KernelBgrxComplementX;
            break;
        case 48:
            kernel = KernelColor48Shl6;
            break;
        case 64:
            kernel = KernelColor64Shl6Opaque;
            break;
        default:
            return WritePngFile(fileName, source.bits, source.width, source.height, source.bitCount);
    }
    DibBuffer temp;
    if (!temp.CreateLike(&source)) return 0;
    if (!temp.Convert(kernel, &source, nullptr, 0, 0, 0, 0)) return 0;
    return WritePngFile(fileName, temp.bits, source.width, source.height, source.bitCount);
}

}  // namespace

int WriteStillImage(const char* fileName, const DibBuffer* source, int format) {
    if (source == nullptr || source->bits == nullptr || source->width <= 0 || source->height <= 0) return 0;
    switch (format) {
        case kStillBmp:
            return WriteBmpFile(fileName, source);
        case kStillRaw:
            return WriteRawFile(fileName, source);
        case kStillJpeg100:
            return SaveJpeg(fileName, *source, 100);
        case kStillJpeg70:
            return SaveJpeg(fileName, *source, 70);
        case kStillJpeg20:
            return SaveJpeg(fileName, *source, 20);
        case kStillPng:
            return SavePng(fileName, *source);
        case kStillTiff:
            return WriteTiffFile(fileName, source);
        default:
            return 0;
    }
}
