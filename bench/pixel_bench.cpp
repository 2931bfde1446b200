// One full camera frame (4896 x 3264) through each hot path of the pixel core,
// measured beside two peers in the same run: OpenCV's single-threaded Bayer to
// BGR conversion of the same raw frame, and memcpy of as many bytes as the
// path writes, each measured again right after every path. After the usual
// benchmark output a summary gives each path's time per frame and its ratio to
// its peers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdLevel.h"
#include "pixel/demosaic/DemosaicKernels.h"
#include "pixel/filter/FilterKernels.h"
#include "pixel/gray/GrayKernels.h"
#include "pixel/measure/ExposureMeasure.h"
#include "pixel/output/FrameCopy.h"
#include "pixel/output/OutputKernels.h"
#include "pixel/placement/DualOutput.h"
#include "pixel/placement/PlacementKernels.h"

namespace {

constexpr int kWidth = 4896;
constexpr int kHeight = 3264;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight;

// A frame buffer like the session's: rows of width * bpp bytes (already a
// multiple of 4 at this width), filled once so that no page faults are timed.
struct Buffer {
    int bpp;
    int stride;
    std::vector<uint8_t> bytes;
    explicit Buffer(int bytesPerPixel)
        : bpp(bytesPerPixel),
          stride(kWidth * bytesPerPixel),
          bytes(static_cast<size_t>(kWidth) * bytesPerPixel * kHeight) {
        std::mt19937 rng(static_cast<uint32_t>(bytesPerPixel));
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        if (bpp == 2 || bpp == 6 || bpp == 8) {  // 10-bit samples
            for (size_t i = 1; i < bytes.size(); i += 2) bytes[i] &= 3;
        }
    }
    uint8_t* bits() { return bytes.data(); }
};

Buffer& Raw8() {
    static Buffer b(1);
    return b;
}
Buffer& Raw16() {
    static Buffer b(2);
    return b;
}
Buffer& Out(int bpp) {
    static std::map<int, Buffer> buffers;
    auto it = buffers.find(bpp);
    if (it == buffers.end()) it = buffers.emplace(bpp, Buffer(bpp)).first;
    return it->second;
}

int Convert(ConvertKernel kernel, Buffer& dst, Buffer& src, intptr_t word1 = 0) {
    const PixRect rect{0, 0, kWidth, kHeight};
    return kernel(dst.bits(), src.bits(), &rect, 0, 0, static_cast<uint16_t>(dst.bpp), static_cast<uint16_t>(src.bpp),
                  dst.stride, src.stride, word1, 0);
}

// ---- the paths ------------------------------------------------------------------

struct Path {
    std::string name;
    size_t outBytes;  // bytes the path writes: the memcpy peer copies as many
    std::function<void()> run;
};

BayerParams gBayer{3, 120, 100, 90};

void Demosaic(Buffer& dst, Buffer& src) {
    const bool wide = src.bpp == 2;
    Convert(wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8, dst, src, reinterpret_cast<intptr_t>(&gBayer));
    Convert(wide ? KernelDemosaicBorder16 : KernelDemosaicBorder8, dst, src, reinterpret_cast<intptr_t>(&gBayer));
}

// A lookup filter as the session runs it: build the table for the frame, apply it.
void TableFilter(Buffer& img, void (*build)(uint16_t*, int, int), int parameter) {
    static uint16_t table[1024];
    build(table, FilterMaxValue(img.bpp), parameter);
    Convert(KernelApplyTable, img, img, reinterpret_cast<intptr_t>(table));
}

// Sharpness as the session runs it: in place on the output picture.
void Sharpness(Buffer& out, int parameter) {
    static int16_t diff[2 * 1023 + 1];
    BuildSharpnessTable(diff, FilterMaxValue(out.bpp), parameter);
    Convert(KernelSharpness, out, out, reinterpret_cast<intptr_t>(diff));
}

std::vector<Path> Paths() {
    std::vector<Path> p;
    // The camera's bytes are random like the raw frame's, so that the whole-frame
    // path leaves a random frame behind for the paths that read it after.
    static std::vector<uint8_t> staging(Raw8().bytes), slot(kPixels), application(kPixels * 3);
    p.push_back(
        {"DualOutputReorder", kPixels, [] { ReorderDualOutput(slot.data(), staging.data(), kWidth / 2, kHeight); }});
    // One 24-bit frame from the camera's bytes to the application's buffer as
    // a stream in the callback mode delivers it with neutral filters: reordered
    // into the slot, then demosaiced from there into the output picture with
    // the application's copy (last row first) made on the way. (With a filter
    // on, the filters and a separate copy-out follow the demosaicing instead.)
    p.push_back({"Frame24Total", kPixels * 3, [] {
                     ReorderDualOutput(Raw8().bits(), staging.data(), kWidth / 2, kHeight);
                     DemosaicWithCopy8To24(Out(3).bits(), Raw8().bits(), kWidth, kHeight, Out(3).stride, Raw8().stride,
                                           gBayer, application.data(), true);
                 }});
    p.push_back({"Demosaic8To24", kPixels * 3, [] { Demosaic(Out(3), Raw8()); }});
    p.push_back({"Demosaic8To32", kPixels * 4, [] { Demosaic(Out(4), Raw8()); }});
    p.push_back({"Demosaic16To48", kPixels * 6, [] { Demosaic(Out(6), Raw16()); }});
    p.push_back({"Demosaic16To64", kPixels * 8, [] { Demosaic(Out(8), Raw16()); }});
    for (int bpp : {3, 6}) {
        const std::string suffix = bpp == 3 ? "24" : "48";
        const size_t bytes = kPixels * bpp;
        p.push_back({"HueSaturation" + suffix, bytes, [bpp] {
                         const HueSatParams hs{40, 0, 30, 10};
                         Convert(KernelHueSaturation, Out(bpp), Out(bpp), reinterpret_cast<intptr_t>(&hs));
                     }});
        p.push_back({"Gamma" + suffix, bytes, [bpp] { TableFilter(Out(bpp), BuildGammaTable, 140); }});
        p.push_back({"Contrast" + suffix, bytes, [bpp] {
                         TableFilter(
                             Out(bpp), [](uint16_t* t, int m, int c) { BuildContrastTable(t, m, c); }, 30);
                     }});
        p.push_back({"Sharpness" + suffix, bytes, [bpp] { Sharpness(Out(bpp), 12); }});
        p.push_back({"Brightness" + suffix, bytes, [bpp] { TableFilter(Out(bpp), BuildBrightnessTable, 20); }});
    }
    p.push_back({"Gamma8", kPixels, [] { TableFilter(Out(1), BuildGammaTable, 140); }});
    p.push_back({"Sharpness8", kPixels, [] { Sharpness(Out(1), 12); }});
    p.push_back({"GrayCorrection8", kPixels, [] {
                     static GrayParams g{3, 120, 128, 130, 140, -3, 0, 2, 5};
                     // Out of place: corrected again and again, the raw frame would drift
                     // towards black and white, and the measurements after it with it.
                     Convert(KernelGrayCorrection, Out(1), Raw8(), reinterpret_cast<intptr_t>(&g));
                 }});
    p.push_back({"GrayGainMeasure8", 0, [] {
                     GrayParams g{3, 128, 128, 128, 128, 0, 0, 0, 0};
                     MeasureGrayGains(Raw8().bits(), kWidth, kHeight, Raw8().stride, &g);
                     benchmark::DoNotOptimize(g);
                 }});
    p.push_back({"GrayFromColor24", kPixels, [] { Convert(KernelGrayFromColor, Out(1), Out(3)); }});
    p.push_back({"GrayMode2Total", kPixels * 3, [] {
                     Demosaic(Out(3), Raw8());
                     Convert(KernelGrayFromColor, Out(1), Out(3));
                 }});
    p.push_back({"WhiteBalanceMeasure8", 0, [] {
                     benchmark::DoNotOptimize(
                         MeasureWhiteBalance(Raw8().bits(), kWidth, kHeight, Raw8().stride, 1, 3, {100, 100}));
                 }});
    p.push_back({"ExposureMeasure8", 0, [] {
                     benchmark::DoNotOptimize(
                         MeasureExposureFactor(Raw8().bits(), kWidth, kHeight, Raw8().stride, 1, nullptr));
                 }});
    p.push_back({"MirrorH8", kPixels, [] { Convert(KernelMirrorH, Raw8(), Raw8()); }});
    p.push_back({"MirrorV8", kPixels, [] { Convert(KernelMirrorV, Raw8(), Raw8()); }});
    p.push_back({"Widen8To16", kPixels * 2, [] { Convert(KernelWiden8To16, Out(2), Raw8()); }});
    // Into a buffer of its own, as the recorder and the still writers copy.
    p.push_back({"CopyRowsFlip24", kPixels * 3, [] {
                     static Buffer copy(3);
                     Convert(KernelCopyRowsFlip, copy, Out(3));
                 }});
    p.push_back({"Color48To24Flip", kPixels * 3, [] { Convert(KernelColor48To24Flip, Out(3), Out(6)); }});
    p.push_back({"Color64Shl6Opaque", kPixels * 8, [] { Convert(KernelColor64Shl6Opaque, Out(8), Out(8)); }});
    return p;
}

// ---- peers ------------------------------------------------------------------------

void OpenCvBayer8(benchmark::State& state) {
    cv::setNumThreads(1);
    cv::Mat raw(kHeight, kWidth, CV_8UC1, Raw8().bits());
    cv::Mat bgr(kHeight, kWidth, CV_8UC3, Out(3).bits());
    for (auto _ : state) cv::cvtColor(raw, bgr, cv::COLOR_BayerGB2BGR);
}

void OpenCvBayer16(benchmark::State& state) {
    cv::setNumThreads(1);
    cv::Mat raw(kHeight, kWidth, CV_16UC1, Raw16().bits());
    cv::Mat bgr(kHeight, kWidth, CV_16UC3, Out(6).bits());
    for (auto _ : state) cv::cvtColor(raw, bgr, cv::COLOR_BayerGB2BGR);
}

void Memcpy(benchmark::State& state, size_t bytes) {
    static std::vector<uint8_t> from(kPixels * 8, 1), to(kPixels * 8, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
}

std::string MemcpyName(size_t bytes) { return "memcpy/" + std::to_string(bytes); }

// A peer measured right after the path.
std::string PeerName(const std::string& peer, const Path& path) { return peer + "/after/" + path.name; }

// ---- summary -----------------------------------------------------------------------

// Passes everything to the console and keeps each benchmark's time per frame.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    bool cpuTime = false;  // the calling thread's processor time instead of the wall clock
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.function_name;
            // All benchmarks are in milliseconds.
            const double t = cpuTime ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") ms[name] = t;
            } else if (!ms.count(name) || t < ms[name]) {
                ms[name] = t;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // --bands=N splits each frame into N bands of rows on N threads (default 1:
    // one thread, as the ratios to single-threaded OpenCV assume).
    // --cpu-time: the summary uses the benchmark thread's processor time, which a
    // busy machine disturbs less than the wall clock (single band only: helper
    // threads' time is not counted).
    // --simd=sse2|avx2|avx512: the widest vector level the kernels may use (as on
    // a processor without the wider ones; default: all this one has).
    int bands = 1;
    bool cpuTime = false;
    for (int i = 1; i < argc; ++i) {
        const bool isBands = std::strncmp(argv[i], "--bands=", 8) == 0, isCpu = std::strcmp(argv[i], "--cpu-time") == 0;
        const bool isSimd = std::strncmp(argv[i], "--simd=", 7) == 0;
        if (isBands) bands = std::max(1, std::atoi(argv[i] + 8));
        if (isCpu) cpuTime = true;
        if (isSimd) {
            const std::string level = argv[i] + 7;
            if (level != "sse2" && level != "avx2" && level != "avx512") {
                std::fprintf(stderr, "--simd: sse2, avx2 or avx512\n");
                return 1;
            }
            pixel::SetSimdCeiling(level == "sse2"   ? pixel::SimdLevel::Sse2
                                  : level == "avx2" ? pixel::SimdLevel::Avx2
                                                    : pixel::SimdLevel::Avx512);
        }
        if (isBands || isCpu || isSimd) {
            for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
            --argc, --i;
        }
    }
    pixel::SetStripeCeiling(bands);
    const std::vector<Path> paths = Paths();
    // Every buffer is created, filled and touched once before anything is timed.
    for (const Path& path : paths) path.run();
    const auto add = [](const std::string& name, auto&& run) {
        benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    add("OpenCV_BayerToBGR_8", OpenCvBayer8);
    add("OpenCV_BayerToBGR_16", OpenCvBayer16);
    // Each path is followed at once by its peers: the memory bandwidth of a
    // shared machine drifts over a run, and a peer measured a minute apart
    // moved the ratios by a quarter.
    for (const Path& path : paths) {
        add(path.name, [&path](benchmark::State& state) {
            for (auto _ : state) path.run();
        });
        add(PeerName("OpenCV_BayerToBGR_8", path), OpenCvBayer8);
        if (path.name.rfind("Demosaic16", 0) == 0) add(PeerName("OpenCV_BayerToBGR_16", path), OpenCvBayer16);
        if (path.outBytes)
            add(PeerName(MemcpyName(path.outBytes), path),
                [bytes = path.outBytes](benchmark::State& state) { Memcpy(state, bytes); });
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    reporter.cpuTime = cpuTime;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto find = [&](const std::string& name) {
        const auto it = reporter.ms.find(name);
        return it == reporter.ms.end() ? 0.0 : it->second;
    };
    const double cv8 = find("OpenCV_BayerToBGR_8"), cv16 = find("OpenCV_BayerToBGR_16");
    static const char* const kLevels[] = {"scalar", "SSE2", "AVX2", "AVX-512"};
    std::printf("\nSummary: one %dx%d frame, %d band(s) of rows (OpenCV on one thread), %s, %s kernels\n", kWidth,
                kHeight, bands, cpuTime ? "processor time" : "wall clock",
                kLevels[static_cast<int>(pixel::ActiveSimdLevel())]);
    std::printf(
        "  peers at the start: OpenCV Bayer->BGR 8-bit %.2f ms, 16-bit %.2f ms; each ratio below is to the\n"
        "  peer measured right after the path (OpenCV 16-bit for the 16-bit demosaicing)\n",
        cv8, cv16);
    std::printf("  %-22s %10s %12s %14s %16s %12s\n", "path", "ms/frame", "x OpenCV 8", "memcpy ms", "x memcpy",
                "x OpenCV 16");
    for (const Path& path : paths) {
        const double t = find(path.name);
        if (t == 0.0) continue;  // filtered out
        const double opencv = find(PeerName("OpenCV_BayerToBGR_8", path));
        const double opencv16 = find(PeerName("OpenCV_BayerToBGR_16", path));
        const double copy = path.outBytes ? find(PeerName(MemcpyName(path.outBytes), path)) : 0.0;
        std::printf("  %-22s %10.2f %12.2f", path.name.c_str(), t, opencv > 0 ? t / opencv : 0.0);
        if (copy > 0) {
            std::printf(" %14.2f %16.2f", copy, t / copy);
        } else {
            std::printf(" %14s %16s", "-", "-");
        }
        if (opencv16 > 0) {
            std::printf(" %12.2f\n", t / opencv16);
        } else {
            std::printf(" %12s\n", "-");
        }
    }
    const double frame = find("Frame24Total");
    if (frame > 0) std::printf("  whole 24-bit frame: %.1f frames per second\n", 1000.0 / frame);
    return 0;
}
