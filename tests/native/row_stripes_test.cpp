// Row bands shared by the calling thread and the kept helper threads: every row
// is run exactly once, also with several callers at once and with a band that
// splits its own rows again, and the call returns only when all are done.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
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

// Waits (up to a minute on a loaded machine) until `flag` is set.
bool WaitFor(const std::atomic<int>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (flag.load() == 0 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    return flag.load() != 0;
}

// A band that throws, on the calling thread or on a helper, reaches the caller
// as that exception, and only after every band still running has finished:
// the bands read the caller's stack, which the exception unwinds. Sixteen
// bands and at most fifteen helpers: each helper band waits for the caller's,
// so the caller always runs one while helpers run theirs.
TEST(RowStripes, AThrowingBandReachesTheCallerAfterTheOthersFinished) {
    pixel::SetStripeCeiling(16);
    for (const bool callerThrows : {true, false}) {
        const auto caller = std::this_thread::get_id();
        std::atomic<int> callerStarted{0}, helperStarted{0}, running{0};
        bool caught = false;
        try {
            pixel::ForEachStripe(16, 1, [&](int, int) {
                running.fetch_add(1);
                const bool onCaller = std::this_thread::get_id() == caller;
                (onCaller ? callerStarted : helperStarted).store(1);
                WaitFor(onCaller ? helperStarted : callerStarted);
                if (onCaller == callerThrows) {
                    running.fetch_sub(1);
                    throw std::runtime_error("band");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                running.fetch_sub(1);
            });
        } catch (const std::runtime_error&) {
            caught = true;
            EXPECT_EQ(running.load(), 0) << "a band still ran when the exception reached the caller";
        }
        EXPECT_TRUE(caught) << (callerThrows ? "thrown on the caller" : "thrown on a helper");
        EXPECT_EQ(callerStarted.load() + helperStarted.load(), 2);
    }
    pixel::SetStripeCeiling(0);
}

}  // namespace
