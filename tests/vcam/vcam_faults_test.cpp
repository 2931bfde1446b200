// Faults of the camera and its link, through the real DLL and the virtual
// camera daemon: what the application hears and when, that every stop returns,
// and that the files written before the fault stay readable. Each suite runs
// with the daemon options that make its fault (tests/CMakeLists.txt).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "FileReaders.h"
#include "VcamState.h"
#include "VidlynSdk.h"
#include "model/CameraModel.h"

using vcamtest::StateNumber;
using vidlyn::vcam::CameraModel;

namespace {

constexpr int kWidth = 4896;
constexpr int kHeight = 3264;
// Generous limits for a loaded machine: they catch a hang or a code that never
// comes. The times themselves are printed.
constexpr DWORD kHearWithinMs = 8000;
constexpr DWORD kStopWithinMs = 5000;

// One session on camera `index`, 8-bit raw frames, errors posted to a window of
// this thread (codes 0 of the automatic exposure step are left out).
class Camera {
public:
    explicit Camera(int index = 0) {
        wnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        handle = Vidlyn_Initialize(wnd);
        if (index != 0) Vidlyn_SetDeviceNumber(handle, index);
        Vidlyn_SetColorMode(handle, 8);
        Vidlyn_SetGrayMode(handle, 0);
        while (Vidlyn_GetLastError(handle) != 0) {
        }
        Codes();
        frame.resize(size_t(kWidth) * kHeight);
    }
    ~Camera() {
        if (handle) Vidlyn_Release(handle);
        if (wnd) DestroyWindow(wnd);
    }
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // The non-zero codes posted since the last call.
    std::vector<int> Codes() {
        std::vector<int> codes;
        MSG msg;
        while (PeekMessageA(&msg, wnd, VIDLYN_MSG_ERROR, VIDLYN_MSG_ERROR, PM_REMOVE))
            if (msg.lParam != 0) codes.push_back(int(msg.lParam));
        return codes;
    }
    // Milliseconds until `code` is posted, or -1 after `ms` without it.
    long Hear(int code, DWORD ms = kHearWithinMs) {
        const DWORD start = GetTickCount();
        for (;;) {
            for (int c : Codes())
                if (c == code) return long(GetTickCount() - start);
            if (GetTickCount() - start > ms) return -1;
            Sleep(10);
        }
    }
    // The next new frame; false after `ms` without one. Its stamped number in `number`.
    bool NextFrame(DWORD ms, uint32_t* number = nullptr) {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(5)) {
            if (Vidlyn_GetImage(handle, frame.data(), int(frame.size()), 1) != 1) continue;
            if (number) *number = CameraModel::DecodeFrameNumber(frame.data());
            return true;
        }
        return false;
    }
    // Milliseconds the stop took.
    DWORD Stop() {
        const DWORD start = GetTickCount();
        EXPECT_EQ(Vidlyn_StopPreview(handle), 1);
        const DWORD took = GetTickCount() - start;
        std::printf("stop took %lu ms\n", took);
        return took;
    }

    HWND wnd = nullptr;
    int handle = 0;
    std::vector<uint8_t> frame;
};

// Waits until the daemon's camera on `drive` says `name` is `value`.
bool WaitForState(int drive, const char* name, long value, DWORD ms = 20000) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (StateNumber(drive, name) == value) return true;
    return false;
}

// A recording that the fault interrupts must still be a whole AVI: sizes, frame
// count and index agree with the frames in it.
void ExpectWholeAvi(const std::string& path) {
    const filetest::AviFile avi = filetest::ReadAvi(path);
    ASSERT_TRUE(avi.ok) << avi.error;
    ASSERT_FALSE(avi.frames.empty());
    EXPECT_TRUE(avi.hasIndex);
    EXPECT_EQ(avi.index.size(), avi.frames.size());
    EXPECT_EQ(avi.Field(48), avi.frames.size()) << "frame count in the main header";
    for (const auto& f : avi.frames) EXPECT_EQ(f.size, uint32_t(kWidth) * kHeight * 3);
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(vcamtest::MountFolder().empty()) << "run through scripts/vcam.sh (VIDLYN_VCAM_MOUNT is not set)";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Norvex\\VidlynQM77203Sdk");
    }
};

}  // namespace

