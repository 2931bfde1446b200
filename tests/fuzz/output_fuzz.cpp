// The output kernels (display, files, the application's buffer, the AVI
// frames) over any clipped transfer: the rectangle and destination point come
// through ClipTransfer from anything, as DibBuffer::Convert hands them on.
// Pairs with a straight reference are compared at every level; every kernel
// writes only the pixels of its transfer, and the frame copies keep every row.
#include <cstring>

#include "KernelPaths.h"
#include "pixel/output/FrameCopy.h"
#include "pixel/output/OutputKernels.h"

namespace {

struct Kind {
    ConvertKernel kernel;
    ConvertKernel reference;  // or null
    int srcBpp[2];            // allowed source sizes (the second 0 when only one)
    int dstBpp;               // 0: the same as the source
    int writtenBytes;         // bytes of each destination pixel the kernel writes (0: all)
};

const Kind kKinds[] = {
    {KernelCopyRowsFlip, nullptr, {1, 3}, 0, 0},
    {KernelBgrx32ToBgr24, nullptr, {4, 0}, 3, 0},
    {KernelGray16To8, nullptr, {2, 0}, 1, 0},
    {KernelGray16To8Flip, nullptr, {2, 0}, 1, 0},
    {KernelColor48To24, KernelColor48To24Reference, {6, 8}, 3, 0},
    {KernelColor48To24Flip, KernelColor48To24FlipReference, {6, 8}, 3, 0},
    {KernelBgr24CopyFlip, nullptr, {3, 4}, 3, 0},
    {KernelBgrToRgb24, nullptr, {3, 4}, 0, 3},
    {KernelBgrxComplementX, nullptr, {4, 0}, 4, 0},
    {KernelGray16Shl4, nullptr, {2, 0}, 2, 0},
    {KernelColor48Shl6, nullptr, {6, 0}, 6, 0},
    {KernelColor64Shl6Opaque, nullptr, {8, 0}, 8, 0},
    {KernelColor48Shl6Swap, nullptr, {6, 0}, 6, 0},
    {KernelColor64Shl6SwapOpaque, nullptr, {8, 0}, 8, 0},
};

// Whole-row copies into the application's memory, in order and reversed.
void FrameCopies(fuzz::Input& in) {
    const size_t stride = static_cast<size_t>(in.Range(0, 300)), rows = static_cast<size_t>(in.Range(0, 12));
    const bool reversed = in.Bool();
    // One byte more: an application's buffer is never a null pointer.
    std::vector<uint8_t> src(stride * rows + 1), dst(stride * rows + 1);
    in.Fill(src.data(), src.size());
    CopyFrameRows(dst.data(), src.data(), stride, rows, reversed);
    for (size_t r = 0; r < rows; ++r)
        FUZZ_CHECK(std::memcmp(dst.data() + r * stride, src.data() + (reversed ? rows - 1 - r : r) * stride, stride) ==
                   0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t which = in.Take<uint8_t>();
    if (which % 16 >= std::size(kKinds)) {
        FrameCopies(in);
        return 0;
    }
    const Kind& kind = kKinds[which % 16];
    int srcBpp = kind.srcBpp[in.Range(0, 1)];
    if (srcBpp == 0) srcBpp = kind.srcBpp[0];
    const int dstBpp = kind.dstBpp ? kind.dstBpp : srcBpp;
    const int sw = fuzz::AnyWidth(in), sh = in.Range(1, 12), dw = fuzz::AnyWidth(in), dh = in.Range(1, 12);
    fuzz::Picture src(sw, sh, srcBpp, in.Range(0, 9)), before(dw, dh, dstBpp, in.Range(0, 9));
    in.Fill(src.bits(), src.bytes.size());
    in.Fill(before.bits(), before.bytes.size());
    PixRect rect{in.Around(sw), in.Around(sh), in.Around(sw), in.Around(sh)};
    int x = in.Around(dw), y = in.Around(dh);
    if (!ClipTransfer(rect, x, y, sw, sh, dw, dh)) return 0;
    const auto run = [&](ConvertKernel k, fuzz::Picture& dst) {
        k(dst.bits(), src.bits(), &rect, x, y, static_cast<uint16_t>(dstBpp), static_cast<uint16_t>(srcBpp), dst.stride,
          src.stride, 0, 0);
    };
    fuzz::Picture want = before;
    run(kind.reference ? kind.reference : kind.kernel, want);
    // Nothing outside the transfer changes (whole-row copies own their rows' bytes to the shorter row's end).
    const int cols = rect.right - rect.left, rows = rect.bottom - rect.top;
    const bool wholeRows = kind.kernel == KernelCopyRowsFlip;
    for (int r = 0; r < dh; ++r)
        for (int b = 0; b < want.stride; ++b) {
            const bool inRows = r >= y && r < y + rows;
            const bool inCols = wholeRows ? b >= x * dstBpp : (b >= x * dstBpp && b < (x + cols) * dstBpp);
            const bool writes =
                inRows && inCols && (kind.writtenBytes == 0 || (b - x * dstBpp) % dstBpp < kind.writtenBytes);
            const size_t at = static_cast<size_t>(r) * want.stride + b;
            if (!writes) FUZZ_CHECK(want.bytes[at] == before.bytes[at]);
        }
    if (kind.reference)
        fuzz::ForEachLevel(in, [&] {
            fuzz::Picture out = before;
            run(kind.kernel, out);
            FUZZ_CHECK(out.bytes == want.bytes);
        });
    return 0;
}
