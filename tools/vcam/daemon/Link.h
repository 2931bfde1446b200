// The USB link between the host and one camera: every transfer takes the time
// its bytes need at the link's rate, plus a fixed turnaround per command, so
// that a full frame arrives at the pace a real camera sends it. A transfer
// that continues the previous one (the next piece of a frame read) keeps the
// link's schedule, so time the camera spent rendering is made up by its later pieces.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>

namespace vidlyn::vcam {

class Link {
public:
    using Clock = std::chrono::steady_clock;

    // bytesPerSecond 0: no limit (and no turnaround).
    explicit Link(double bytesPerSecond, std::chrono::microseconds turnaround = std::chrono::microseconds(125));

    // The time at which `length` bytes at `offset` have crossed the link.
    // Call when the transfer is asked for; wait until the result once it is served.
    Clock::time_point Schedule(uint64_t offset, uint32_t length);

    double BytesPerSecond() const { return m_rate; }

private:
    const double m_rate;
    const std::chrono::microseconds m_turnaround;
    std::mutex m_lock;
    Clock::time_point m_busyUntil{};
    uint64_t m_nextOffset = UINT64_MAX;  // where a continuing transfer would start
};

}  // namespace vidlyn::vcam