// Daemon: the link stalls for good after 8 frames while the status reads go on.
TEST_F(Faults, StallForGoodIsHeardOnceAndAgainAfterARestart) {
    Camera cam;
    const std::string avi = filetest::TempPath("stall.avi");
    ASSERT_EQ(Vidlyn_Record(cam.handle, avi.c_str(), 60000, 0), 1);
    ASSERT_TRUE(WaitForState(3, "stalled", 1));
    const long heard = cam.Hear(VIDLYN_ERR_TRANSFER);
    std::printf("stall heard %ld ms after the daemon's stall was seen\n", heard);
    EXPECT_GE(heard, 0) << "a stalled camera must be reported";
    // Once per stall: nothing more while it lasts, and the stream is not given up.
    Sleep(2500);
    EXPECT_EQ(cam.Codes(), std::vector<int>{});
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    ExpectWholeAvi(avi);

    // A new start on the stalled camera is accepted (it answers) and heard again.
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    EXPECT_GE(cam.Hear(VIDLYN_ERR_TRANSFER), 0);
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    filetest::Remove(avi);
}

// Daemon: the link stalls after 8 frames for 3.5 s, then sends frames again.
TEST_F(Faults, StallThatResumesIsHeardOnceAndTheStreamGoesOn) {
    Camera cam;
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    ASSERT_TRUE(WaitForState(3, "stalled", 1));
    EXPECT_GE(cam.Hear(VIDLYN_ERR_TRANSFER), 0);
    ASSERT_TRUE(WaitForState(3, "stalled", 0));
    // Frames of the camera after the stall arrive on the same stream.
    const DWORD resumed = GetTickCount();
    uint32_t number = 0;
    for (int i = 0; i < 20 && number <= 9; ++i) ASSERT_TRUE(cam.NextFrame(10000, &number)) << "frame " << i;
    std::printf("first frame after the stall %lu ms after the daemon's stall ended\n", GetTickCount() - resumed);
    EXPECT_GT(number, 9u);
    EXPECT_EQ(cam.Codes(), std::vector<int>{}) << "the stall was reported once, and nothing was given up";
    EXPECT_LT(cam.Stop(), kStopWithinMs);
}

// Daemon: the camera is started but never gets a frame ready.
TEST_F(Faults, CameraThatNeverBecomesReadyIsHeard) {
    Camera cam;
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    const long heard = cam.Hear(VIDLYN_ERR_TRANSFER);
    std::printf("never ready heard %ld ms after the start\n", heard);
    EXPECT_GE(heard, 0);
    EXPECT_FALSE(cam.NextFrame(100));
    EXPECT_LT(cam.Stop(), kStopWithinMs);
}

// Daemon: the camera is unplugged 4 MB into its 9th frame, during a recording.
TEST_F(Faults, RemovalMidFrameEndsTheStreamAndAStartFails) {
    Camera cam;
    const std::string avi = filetest::TempPath("removal.avi");
    const std::string bmp = filetest::TempPath("removal.bmp");
    ASSERT_EQ(Vidlyn_Record(cam.handle, avi.c_str(), 60000, 0), 1);
    ASSERT_TRUE(cam.NextFrame(20000));
    ASSERT_EQ(Vidlyn_SaveImage(cam.handle, bmp.c_str(), VIDLYN_FORMAT_BMP), 1);
    ASSERT_TRUE(WaitForState(3, "removed", 1));
    const long heard = cam.Hear(VIDLYN_ERR_TRANSFER_STOPPED);
    std::printf("removal heard %ld ms after the daemon's removal was seen\n", heard);
    EXPECT_GE(heard, 0);
    EXPECT_EQ(StateNumber(3, "frames"), 8) << "the 9th frame never arrived whole";

    // The session counts as streaming until stopped; a start begins a new stream,
    // which a camera that does not answer refuses with code 2.
    EXPECT_EQ(Vidlyn_StartPreview(cam.handle), 0);
    EXPECT_EQ(cam.Codes(), std::vector<int>{VIDLYN_ERR_CAMERA_NOT_FOUND});
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    ExpectWholeAvi(avi);
    EXPECT_EQ(Vidlyn_StartPreview(cam.handle), 0);
    EXPECT_EQ(cam.Codes(), std::vector<int>{VIDLYN_ERR_CAMERA_NOT_FOUND});
    EXPECT_EQ(Vidlyn_SnapShot(cam.handle, cam.frame.data(), int(cam.frame.size()), 1), 0);

    const std::vector<uint8_t> b = filetest::ReadBytes(bmp);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(filetest::U32(b, 2), b.size()) << "the still saved before the removal is whole";
    filetest::Remove(avi);
    filetest::Remove(bmp);
}

