// The adjustment filters with any picture size, stride, pixel format and any
// 32-bit setting (stored settings reach them unchecked): the lookup tables,
// sharpness and hue/saturation, each vector path against its straight
// reference at every level, in place and into another buffer.
#include <cstring>

#include "KernelPaths.h"
#include "pixel/filter/FilterKernels.h"

namespace {

struct Case {
    fuzz::Picture src;
    PixRect whole;
    int bpp;
    void Run(ConvertKernel k, fuzz::Picture& dst, const void* params) const {
        k(dst.bits(), src.bits(), &whole, 0, 0, static_cast<uint16_t>(bpp), static_cast<uint16_t>(bpp), dst.stride,
          src.stride, reinterpret_cast<intptr_t>(params), 0);
    }
    void RunInPlace(ConvertKernel k, fuzz::Picture& pic, const void* params) const {
        k(pic.bits(), pic.bits(), &whole, 0, 0, static_cast<uint16_t>(bpp), static_cast<uint16_t>(bpp), pic.stride,
          pic.stride, reinterpret_cast<intptr_t>(params), 0);
    }
};

// Reference into a copy of the picture, then the fast kernel both ways.
void Compare(fuzz::Input& in, const Case& c, ConvertKernel fast, ConvertKernel reference, const void* params) {
    fuzz::Picture want = c.src;
    c.Run(reference, want, params);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = c.src;
        c.Run(fast, out, params);
        FUZZ_CHECK(out.bytes == want.bytes);
        fuzz::Picture inPlace = c.src;
        c.RunInPlace(fast, inPlace, params);
        FUZZ_CHECK(inPlace.bytes == want.bytes);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    static const int kFormats[] = {1, 2, 3, 4, 6, 8}, kColour[] = {3, 4, 6, 8};
    const int op = in.Range(0, 2);
    const int bpp = op == 2 ? in.Pick(kColour) : in.Pick(kFormats);
    const int w = fuzz::AnyWidth(in), h = in.Range(1, 20);
    Case c{fuzz::Picture(w, h, bpp, in.Range(0, 9)), PixRect{0, 0, w, h}, bpp};
    const int maxValue = FilterMaxValue(bpp);

    if (op == 0) {
        // Gamma, contrast and brightness folded into one table, as the session runs them.
        uint16_t table[kFilterMax10 + 1], next[kFilterMax10 + 1];
        BuildGammaTable(table, maxValue, in.Take<int32_t>());
        BuildContrastTable(next, maxValue, in.Bool() ? in.Take<int64_t>() : in.Around(128));
        for (int v = 0; v <= maxValue; ++v) FUZZ_CHECK(table[v] <= maxValue && next[v] <= maxValue);
        if (in.Bool()) ComposeTables(table, next, maxValue);
        BuildBrightnessTable(next, maxValue, in.Take<int32_t>());
        for (int v = 0; v <= maxValue; ++v) FUZZ_CHECK(next[v] <= maxValue);
        if (in.Bool()) ComposeTables(table, next, maxValue);
        for (int v = 0; v <= maxValue; ++v) FUZZ_CHECK(table[v] <= maxValue);
        in.Fill(c.src.bits(), c.src.bytes.size());
        Compare(in, c, KernelApplyTable, KernelApplyTableReference, table);
    } else if (op == 1) {
        int16_t differences[2 * kFilterMax10 + 1];
        BuildSharpnessTable(differences, maxValue, in.Bool() ? in.Take<int32_t>() : in.Around(100));
        in.Fill(c.src.bits(), c.src.bytes.size());
        Compare(in, c, KernelSharpness, KernelSharpnessReference, differences);
    } else {
        const HueSatParams p{in.Bool() ? in.Take<int32_t>() : in.Around(180), in.Take<int32_t>(),
                             in.Bool() ? in.Take<int32_t>() : in.Around(100), in.Take<int32_t>()};
        in.Fill(c.src.bits(), c.src.bytes.size());
        Compare(in, c, KernelHueSaturation, KernelHueSaturationReference, &p);
    }
    return 0;
}
