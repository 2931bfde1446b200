// Scene rendering: the still part per register setting, the per-frame shift.
#include "Scene.h"

#include <algorithm>
#include <vector>

#include "device/CameraFacts.h"

namespace vidlyn::vcam {

namespace {

// Fixed-point scale, 4096 = 1.0: exposure value 1668 and gain 0 give 1.0.
int64_t LevelScale(const SceneParams& p) {
    const int exposure = std::clamp(p.exposure, camera::kExposureMin, camera::kExposureMax);
    const int gain = std::clamp(p.gain, camera::kGainMin, camera::kGainMax);
    return int64_t(3336 - exposure) * 4096 / 1668 * (256 + gain) / 256;
}

uint8_t Clip(int64_t v) { return static_cast<uint8_t>(v > 255 ? 255 : v); }

// The sensor's mosaic, as the library reads it by default (phase 3): green and
// red on even rows, blue and green on odd rows.
int Channel(int y, int x) { return (y & 1) == 0 ? ((x & 1) ? 0 : 1) : ((x & 1) ? 1 : 2); }  // 0 red, 1 green, 2 blue

// Colour of each bar, red 4, green 2, blue 1: white, yellow, cyan, green,
// magenta, red, blue, black, as on a test chart.
constexpr int kBarColours[8] = {7, 6, 3, 2, 5, 4, 1, 0};

void RenderBars(const SceneParams& p, int64_t scale, uint8_t* dst) {
    const int w = p.width;
    const int h = p.height;
    // [row parity][x]: level x 256 before the exposure scale.
    std::vector<int> ramp(size_t(w) * 2);
    for (int parity = 0; parity < 2; ++parity) {
        for (int x = 0; x < w; ++x) {
            const int bar = kBarColours[x * 8 / w];
            const int channel = Channel(parity, x);
            const bool lit = channel == 0 ? (bar & 4) : channel == 1 ? (bar & 2) : (bar & 1);
            const int level = 40 + 160 * ((x * 8) % w) / w;  // each bar ramps up from its left edge
            ramp[size_t(parity) * w + x] = level * (lit ? 256 : 90);
        }
    }
    for (int y = 0; y < h; ++y) {
        const int* base = ramp.data() + size_t(y & 1) * w;
        const int64_t rowScale = scale * (192 + 64 * y / h) / 256;  // a little darker towards the top
        uint8_t* row = dst + size_t(y) * w;
        for (int x = 0; x < w; ++x) row[x] = Clip((base[x] * rowScale) >> 20);
    }
}

void RenderGradient(const SceneParams& p, int64_t scale, uint8_t* dst) {
    const int w = p.width;
    const int h = p.height;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = dst + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const int channel = Channel(y, x);
            const int64_t level = channel == 0   ? 20 + 200 * int64_t(x) / w
                                  : channel == 2 ? 20 + 200 * int64_t(y) / h
                                                 : 20 + 100 * int64_t(x) / w + 100 * int64_t(y) / h;
            row[x] = Clip(level * scale / 4096);
        }
    }
}

}  // namespace

void RenderSceneBase(const SceneParams& p, uint8_t* dst) {
    const int64_t scale = LevelScale(p);
    switch (p.scene) {
        case Scene::Bars:
            RenderBars(p, scale, dst);
            break;
        case Scene::Gradient:
            RenderGradient(p, scale, dst);
            break;
        case Scene::Flat:
            std::fill(dst, dst + size_t(p.width) * p.height, Clip(p.flatLevel * scale / 4096));
            break;
    }
}

int SceneShift(const SceneParams& p, uint32_t frame) {
    if (p.scene != Scene::Bars || p.width <= 0) return 0;
    return static_cast<int>((uint64_t(frame) * 8) % uint64_t(p.width)) & ~1;
}

bool SceneHasCounter(Scene scene) { return scene != Scene::Flat; }

}  // namespace vidlyn::vcam
