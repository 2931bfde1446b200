// Two application threads on one session, as an interface thread and a worker
// use it: streams started and stopped against snapshots taken meanwhile, and
// the preview window closed or released from a thread other than its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "StreamingCamera.h"

namespace {

using streamtest::kPatienceMs;

class AcquisitionThreads : public streamtest::StreamingCamera {};

TEST_F(AcquisitionThreads, SnapShotsDuringStartsAndStopsWaitTheirTurn) {
    const int size = streamtest::FrameBytes(24);
    std::atomic<bool> cycling{true};
    std::atomic<int> starts{0}, stops{0}, taken{0}, refused{0};
    std::thread snapper([&] {
        std::vector<uint8_t> frame(static_cast<size_t>(size));
        while (cycling.load()) {
            // A snapshot finds the session idle (a frame) or streaming (refused).
            if (Vidlyn_SnapShot(h, frame.data(), size, 1) == 1)
                ++taken;
            else
                ++refused;
        }
    });
    const bool cycled = streamtest::ReturnsInTime([&] {
        for (int i = 0; i < 20; ++i) {
            starts += Vidlyn_StartPreview(h);
            stops += Vidlyn_StopPreview(h);
        }
    });
    cycling.store(false);
    snapper.join();
    ASSERT_TRUE(cycled) << "start/stop still inside after " << kPatienceMs << " ms";
    EXPECT_EQ(starts.load(), 20);
    EXPECT_EQ(stops.load(), 20);
    EXPECT_GT(taken.load() + refused.load(), 0);
    // Every refusal is one code 1 (streaming); nothing else went wrong.
    EXPECT_EQ(Codes(), std::vector<int>(static_cast<size_t>(refused.load()), VIDLYN_ERR_NO_CAMERA));
    // The session is whole: a snapshot and a stream both still work.
    std::vector<uint8_t> frame(static_cast<size_t>(size));
    EXPECT_EQ(Vidlyn_SnapShot(h, frame.data(), size, 1), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    EXPECT_TRUE(NextImage(image, 24));
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

}  // namespace
