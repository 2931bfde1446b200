// Demosaicing with any size, strides, Bayer phase and white-balance gains:
// the vector interior kernels against the straight reference at every level
// this processor has, byte for byte (the fourth byte or sample included),
// then the border pass and the white-balance measure over the same mosaic.
#include <cstring>

#include "KernelPaths.h"
#include "pixel/demosaic/DemosaicKernels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool wide = in.Bool();
    const int w = fuzz::AnyWidth(in), h = in.Range(1, 24);
    const int srcBpp = wide ? 2 : 1;
    static const int kNarrow[] = {3, 4}, kWide[] = {6, 8};
    const int dstBpp = wide ? in.Pick(kWide) : in.Pick(kNarrow);
    const BayerParams p{in.Take<int32_t>(), in.Around(100), in.Around(100), in.Around(400)};
    fuzz::Picture src(w, h, srcBpp, in.Range(0, 17)), ref(w, h, dstBpp, in.Range(0, 17));
    in.Fill(src.bits(), src.bytes.size());
    // The 16-bit mosaic carries 10-bit samples, as the session widens them.
    if (wide)
        for (size_t i = 1; i < src.bytes.size(); i += 2) src.bytes[i] &= 3;
    in.Fill(ref.bits(), ref.bytes.size());
    const std::vector<uint8_t> before = ref.bytes;
    const PixRect whole{0, 0, w, h};
    const auto args = [&](fuzz::Picture& dst, ConvertKernel k) {
        k(dst.bits(), src.bits(), &whole, 0, 0, static_cast<uint16_t>(dstBpp), static_cast<uint16_t>(srcBpp),
          dst.stride, src.stride, reinterpret_cast<intptr_t>(&p), 0);
    };
    args(ref, wide ? KernelDemosaicInterior16Reference : KernelDemosaicInterior8Reference);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture fast = ref;
        fast.bytes = before;
        args(fast, wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8);
        FUZZ_CHECK(fast.bytes == ref.bytes);
    });
    args(ref, wide ? KernelDemosaicBorder16 : KernelDemosaicBorder8);
    const WhiteBalanceGains current{in.Around(100), in.Around(100)};
    const WhiteBalanceGains g = MeasureWhiteBalance(src.bits(), w, h, src.stride, srcBpp, in.Take<int32_t>(), current);
    // A measured gain is never negative; an undefined one keeps the current value.
    FUZZ_CHECK((g.red >= 0 || g.red == current.red) && (g.blue >= 0 || g.blue == current.blue));
    return 0;
}
