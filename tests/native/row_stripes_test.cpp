// Row bands shared by the calling thread and the kept helper threads: every row
// is run exactly once, also with several callers at once and with a band that
// splits its own rows again, and the call returns only when all are done.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "pixel/core/RowStripes.h"

namespace {

// Runs ForEachStripe over `rows` rows and checks every row was counted once.
void CoverOnce(int rows, int minRows) {
    std::vector<std::atomic<int>> hits(static_cast<size_t>(rows));
    pixel::ForEachStripe(rows, minRows, [&](int first, int end) {
        for (int y = first; y < end; ++y) hits[static_cast<size_t>(y)].fetch_add(1);
    });
    for (int y = 0; y < rows; ++y) ASSERT_EQ(hits[static_cast<size_t>(y)].load(), 1) << "row " << y << " of " << rows;
}

TEST(RowStripes, EveryRowOnceFromSeveralCallersAtOnce) {
    pixel::SetStripeCeiling(5);
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([t] {
            for (int i = 0; i < 300; ++i) CoverOnce(1 + (i * 7 + t) % 97, 1 + i % 4);
        });
    for (auto& c : callers) c.join();
    pixel::SetStripeCeiling(0);
}

TEST(RowStripes, BandsSplitAgainAndSlowBandsAreWaitedFor) {
    pixel::SetStripeCeiling(3);
    std::atomic<int> rows{0};
    pixel::ForEachStripe(30, 1, [&](int first, int end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(first == 0 ? 0 : 30));
        pixel::ForEachStripe(end - first, 1, [&](int a, int b) { rows.fetch_add(b - a); });
    });
    EXPECT_EQ(rows.load(), 30);  // the slow helpers' rows too, before the call returned
    pixel::SetStripeCeiling(0);
}

}  // namespace
