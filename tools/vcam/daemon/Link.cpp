// Link timing.
#include "Link.h"

#include <algorithm>

namespace vidlyn::vcam {

Link::Link(double bytesPerSecond, std::chrono::microseconds turnaround)
    : m_rate(bytesPerSecond), m_turnaround(turnaround) {}

Link::Clock::time_point Link::Schedule(uint64_t offset, uint32_t length) {
    const Clock::time_point now = Clock::now();
    if (m_rate <= 0) return now;
    std::lock_guard<std::mutex> guard(m_lock);
    const bool continues = offset == m_nextOffset;
    const Clock::time_point start = continues ? m_busyUntil : std::max(now, m_busyUntil) + m_turnaround;
    const auto wire = std::chrono::duration<double>(length / m_rate);
    m_busyUntil = start + std::chrono::duration_cast<Clock::duration>(wire);
    m_nextOffset = offset + length;
    return m_busyUntil;
}

}  // namespace vidlyn::vcam
