// The real DLL streams from the virtual camera daemon through \\.\PhysicalDriveN:
// live frames and single snapshots arrive whole and in order (checked against
// the camera model's own rendering), two cameras are told apart, automatic
// exposure settles in a closed loop, and a camera unplugged mid-stream is
// reported with code 13 and stops cleanly. Run by scripts/vcam.sh with the
// daemon options of each suite (tests/CMakeLists.txt).
#include <gtest/gtest.h>
#include <windows.h>

#include <numeric>
#include <vector>

#include "VcamState.h"
#include "VidlynSdk.h"
#include "model/CameraModel.h"

using vcamtest::StateNumber;
using vidlyn::vcam::CameraModel;

namespace {

constexpr int kWidth = 4896;
constexpr int kHeight = 3264;

// A session on camera `index` with stored settings cleared, 8-bit raw output.
class Stream : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(vcamtest::MountFolder().empty()) << "run through scripts/vcam.sh (VIDLYN_VCAM_MOUNT is not set)";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Norvex\\VidlynQM77203Sdk");
        handle = Vidlyn_Initialize(nullptr);
        ASSERT_NE(handle, 0);
        ASSERT_EQ(Vidlyn_SetColorMode(handle, 8), 1);
        ASSERT_EQ(Vidlyn_SetGrayMode(handle, 0), 1);  // the raw Bayer samples
        while (Vidlyn_GetLastError(handle) != 0) {
        }
        frame.resize(size_t(kWidth) * kHeight);
    }
    void TearDown() override {
        if (handle) Vidlyn_Release(handle);
    }
    // The next new frame of the stream; false after `seconds` without one.
    bool NextFrame(double seconds = 20) {
        const DWORD until = GetTickCount() + DWORD(seconds * 1000);
        while (GetTickCount() < until) {
            if (Vidlyn_GetImage(handle, frame.data(), int(frame.size()), 1) == 1) return true;
            Sleep(2);
        }
        return false;
    }
    // The picture the camera rendered for the frame number stamped into `frame`,
    // with the registers the daemon's camera holds now.
    std::vector<uint8_t> Rendered(int drive) {
        CameraModel model;
        auto write = [&](uint16_t address, long value) {
            const uint8_t phases[2][4] = {{0x20, 0, uint8_t(address >> 8), uint8_t(address)},
                                          {0x20, 1, uint8_t(value >> 8), uint8_t(value)}};
            for (const auto& p : phases) {
                uint8_t sector[512] = {p[0], p[1], p[2], p[3]};
                model.WriteAt(CameraModel::kCommandOffset, sector, 512);
            }
        };
        write(0x2004, StateNumber(drive, "reg 0x2004"));
        write(0x0005, StateNumber(drive, "reg 0x0005"));
        std::vector<uint8_t> picture(frame.size());
        model.RenderPicture(CameraModel::DecodeFrameNumber(frame.data()), picture.data());
        return picture;
    }
    int handle = 0;
    std::vector<uint8_t> frame;
};

TEST_F(Stream, LiveFramesArriveWholeAndInOrder) {
    ASSERT_EQ(Vidlyn_StartPreview(handle), 1);
    uint32_t last = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(NextFrame()) << "frame " << i;
        const uint32_t n = CameraModel::DecodeFrameNumber(frame.data());
        ASSERT_GT(n, last) << "frame numbers rise";
        last = n;
        ASSERT_TRUE(frame == Rendered(3)) << "frame " << n << " differs from what the camera rendered";
    }
    ASSERT_EQ(Vidlyn_StopPreview(handle), 1);
    EXPECT_EQ(StateNumber(3, "started"), 1);
    EXPECT_GE(StateNumber(3, "frames"), 5);
}

TEST_F(Stream, SnapshotsComeFromTheSelectedCamera) {
    const long before3 = StateNumber(3, "frames");
    ASSERT_EQ(Vidlyn_SnapShot(handle, frame.data(), int(frame.size()), 1), 1);
    EXPECT_TRUE(frame == Rendered(3));
    EXPECT_EQ(StateNumber(3, "frames"), before3 + 1);

    // The second camera of the list is the one on drive 7.
    ASSERT_EQ(Vidlyn_SetDeviceNumber(handle, 1), 1);
    const long before7 = StateNumber(7, "frames");
    ASSERT_EQ(Vidlyn_SetExposureTime(handle, 2500), 1);
    ASSERT_EQ(Vidlyn_SnapShot(handle, frame.data(), int(frame.size()), 1), 1);
    EXPECT_EQ(StateNumber(7, "frames"), before7 + 1);
    EXPECT_EQ(StateNumber(3, "frames"), before3 + 1);
    EXPECT_EQ(StateNumber(7, "reg 0x2004"), 2500);
    EXPECT_TRUE(frame == Rendered(7));
}

// Daemon: a flat scene of level 60, too dark at the reference exposure.
TEST_F(Stream, AutomaticExposureSettlesInAClosedLoop) {
    ASSERT_EQ(Vidlyn_SetExposureTime(handle, 1668), 1);
    ASSERT_EQ(Vidlyn_SetAutoIris(handle, 1), 1);
    ASSERT_EQ(Vidlyn_StartPreview(handle), 1);
    // The regulation brightens the picture until its windows are no longer
    // clearly too dark (a mean of 100 or more), then leaves the exposure alone.
    double mean = 0;
    long settledFor = 0, previous = -1;
    for (int i = 0; i < 200 && settledFor < 12; ++i) {
        ASSERT_TRUE(NextFrame()) << "frame " << i;
        mean = std::accumulate(frame.begin() + 8, frame.end(), 0.0) / double(frame.size() - 8);
        const long exposure = StateNumber(3, "reg 0x2004");
        settledFor = exposure == previous ? settledFor + 1 : 0;
        previous = exposure;
    }
    ASSERT_EQ(Vidlyn_StopPreview(handle), 1);
    EXPECT_GE(settledFor, 12) << "the exposure did not settle";
    EXPECT_LT(previous, 1668) << "a dark scene gets a longer exposure (a smaller value)";
    EXPECT_GE(mean, 100);
    EXPECT_LE(mean, 160);
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetExposureTime(handle, &ok), previous) << "the session and the camera agree";
}

// Daemon: the camera is unplugged after 10 frames. The frames end, the session
// reports code 13 within seconds, the stop returns at once, and a snapshot
// afterwards fails with code 8.
TEST_F(Stream, UnpluggedCameraEndsTheFramesAndStopsCleanly) {
    ASSERT_EQ(Vidlyn_StartPreview(handle), 1);
    int frames = 0;
    while (NextFrame(5)) ++frames;
    EXPECT_LE(frames, 10);
    EXPECT_EQ(StateNumber(3, "removed"), 1);
    // The transfer gives the camera up and the session says so.
    int code = 0;
    for (DWORD until = GetTickCount() + 5000; code != VIDLYN_ERR_TRANSFER_STOPPED && GetTickCount() < until; Sleep(20))
        if (const int next = Vidlyn_GetLastError(handle)) code = next;
    EXPECT_EQ(code, VIDLYN_ERR_TRANSFER_STOPPED);
    const DWORD stopping = GetTickCount();
    EXPECT_EQ(Vidlyn_StopPreview(handle), 1);
    EXPECT_LT(GetTickCount() - stopping, 1000u) << "the stop returns promptly";
    EXPECT_EQ(Vidlyn_SnapShot(handle, frame.data(), int(frame.size()), 1), 0);
    EXPECT_EQ(Vidlyn_GetLastError(handle), VIDLYN_ERR_TRANSFER) << "the camera did not deliver the frame";
}

}  // namespace