// Daemon: a link at a tenth of USB 3.0's speed (40 MB/s, 0.4 s per frame).
TEST_F(Faults, SlowLinkDeliversEveryFrameWithoutAReport) {
    Camera cam;
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    uint32_t last = 0;
    const DWORD start = GetTickCount();
    for (int i = 0; i < 8; ++i) {
        uint32_t number = 0;
        ASSERT_TRUE(cam.NextFrame(20000, &number)) << "frame " << i;
        EXPECT_GT(number, last);
        last = number;
    }
    std::printf("8 frames in %lu ms\n", GetTickCount() - start);
    EXPECT_EQ(cam.Codes(), std::vector<int>{});
    Sleep(200);  // a stop while a frame is on the link
    EXPECT_LT(cam.Stop(), kStopWithinMs);
}

// Daemon: after 8 frames the camera is unplugged and back 0.5 s later as
// another product (its status sector says 0x06E1).
TEST_F(Faults, ReconnectAsAnotherProductIsGivenUpAndNotStarted) {
    Camera cam;
    const std::string avi = filetest::TempPath("replug.avi");
    ASSERT_EQ(Vidlyn_Record(cam.handle, avi.c_str(), 60000, 0), 1);
    ASSERT_TRUE(WaitForState(3, "removed", 1));
    const long heard = cam.Hear(VIDLYN_ERR_TRANSFER_STOPPED);
    std::printf("given up %ld ms after the daemon's unplug was seen\n", heard);
    EXPECT_GE(heard, 0);
    EXPECT_EQ(StateNumber(3, "product"), 0x06E1);
    EXPECT_EQ(StateNumber(3, "removed"), 0);
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    ExpectWholeAvi(avi);
    filetest::Remove(avi);
    const long started = StateNumber(3, "started");
    EXPECT_EQ(Vidlyn_StartPreview(cam.handle), 0);
    EXPECT_EQ(cam.Codes(), std::vector<int>{VIDLYN_ERR_CAMERA_NOT_FOUND});
    EXPECT_EQ(StateNumber(3, "started"), started) << "another device is not sent the start command";
}

// Daemon: after 8 frames the camera drops off the link and is back 0.5 s later
// as itself, powered up again: it answers but is no longer started.
TEST_F(Faults, CameraThatResetsItselfIsAStallUntilAStopAndStart) {
    Camera cam;
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    ASSERT_TRUE(WaitForState(3, "removed", 1));
    const long heard = cam.Hear(VIDLYN_ERR_TRANSFER);
    std::printf("reset camera heard %ld ms after the daemon's unplug was seen\n", heard);
    EXPECT_GE(heard, 0);
    EXPECT_EQ(StateNumber(3, "started"), 0);
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    // The start sends the start command again, and the frames come back.
    ASSERT_EQ(Vidlyn_StartPreview(cam.handle), 1);
    EXPECT_TRUE(cam.NextFrame(20000));
    EXPECT_EQ(StateNumber(3, "started"), 1);
    EXPECT_LT(cam.Stop(), kStopWithinMs);
    EXPECT_EQ(cam.Codes(), std::vector<int>{});
}

// Sessions on cameras 0 .. count-1 (drives `drives`) stream at once: each gets
// rising frames of its own camera, nothing is reported, and every stop returns.
void StreamAtOnce(const std::vector<int>& drives) {
    std::vector<std::unique_ptr<Camera>> cams;
    std::vector<long> before;
    for (size_t i = 0; i < drives.size(); ++i) {
        cams.push_back(std::make_unique<Camera>(int(i)));
        before.push_back(StateNumber(drives[i], "frames"));
    }
    for (auto& cam : cams) ASSERT_EQ(Vidlyn_StartPreview(cam->handle), 1);
    for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < cams.size(); ++i) {
            uint32_t number = 0;
            ASSERT_TRUE(cams[i]->NextFrame(20000, &number)) << "camera " << i << " round " << round;
            EXPECT_GT(number, 0u);
        }
    for (size_t i = 0; i < cams.size(); ++i) {
        EXPECT_LT(cams[i]->Stop(), kStopWithinMs) << "camera " << i;
        EXPECT_GE(StateNumber(drives[i], "frames"), before[i] + 3) << "drive " << drives[i];
        EXPECT_EQ(cams[i]->Codes(), std::vector<int>{}) << "camera " << i;
    }
}

// Daemon: two cameras on drives 3 and 7.
TEST_F(Faults, TwoCamerasStreamAtOnce) { StreamAtOnce({3, 7}); }

// Daemon: four cameras on drives 3, 5, 7 and 9.
TEST_F(Faults, FourCamerasStreamAtOnce) { StreamAtOnce({3, 5, 7, 9}); }
