// Geometry of the raw frames the camera delivers: always the whole sensor,
// divided in both directions by the subsampling divisor.
#pragma once
#include <cstddef>

constexpr int kSensorWidth = 4896;
constexpr int kSensorHeight = 3264;

// Divisor 1, 2, 4, 8 for subsampling code 0..3; codes outside that range read
// as full size, as the camera does.
constexpr int SubSampleDivisor(int subSample) { return (subSample >= 0 && subSample <= 3) ? (1 << subSample) : 1; }

// Bytes of one delivered frame (one byte per pixel, rows packed).
constexpr size_t DeliveredFrameBytes(int subSample) {
    const int d = SubSampleDivisor(subSample);
    return static_cast<size_t>(kSensorWidth / d) * static_cast<size_t>(kSensorHeight / d);
}
