// The real DLL meets the virtual camera daemon: it finds the camera through the
// disk enumeration list and \\.\PhysicalDriveN, and the register, gain and
// exposure exports reach the camera. Run by scripts/vcam.sh with cameras on
// drives 3 and 7 (tests/CMakeLists.txt).
#include <gtest/gtest.h>
#include <windows.h>

#include "VcamState.h"
#include "VidlynSdk.h"

using vcamtest::CameraState;
using vcamtest::StateNumber;

namespace {

class VcamDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(vcamtest::MountFolder().empty()) << "run through scripts/vcam.sh (VIDLYN_VCAM_MOUNT is not set)";
        ASSERT_FALSE(CameraState(3).empty()) << "the daemon serves no camera on drive 3";
        handle = Vidlyn_Initialize(nullptr);
        ASSERT_NE(handle, 0);
    }
    void TearDown() override {
        if (handle) Vidlyn_Release(handle);
    }
    int handle = 0;
};

TEST_F(VcamDevice, InitializeOpensTheFirstCameraAndSendsItsSettings) {
    int ok = 0;
    const int exposure = Vidlyn_GetExposureTime(handle, &ok);
    ASSERT_EQ(ok, 1);
    const int gain = Vidlyn_GetGlobalGain(handle, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(StateNumber(3, "reg 0x2004"), exposure);
    EXPECT_EQ(StateNumber(3, "reg 0x0005"), gain);
    EXPECT_EQ(StateNumber(3, "reg 0x3003"), 1) << "gain enable precedes the gain";
    EXPECT_EQ(StateNumber(3, "reg 0x3000"), 1) << "readout update closed";
    EXPECT_EQ(StateNumber(3, "dual_output"), 1);
    // The second camera (drive 7) is counted, but only the first is opened.
    EXPECT_EQ(StateNumber(7, "register_writes"), 0);
}

TEST_F(VcamDevice, ExposureGainAndRegisterWritesReachTheCamera) {
    ASSERT_EQ(Vidlyn_SetExposureTime(handle, 2000), 1);
    EXPECT_EQ(StateNumber(3, "reg 0x2004"), 2000);
    ASSERT_EQ(Vidlyn_SetGlobalGain(handle, 300), 1);
    EXPECT_EQ(StateNumber(3, "reg 0x0005"), 300);
    // The register export passes the low 8 bits of address and value.
    ASSERT_EQ(Vidlyn_WriteRegister(handle, 0x1234, 0x5678), 1);
    EXPECT_EQ(CameraState(3)["last_write"], "0x0034 0x0078");
    EXPECT_EQ(StateNumber(3, "started"), 0) << "no frame asked for";
}

}  // namespace
