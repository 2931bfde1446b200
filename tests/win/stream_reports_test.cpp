// What the application hears while a stream runs: a failed call's code stays
// in the error history however many frames are converted after it (each frame
// still notifies code 0 while automatic exposure is off).
#include <gtest/gtest.h>

#include "StreamingCamera.h"

namespace {

using streamtest::kPatienceMs;

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

}  // namespace
