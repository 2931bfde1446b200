#include "pixel/RowStripes.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace pixel {

namespace {

constexpr int kMaxBands = 16;
std::atomic<int> gCeiling{0};

int Cores() {
    static const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    return cores;
}

}  // namespace

int StripeLimit() {
    const int ceiling = gCeiling.load(std::memory_order_relaxed);
    const int limit = ceiling > 0 ? ceiling : Cores();
    return std::min(limit, kMaxBands);
}

void SetStripeCeiling(int bands) { gCeiling.store(std::max(bands, 0), std::memory_order_relaxed); }

void ForEachStripe(int rows, int minRows, const std::function<void(int, int)>& band) {
    if (rows <= 0) return;
    const int bands = std::clamp(rows / std::max(minRows, 1), 1, StripeLimit());
    if (bands == 1) {
        band(0, rows);
        return;
    }
    const auto bound = [&](int i) { return static_cast<int>(static_cast<long long>(rows) * i / bands); };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(bands) - 1);
    for (int i = 1; i < bands; ++i) {
        try {
            helpers.emplace_back(band, bound(i), bound(i + 1));
        } catch (const std::system_error&) {
            band(bound(i), bound(i + 1));  // no thread to be had: do it here
        }
    }
    band(0, bound(1));
    for (auto& t : helpers) t.join();
}

}  // namespace pixel
