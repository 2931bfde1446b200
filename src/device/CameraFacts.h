// What the library knows about the QM7720E itself: its limits and the
// exposure time its exposure register gives. Every part of the library (and
// the camera model of the tests) takes these from here. No Windows types.
#pragma once
#include <climits>

namespace vidlyn::camera {

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
