// The gray modes, the exposure measure and the recorder's gray kernel with any
// size, stride and setting: gray correction and gray from colour against
// their straight references at every level (in place too), the gain and
// exposure measures over any window, and the exposure arithmetic over the
// whole 32-bit range (the session's fields are stored settings).
#include <algorithm>
#include <climits>

#include "KernelPaths.h"
#include "pixel/gray/GrayKernels.h"
#include "pixel/measure/ExposureMeasure.h"
#include "pixel/output/RecordKernels.h"

namespace {

void GrayCorrection(fuzz::Input& in, int w, int h) {
    GrayParams p{in.Take<int32_t>(), in.Around(128), in.Around(128), in.Around(128), in.Around(128),
                 in.Around(255),     in.Around(0),   in.Around(0),   in.Around(-255)};
    fuzz::Picture src(w, h, 1, in.Range(0, 9));
    in.Fill(src.bits(), src.bytes.size());
    const PixRect whole{0, 0, w, h};
    fuzz::Picture want = src;
    KernelGrayCorrectionReference(want.bits(), src.bits(), &whole, 0, 0, 1, 1, want.stride, src.stride,
                                  reinterpret_cast<intptr_t>(&p), 0);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = src;
        KernelGrayCorrection(out.bits(), out.bits(), &whole, 0, 0, 1, 1, out.stride, out.stride,
                             reinterpret_cast<intptr_t>(&p), 0);
        FUZZ_CHECK(out.bytes == want.bytes);
    });
    const GrayParams before = p;
    MeasureGrayGains(src.bits(), w, h, src.stride, &p);
    FUZZ_CHECK(p.mode == before.mode && p.offsetR == before.offsetR && p.offsetB == before.offsetB);
}

void GrayFromColor(fuzz::Input& in, int w, int h) {
    const int srcBpp = in.Range(3, 4);
    fuzz::Picture src(w, h, srcBpp, in.Range(0, 9)), want(w, h, 1, in.Range(0, 9));
    in.Fill(src.bits(), src.bytes.size());
    in.Fill(want.bits(), want.bytes.size());
    const fuzz::Picture before = want;
    const PixRect whole{0, 0, w, h};
    const auto run = [&](ConvertKernel k, fuzz::Picture& dst) {
        k(dst.bits(), src.bits(), &whole, 0, 0, 1, static_cast<uint16_t>(srcBpp), dst.stride, src.stride, 0, 0);
    };
    run(KernelGrayFromColorReference, want);
    fuzz::ForEachLevel(in, [&] {
        fuzz::Picture out = before;
        run(KernelGrayFromColor, out);
        FUZZ_CHECK(out.bytes == want.bytes);
    });
}

// The recorder's gray frames: every output pixel's three bytes are the gray value.
void GrayTo24(fuzz::Input& in, int w, int h) {
    const int srcBpp = in.Range(1, 2);
    fuzz::Picture src(w, h, srcBpp, in.Range(0, 9)), dst(w, h, 3, in.Range(0, 9));
    in.Fill(src.bits(), src.bytes.size());
    const PixRect whole{0, 0, w, h};
    KernelGrayTo24Flip(dst.bits(), src.bits(), &whole, 0, 0, 3, static_cast<uint16_t>(srcBpp), dst.stride, src.stride,
                       0, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = src.bits() + static_cast<size_t>(h - 1 - y) * src.stride + x * srcBpp;
            const uint8_t gray = srcBpp == 1 ? s[0] : static_cast<uint8_t>((s[0] | s[1] << 8) >> 2);
            const uint8_t* d = dst.bits() + static_cast<size_t>(y) * dst.stride + x * 3;
            FUZZ_CHECK(d[0] == gray && d[1] == gray && d[2] == gray);
        }
}

void Exposure(fuzz::Input& in, int w, int h) {
    const int bps = in.Range(1, 2);
    fuzz::Picture pic(w, h, bps, in.Range(0, 9));
    in.Fill(pic.bits(), pic.bytes.size());
    const PixRect window{in.Around(w), in.Around(h), in.Around(w), in.Around(h)};
    const int mean = WindowMean(pic.bits(), w, h, pic.stride, bps, window);
    FUZZ_CHECK(mean >= 0 && mean <= 255);
    int means[kExposureWindows];
    const int factor = MeasureExposureFactor(pic.bits(), w, h, pic.stride, bps, means);
    for (int m : means) FUZZ_CHECK(m >= 0 && m <= 255);
    FUZZ_CHECK(factor == ExposureFactorPercent(means));
    // The limits are the camera's (positive); the values and the factor anything.
    const int gainMax = in.Range(1, 65535), exposureMax = in.Range(1, 65535);
    const int anyFactor = in.Bool() ? factor : in.Take<int32_t>();
    const int gain = ComputeNewGain(in.Take<int32_t>(), anyFactor, gainMax);
    FUZZ_CHECK(gain == 4 || (gain >= 0 && gain <= std::max(gainMax, 0)));
    const int exposure = ComputeNewExposure(in.Take<int32_t>(), anyFactor, exposureMax);
    if (anyFactor > 0) FUZZ_CHECK(exposure >= 1 && exposure <= std::max(exposureMax, 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const int op = in.Range(0, 3);
    const int w = fuzz::AnyWidth(in), h = in.Range(1, 20);
    if (op == 0) GrayCorrection(in, w, h);
    if (op == 1) GrayFromColor(in, w, h);
    if (op == 2) GrayTo24(in, w, h);
    if (op == 3) Exposure(in, w, h);
    return 0;
}
