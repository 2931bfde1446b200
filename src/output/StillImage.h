// Still image files of a frame buffer: BMP, raw pixels, JPEG at three
// qualities, PNG and TIFF. Every writer returns 1 when the whole file was
// written and closed, 0 otherwise; none of them posts an error code (the
// exports decide) and none leaves anything allocated or open behind.
//
// Row order: memory row 0 of the buffer is the top of the picture in every
// format; BMP stores it last (bottom-up rows), the others first. File names
// are UTF-8 (FileName.h).
#pragma once
#include <cstdint>

class DibBuffer;

// Format codes of Vidlyn_SaveImage.
enum StillFormat : int {
    kStillBmp = 0,
    kStillRaw = 1,
    kStillJpeg100 = 2,
    kStillJpeg70 = 3,
    kStillJpeg20 = 4,
    kStillPng = 5,
    kStillTiff = 6,
};

// Writes `source` as format `format` (0..6); any other code, a null or empty
// source, returns 0 and creates no file.
int WriteStillImage(const char* fileName, const DibBuffer* source, int format);

// The buffer's own bit count, rows bottom-up, a gray ramp for 8 bits.
int WriteBmpFile(const char* fileName, const DibBuffer* image);
// The buffer's pixel memory as it is, row padding included, no header.
int WriteRawFile(const char* fileName, const DibBuffer* image);
// An 8-bit (gray, one component) or 24-bit (RGB) buffer whose rows are stored
// bottom-up, as the still-image writer prepares it: the last memory row is
// the top of the JPEG. Any other bit count returns 0.
int WriteJpegFile(const char* fileName, const DibBuffer* image, int quality, int progressive);
// width x height pixels of bitCount (8, 16, 24, 32, 48, 64) bits, rows of
// width x bitCount / 8 bytes padded to a multiple of 4, memory row 0 on top;
// 16-bit samples are full-range little-endian values, colour in blue, green,
// red(, fourth) order.
int WritePngFile(const char* fileName, const uint8_t* pixels, int width, int height, int bitCount);
// One uncompressed strip, rows without padding, memory row 0 on top.
int WriteTiffFile(const char* fileName, const DibBuffer* image);
