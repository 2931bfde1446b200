#include "pixel/output/RecordKernels.h"

#include "pixel/core/KernelRows.h"

namespace {

template <int SrcBpp>
void GrayRowsTo24(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                  int dstStride, int srcStride) {
    pixel::ForEachRow<true>(dst, src, r, dstCol, dstRow, dstBpp, SrcBpp, dstStride, srcStride,
                            [&](uint8_t* d, const uint8_t* s, int m) {
                                for (int j = 0; j < m; ++j, d += dstBpp, s += SrcBpp) {
                                    const uint8_t v = SrcBpp == 1 ? s[0] : pixel::Reduce10To8(pixel::Load16(s));
                                    d[0] = v;
                                    d[1] = v;
                                    d[2] = v;
                                }
                            });
}

}  // namespace

int KernelGrayTo24Flip(uint8_t* dst, const uint8_t* src, const PixRect* r, int dstCol, int dstRow, uint16_t dstBpp,
                       uint16_t srcBpp, int dstStride, int srcStride, intptr_t, intptr_t) {
    if (srcBpp == 2) {
        GrayRowsTo24<2>(dst, src, r, dstCol, dstRow, dstBpp, dstStride, srcStride);
    } else {
        GrayRowsTo24<1>(dst, src, r, dstCol, dstRow, dstBpp, dstStride, srcStride);
    }
    return 1;
}
