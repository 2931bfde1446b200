// What the application hears while a stream runs: a failed call's code stays
// in the error history however many frames are converted after it (each frame
// still notifies code 0 while automatic exposure is off), and a frame notice
// still queued when the session is released stays readable memory.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "StreamingCamera.h"

namespace {

using streamtest::kHeight;
using streamtest::kPatienceMs;
using streamtest::kWidth;

class StreamReports : public streamtest::StreamingCamera {
protected:
    // Waits until `frames` more frames were converted, counted by their code-0
    // notices; false when they did not come.
    bool ConvertedFrames(int frames) {
        const DWORD start = GetTickCount();
        while (frames > 0 && GetTickCount() - start < kPatienceMs) {
            for (const sdktest::Notice& n : sdktest::Drain(notify.get()))
                if (n.lParam == VIDLYN_ERR_NONE) --frames;
            Sleep(5);
        }
        return frames <= 0;
    }
};

TEST_F(StreamReports, ACodeStaysInTheHistoryWhileFramesAreConverted) {
    ASSERT_EQ(Vidlyn_GetAutoIris(h, nullptr), 0);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    ASSERT_TRUE(ConvertedFrames(3));

    // The README's pattern: a failed call, then the history.
    EXPECT_EQ(Vidlyn_SetGamma(h, 250), 0);
    ASSERT_TRUE(ConvertedFrames(30)) << "every converted frame still notifies code 0";
    EXPECT_EQ(Vidlyn_GetLastError(h), VIDLYN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Vidlyn_GetLastError(h), 0);
    int wrong = 0;
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(Vidlyn_SetGamma(h, 250), 0);
        if (Vidlyn_GetLastError(h) != VIDLYN_ERR_INVALID_ARGUMENT) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "of 200 tries";

    // A code goes only when twenty newer codes have come: 9, then nineteen 1s
    // (the colour mode cannot change while streaming), then frames.
    EXPECT_EQ(Vidlyn_SetGamma(h, 250), 0);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(Vidlyn_SetColorMode(h, 8), 0);
    ASSERT_TRUE(ConvertedFrames(25));
    for (int i = 0; i < 19; ++i) EXPECT_EQ(Vidlyn_GetLastError(h), VIDLYN_ERR_NO_CAMERA) << i;
    EXPECT_EQ(Vidlyn_GetLastError(h), VIDLYN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Vidlyn_GetLastError(h), 0);
    EXPECT_EQ(Vidlyn_SetGamma(h, 250), 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Vidlyn_SetColorMode(h, 8), 0);
    EXPECT_EQ(sdktest::DrainHistory(h), std::vector<int>(20, VIDLYN_ERR_NO_CAMERA));
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

// True when `address` lies in a heap block that has been freed: the memory a
// reader of a late message must never be pointed at.
bool InFreedHeapBlock(const void* address) {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    const auto* at = static_cast<const uint8_t*>(address);
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        bool freed = false;
        bool found = false;
        while (!found && HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) continue;
            const auto* begin = static_cast<const uint8_t*>(entry.lpData);
            if (at >= begin && at < begin + entry.cbData) {
                found = true;
                freed = (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) == 0;
            }
        }
        HeapUnlock(heaps[i]);
        if (found) return freed;
    }
    return false;
}

TEST_F(StreamReports, AFrameNoticeReadAfterReleaseIsStillTheLastFramesRecord) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, 1), 1);
    MSG msg;
    const DWORD start = GetTickCount();
    while (!PeekMessageA(&msg, notify.get(), VIDLYN_MSG_FRAME, VIDLYN_MSG_FRAME, PM_NOREMOVE) &&
           GetTickCount() - start < kPatienceMs)
        Sleep(1);
    ASSERT_EQ(session->Release(), 1);  // with the notice still queued

    ASSERT_TRUE(PeekMessageA(&msg, notify.get(), VIDLYN_MSG_FRAME, VIDLYN_MSG_FRAME, PM_REMOVE));
    const auto* notice = reinterpret_cast<const VIDLYN_FRAME_NOTICE*>(msg.wParam);
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(InFreedHeapBlock(notice)) << "the notice lies in the released session's freed memory";
    EXPECT_EQ(notice->size, 32);
    EXPECT_EQ(notice->width, kWidth);
    EXPECT_EQ(notice->height, kHeight);
    EXPECT_EQ(notice->bitCount, 24);
    EXPECT_EQ(notice->buffer, buffer.data());
    sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
}

TEST_F(StreamReports, SessionsComeAndGoWithABoundedSetOfNoticeRecords) {
    session.reset();
    std::vector<WPARAM> order;  // each session's record
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    for (int cycle = 0; cycle < 40; ++cycle) {
        sdktest::Session one(notify.get());
        ASSERT_NE(one.handle(), 0);
        ASSERT_EQ(Vidlyn_CallBackPreview(one, notify.get(), buffer.data(), size, 1), 1);
        MSG msg;
        ASSERT_TRUE(streamtest::WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg)) << cycle;
        ASSERT_EQ(one.Release(), 1);
        sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
        sdktest::Drain(notify.get());
        order.push_back(msg.wParam);
    }
    // One session at a time: a record is taken again only after sixteen later
    // releases (a late reader still finds its own session's bytes), so forty
    // sessions share seventeen records.
    const std::set<WPARAM> records(order.begin(), order.end());
    EXPECT_LE(records.size(), 17u);
    for (size_t i = 1; i < order.size(); ++i)
        for (size_t j = i >= 16 ? i - 16 : 0; j < i; ++j)
            EXPECT_NE(order[i], order[j]) << "sessions " << j << " and " << i << " share a record";
}

}  // namespace
