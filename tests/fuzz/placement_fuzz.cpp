// Placing raw frames with any geometry: the dual-output reordering, the
// widening of camera bytes to 16-bit samples (in place and into another
// buffer), the two mirrors and the spreading of packed rows, each vector
// path against its straight reference at every level this processor has.
#include <cstring>

#include "KernelPaths.h"
#include "pixel/placement/DualOutput.h"
#include "pixel/placement/PlacementKernels.h"

namespace {

void DualOutput(fuzz::Input& in) {
    const int half = in.Bool() ? in.Range(0, 40) : in.Range(0, 700), rows = in.Range(0, 6);
    std::vector<uint8_t> src(static_cast<size_t>(2 * half) * rows), want(src.size()), out(src.size());
    in.Fill(src.data(), src.size());
    ReorderDualOutputReference(want.data(), src.data(), half, rows);
    fuzz::ForEachLevel(in, [&] {
        std::fill(out.begin(), out.end(), 0);
        ReorderDualOutput(out.data(), src.data(), half, rows);
        FUZZ_CHECK(out == want);
    });
}

// The in-place widening works on the 16-bit buffer whose first bytes hold the packed camera rows.
void WidenPacked(fuzz::Input& in, int w, int h) {
    fuzz::Picture start(w, h, 2, in.Range(0, 4) * 2);
    in.Fill(start.bits(), start.bytes.size());
    const PixRect whole{0, 0, w, h};
    fuzz::Picture want = start;
    KernelWidenPacked8To16Reference(want.bits(), want.bits(), &whole, 0, 0, 2, 1, want.stride, w, 0, 0);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = start;
        KernelWidenPacked8To16(out.bits(), out.bits(), &whole, 0, 0, 2, 1, out.stride, w, 0, 0);
        FUZZ_CHECK(out.bytes == want.bytes);
    });
}

void Widen(fuzz::Input& in, int w, int h) {
    fuzz::Picture src(w, h, 1, in.Range(0, 9)), start(w, h, 2, in.Range(0, 4) * 2);
    in.Fill(src.bits(), src.bytes.size());
    in.Fill(start.bits(), start.bytes.size());
    const PixRect whole{0, 0, w, h};
    fuzz::Picture want = start;
    KernelWiden8To16Reference(want.bits(), src.bits(), &whole, 0, 0, 2, 1, want.stride, src.stride, 0, 0);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = start;
        KernelWiden8To16(out.bits(), src.bits(), &whole, 0, 0, 2, 1, out.stride, src.stride, 0, 0);
        FUZZ_CHECK(out.bytes == want.bytes);
    });
}

void Mirror(fuzz::Input& in, int w, int h, bool horizontal) {
    const int bpp = in.Range(1, 8);
    fuzz::Picture src(w, h, bpp, in.Range(0, 9));
    in.Fill(src.bits(), src.bytes.size());
    const PixRect whole{0, 0, w, h};
    const bool inPlace = in.Bool();
    fuzz::Picture start = src;
    if (!inPlace) in.Fill(start.bits(), start.bytes.size());
    const auto run = [&](ConvertKernel k, fuzz::Picture& dst) {
        const fuzz::Picture& from = inPlace ? dst : src;
        k(dst.bits(), from.bits(), &whole, 0, 0, static_cast<uint16_t>(bpp), static_cast<uint16_t>(bpp), dst.stride,
          from.stride, 0, 0);
    };
    fuzz::Picture want = start;
    run(horizontal ? KernelMirrorHReference : KernelMirrorVReference, want);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = start;
        run(horizontal ? KernelMirrorH : KernelMirrorV, out);
        FUZZ_CHECK(out.bytes == want.bytes);
    });
}

// Packed rows spread to the stride in place: every row's pixels land in their row.
void Spread(fuzz::Input& in, int w, int h) {
    const int bpp = in.Range(1, 2);
    fuzz::Picture pic(w, h, bpp, in.Range(0, 9));
    in.Fill(pic.bits(), pic.bytes.size());
    const std::vector<uint8_t> packed(pic.bytes.begin(), pic.bytes.begin() + static_cast<ptrdiff_t>(w) * bpp * h);
    const PixRect whole{0, 0, w, h};
    KernelSpreadRows(pic.bits(), pic.bits(), &whole, 0, 0, static_cast<uint16_t>(bpp), static_cast<uint16_t>(bpp),
                     pic.stride, w * bpp, 0, 0);
    for (int y = 0; y < h; ++y)
        FUZZ_CHECK(std::memcmp(pic.bits() + static_cast<size_t>(y) * pic.stride,
                               packed.data() + static_cast<size_t>(y) * w * bpp, static_cast<size_t>(w) * bpp) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const int op = in.Range(0, 5);
    const int w = fuzz::AnyWidth(in), h = in.Range(1, 12);
    switch (op) {
        case 0:
            DualOutput(in);
            break;
        case 1:
            WidenPacked(in, w, h);
            break;
        case 2:
            Widen(in, w, h);
            break;
        case 3:
        case 4:
            Mirror(in, w, h, op == 3);
            break;
        default:
            Spread(in, w, h);
            break;
    }
    return 0;
}
