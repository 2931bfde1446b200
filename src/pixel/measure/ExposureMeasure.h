// The measurement half of the automatic exposure control: five windows of the
// raw frame, their means, the correction factor, and the new gain or exposure
// value it gives. Pure functions; the session owns the divider, the modes, the
// limits of its fields and the camera writes.
//
// The factor is kept in hundredths (an integer): the correction adds steps of
// 0.05, 0.1 and 0.15 to 0.85..1.1, and exact decimal steps give the user the
// values the factor promises (three thousand at factor 1.5 gives 2000, where a
// double sum 1.1 + 4 x 0.1 = 1.5000000000000004 would give 1999).
#pragma once
#include "pixel/core/PixelTypes.h"

constexpr int kExposureWindows = 5;

// The five windows (right/bottom exclusive), coordinates truncated:
// 0 {0.1W,0.1H,0.2W,0.2H}, 1 {0.1W,0.8H,0.2W,0.9H}, 2 centre
// {0.45W,0.45H,0.55W,0.55H}, 3 {0.8W,0.1H,0.9W,0.2H}, 4 {0.8W,0.8H,0.9W,0.9H}.
void ExposureWindows(int width, int height, PixRect windows[kExposureWindows]);

// Mean of the samples inside `window` (clipped to the image), integer
// division, 0 for an empty window. 8-bit samples as they are; 16-bit samples
// as (v >> 2) & 255.
int WindowMean(const uint8_t* bits, int width, int height, int stride, int bytesPerSample, const PixRect& window);

// The factor in hundredths from the five window means (window 0 sets it, 1..4 adjust it).
int ExposureFactorPercent(const int means[kExposureWindows]);

// Measures the five windows of a frame and returns the factor in hundredths;
// the means are stored into `means` when it is not null.
int MeasureExposureFactor(const uint8_t* bits, int width, int height, int stride, int bytesPerSample,
                          int means[kExposureWindows]);

// True unless 0.6 < f < 1.2 (only then the picture is left alone).
constexpr bool ExposureNeedsChange(int factorPercent) { return !(factorPercent > 60 && factorPercent < 120); }

// Gain mode: g = trunc(gain * f); 4 when f > 1 and g <= 4, else g in
// 0..gainMax (the camera's highest gain).
int ComputeNewGain(int gain, int factorPercent, int gainMax);

// Exposure mode: q = low 16 bits of trunc(e / f); 4 when f > 1 and q <= 4,
// else max(q, 1); then at most exposureMax (the camera's highest exposure
// value for the current readout).
int ComputeNewExposure(int exposure, int factorPercent, int exposureMax);
