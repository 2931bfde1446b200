// Placing a raw camera frame into a session frame buffer: cropping the
// capture area, spreading packed rows to the buffer's stride, widening the
// camera's bytes to 16-bit samples, and the two mirrors.
#pragma once
#include <cstddef>

#include "pixel/core/PixelTypes.h"

// Copies the capture area (startX, startY, width, height) of a delivered
// frame of frameW x frameH pixels (bytesPerPixel each, rows packed, srcSize
// bytes available) into dst rows of dstStride bytes (dstSize bytes available).
// Only the part of the area inside the frame is copied, pixels outside it are
// set to 0, and neither buffer is read or written past its size. In place
// (dst == src) is allowed with dstStride = width * bytesPerPixel for an area
// inside the frame (rows only move towards the start). Returns true
// when the whole area lay inside the frame and both buffers were large enough.
bool CropFrame(uint8_t* dst, size_t dstSize, int dstStride, const uint8_t* src, size_t srcSize, int frameW, int frameH,
               int startX, int startY, int width, int height, int bytesPerPixel);

// In place (dst == src, the buffer's own bits): rows packed at width * dstBpp
// bytes each are spread to dstStride, last row first and within a row last
// byte first. Any pixel size (1- and 2-byte buffers).
int KernelSpreadRows(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// In place (dst == src, the 16-bit buffer's bits): the camera's bytes, packed
// at width bytes per row, become 16-bit samples byte << 2 (10 significant
// bits) at dstStride; last row first, last pixel first.
int KernelWidenPacked8To16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                           uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                           intptr_t word2);
// Separate buffers, 8 -> 16 bits, rows kept: sample = byte << 2.
int KernelWiden8To16(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);

// Horizontal mirror: the pixel order of every row reversed (any pixel size).
// In place (dst == src) or into another buffer of the same format.
int KernelMirrorH(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                  uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// The straight versions of the widening and the horizontal mirror: the
// reference their vector rows match byte for byte.
int KernelWidenPacked8To16Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                    uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                    intptr_t word2);
int KernelWiden8To16Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                              uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                              intptr_t word2);
int KernelMirrorVReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                           uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                           intptr_t word2);
int KernelMirrorHReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                           uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                           intptr_t word2);

// Vertical mirror: row i and row h - 1 - i exchanged. In place (dst == src) or
// into another buffer of the same format.
int KernelMirrorV(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                  uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
