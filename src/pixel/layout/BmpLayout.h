// Byte layout of the Windows bitmap files the SDK writes: a 14-byte file
// header, the 40-byte BITMAPINFOHEADER of the picture, a 256-entry gray ramp
// for pictures of 8 bits or fewer, then the rows bottom row first, each padded
// to a multiple of 4 bytes. All fields little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBmpColorTableSize = 256 * 4;
// Room for the largest header block (file header, info header, colour table).
constexpr uint32_t kBmpMaxHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize + kBmpColorTableSize;

// Where the pixel rows start: 54, or 1078 when a colour table is present.
uint32_t BmpPixelOffset(uint16_t bitCount);

// Fills `out` (kBmpMaxHeadersSize bytes of room) with everything in front of
// the pixel rows of a width x height picture of bitCount bits per pixel and
// `stride` bytes per row; the colour table, when present, is the gray ramp.
// Returns the number of header bytes (the pixel offset), or 0 when the
// geometry is not a picture or the file would not fit the 32-bit size field.
uint32_t BuildBmpHeaders(uint8_t* out, int32_t width, int32_t height, int32_t stride, uint16_t bitCount);
