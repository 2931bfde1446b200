// The output kernels: pixel transfers from session frame buffers into display,
// file and application buffers. Each follows the convert (or stretch) kernel
// calling contract of PixelTypes.h and returns 1. 16-bit samples carry 10
// significant bits; "10-to-8" below means (v >> 2) & 255.
#pragma once
#include "pixel/core/PixelTypes.h"

// Whole rows, same format, rows reversed: copies min(dst, src) row bytes left
// at the destination column and the source column.
int KernelCopyRowsFlip(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                       uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 32 -> 24 bits, rows kept: bytes 0, 1, 2.
int KernelBgrx32ToBgr24(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                        uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 16 -> 8 bits gray, rows kept: 10-to-8.
int KernelGray16To8(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                    uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 16 -> 8 bits gray, rows reversed: 10-to-8.
int KernelGray16To8Flip(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                        uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 48 or 64 -> 24 bits, rows kept: first three samples 10-to-8.
int KernelColor48To24(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                      uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 48 or 64 -> 24 bits, rows reversed: first three samples 10-to-8.
int KernelColor48To24Flip(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                          uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                          intptr_t word2);
// The straight loops of the two kernels above: the reference their vector
// rows match byte for byte.
int KernelColor48To24Reference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                               uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                               intptr_t word2);
int KernelColor48To24FlipReference(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                   uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                   intptr_t word2);
// 24 or 32 -> 24 bits, rows reversed: bytes 0, 1, 2.
int KernelBgr24CopyFlip(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                        uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 24 or 32 -> same, rows kept: bytes 2, 1, 0 (RGB order); a fourth byte is not written.
int KernelBgrToRgb24(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 32 -> 32 bits, rows kept: bytes 0, 1, 2 copied, byte 3 = ~source byte 3.
int KernelBgrxComplementX(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                          uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                          intptr_t word2);
// 16 -> 16 bits gray, rows kept: sample << 4.
int KernelGray16Shl4(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                     uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 48 -> 48 bits, rows kept: three samples << 6.
int KernelColor48Shl6(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow, uint16_t dstBpp,
                      uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1, intptr_t word2);
// 64 -> 64 bits, rows kept: samples 0..2 << 6, sample 3 = 0xFFFF.
int KernelColor64Shl6Opaque(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                            uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                            intptr_t word2);
// 48 -> 48 bits, rows kept: samples 2, 1, 0 (RGB order) << 6.
int KernelColor48Shl6Swap(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                          uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                          intptr_t word2);
// 64 -> 64 bits, rows kept: samples 2, 1, 0 << 6, sample 3 = 0xFFFF.
int KernelColor64Shl6SwapOpaque(uint8_t* dst, const uint8_t* src, const PixRect* srcRect, int dstCol, int dstRow,
                                uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, intptr_t word1,
                                intptr_t word2);

// Stretch, 8 -> 8 bits, rows reversed: nearest neighbour, one byte.
int KernelScale8(uint8_t* dst, const uint8_t* src, const PixRect* dstRect, const PixRect* srcRect, int dstWidth,
                 int dstHeight, int srcWidth, int srcHeight, uint16_t dstBpp, uint16_t srcBpp, int dstStride,
                 int srcStride, intptr_t word1, intptr_t word2);
// Stretch, 24 (or 32) -> 24 bits, rows reversed: nearest neighbour, bytes 0, 1, 2.
int KernelScale24(uint8_t* dst, const uint8_t* src, const PixRect* dstRect, const PixRect* srcRect, int dstWidth,
                  int dstHeight, int srcWidth, int srcHeight, uint16_t dstBpp, uint16_t srcBpp, int dstStride,
                  int srcStride, intptr_t word1, intptr_t word2);
