// Brightness measurement for the automatic exposure control.
#include "pixel/measure/ExposureMeasure.h"

#include <algorithm>
#include <cstddef>

#include "pixel/core/KernelRows.h"

void ExposureWindows(int width, int height, PixRect windows[kExposureWindows]) {
    const auto x = [&](double f) { return static_cast<int32_t>(f * width); };
    const auto y = [&](double f) { return static_cast<int32_t>(f * height); };
    windows[0] = {x(0.1), y(0.1), x(0.2), y(0.2)};
    windows[1] = {x(0.1), y(0.8), x(0.2), y(0.9)};
    windows[2] = {x(0.45), y(0.45), x(0.55), y(0.55)};
    windows[3] = {x(0.8), y(0.1), x(0.9), y(0.2)};
    windows[4] = {x(0.8), y(0.8), x(0.9), y(0.9)};
}

int WindowMean(const uint8_t* bits, int width, int height, int stride, int bytesPerSample, const PixRect& window) {
    const int left = std::max(window.left, 0), top = std::max(window.top, 0);
    const int right = std::min(window.right, width), bottom = std::min(window.bottom, height);
    if (right <= left || bottom <= top) return 0;
    uint64_t sum = 0;
    for (int y = top; y < bottom; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * stride;
        if (bytesPerSample == 2) {
            for (int x = left; x < right; ++x) sum += (pixel::Load16(row + 2 * x) >> 2) & 255;
        } else {
            for (int x = left; x < right; ++x) sum += row[x];
        }
    }
    const uint64_t count = static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top);
    return static_cast<int>(sum / count);
}

int ExposureFactorPercent(const int means[kExposureWindows]) {
    const int m0 = means[0];
    int f = m0 > 200 ? 85 : m0 > 160 ? 90 : m0 < 50 ? 110 : m0 < 100 ? 105 : 100;
    for (int i = 1; i < kExposureWindows; ++i) {
        const int m = means[i];
        f += m > 200 ? -15 : m > 160 ? -10 : m < 50 ? 10 : m < 100 ? 5 : 0;
    }
    return f;
}

int MeasureExposureFactor(const uint8_t* bits, int width, int height, int stride, int bytesPerSample,
                          int means[kExposureWindows]) {
    PixRect windows[kExposureWindows];
    ExposureWindows(width, height, windows);
    int measured[kExposureWindows];
    for (int i = 0; i < kExposureWindows; ++i)
        measured[i] = WindowMean(bits, width, height, stride, bytesPerSample, windows[i]);
    if (means) std::copy(measured, measured + kExposureWindows, means);
    return ExposureFactorPercent(measured);
}

int ComputeNewGain(int gain, int factorPercent, int gainMax) {
    const int64_t g = int64_t{gain} * factorPercent / 100;  // trunc(gain * f)
    if (factorPercent > 100 && g <= 4) return 4;            // a gain of 0 could never grow
    return static_cast<int>(std::clamp<int64_t>(g, 0, gainMax));
}

int ComputeNewExposure(int exposure, int factorPercent, int exposureMax) {
    if (factorPercent <= 0) return exposure;  // the measurement never gives such a factor
    const auto q = static_cast<uint16_t>(int64_t{exposure} * 100 / factorPercent);  // low 16 bits of trunc(e / f)
    int value = (factorPercent > 100 && q <= 4) ? 4 : std::max<int>(q, 1);
    return std::min(value, exposureMax);
}
