// What the library knows about the QM7720E itself: its sensor, the frames it
// delivers at each subsampling code, its gain and exposure limits and the
// exposure time its exposure register gives. Every part of the library (and
// the camera model of the tests) takes these from here. No Windows types.
#pragma once
#include <climits>
#include <cstdint>

#include "device/SectorLayout.h"

namespace vidlyn::camera {

// The sensor: 4896 x 3264 pixels, one Bayer sample each.
constexpr int kSensorWidth = 4896;
constexpr int kSensorHeight = 3264;
// Pixels per half row in the sensor's dual-output row layout.
constexpr int kHalfWidth = kSensorWidth / 2;

// Subsampling code 0..3 divides both picture dimensions by 1, 2, 4 or 8; any
// other code reads as full size, as the camera does.
constexpr int SubsampleDivisor(int code) { return (code >= 1 && code <= 3) ? (1 << code) : 1; }

// Bytes of one delivered frame (one byte per pixel, rows packed) of a
// width x height sensor at subsampling code `code`.
constexpr uint32_t FrameBytes(int code, int width = kSensorWidth, int height = kSensorHeight) {
    const int d = SubsampleDivisor(code);
    return static_cast<uint32_t>(width / d) * static_cast<uint32_t>(height / d);
}

// Bytes the frame takes in the camera's image area: FrameBytes rounded up to
// whole sectors.
constexpr uint32_t RawFrameBytes(int code, int width = kSensorWidth, int height = kSensorHeight) {
    const uint32_t n = FrameBytes(code, width, height);
    return n % sector::kSectorSize == 0 ? n : (n / sector::kSectorSize + 1) * sector::kSectorSize;
}
static_assert(RawFrameBytes(0) == 15980544 && RawFrameBytes(2) == 998912 && FrameBytes(2) == 998784);

// Exposure value of register 0x2004: larger values give shorter exposures.
constexpr int kExposureMin = 1;
constexpr int kExposureMax = 3335;
// Highest exposure value while the readout is subsampled.
constexpr int kExposureMaxSubsampled = 1668;
// Global gain of register 0x0005.
constexpr int kGainMin = 0;
constexpr int kGainMax = 1023;

// Exposure time in microseconds of exposure value e, truncated toward zero:
// ((3335 - e) x 2775 + 578) / 32; e = 3335 gives 18, e = 1 gives 289 138. A
// value far outside 1 .. 3335 (a damaged stored setting) saturates at the
// limits of int instead of overflowing.
constexpr int ExposureMicroseconds(int e) {
    const double us = ((kExposureMax - static_cast<double>(e)) * 2775.0 + 578.0) * 0.03125;
    if (us >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (us <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(us);
}
static_assert(ExposureMicroseconds(3335) == 18 && ExposureMicroseconds(1) == 289138);

}  // namespace vidlyn::camera
