// A session with a simulated camera behind the raw-disk seam: start-up sends
// the geometry, gain and exposure, and the camera-side adjustment parameters
// (global gain, exposure) reach the sensor registers at the moment they are set.
#include <gtest/gtest.h>

#include <utility>

#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using namespace sdktest;
using vidlyn::test::CameraEnumEntry;
using vidlyn::test::CameraRig;
using vidlyn::test::DeleteDiskEnum;
using vidlyn::test::WriteDiskEnum;
using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

class SessionCamera : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        Drain(nullptr);
        ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
        m_camera = &m_rig.Add(0);
    }
    void TearDown() override {
        Drain(nullptr);
        DeleteDiskEnum();
        DeleteSettings();
    }

    CameraRig m_rig;
    vidlyn::vcam::CameraModel* m_camera = nullptr;
};

TEST_F(SessionCamera, StartUpOpensTheCameraAndSendsFormatGainAndExposure) {
    Session s;
    ASSERT_NE(s.handle(), 0);
    EXPECT_EQ(DrainHistory(s), std::vector<int>{12});  // first start
    ASSERT_TRUE(s.object()->m_device->IsOpen());
    const Writes expected = {{0x3000, 0},  {0x3001, 0},   {0x3002, 0}, {0x3000, 1},  // readout at full size
                             {0x3003, 1},  {0x0005, 100},                            // global gain
                             {0x2004, 100}};                                         // exposure
    EXPECT_EQ(m_camera->RegisterWrites(), expected);
}

TEST_F(SessionCamera, GainAndExposureReachTheSensorRegisters) {
    {
        Session first;  // stores the first-start defaults
    }
    Session s;
    ASSERT_TRUE(s.object()->m_device->IsOpen());
    EXPECT_TRUE(DrainHistory(s).empty());
    m_camera->ClearLog();
    const size_t before = m_camera->RegisterWrites().size();

    EXPECT_EQ(Vidlyn_SetGlobalGain(s, 1023), 1);
    Writes writes = m_camera->RegisterWrites();
    ASSERT_EQ(writes.size(), before + 2);
    EXPECT_EQ(writes[before], std::make_pair(uint16_t{0x3003}, uint16_t{1}));
    EXPECT_EQ(writes[before + 1], std::make_pair(uint16_t{0x0005}, uint16_t{0x03FF}));
    EXPECT_EQ(m_camera->Register(0x0005), 0x03FF);
    EXPECT_GT(m_camera->CountWrites(vidlyn::vcam::CameraModel::kCommandOffset), 0u);

    EXPECT_EQ(Vidlyn_SetExposureTime(s, 1668), 1);
    writes = m_camera->RegisterWrites();
    ASSERT_EQ(writes.size(), before + 3);
    EXPECT_EQ(writes.back(), std::make_pair(uint16_t{0x2004}, uint16_t{1668}));
    EXPECT_EQ(m_camera->Register(0x2004), 1668);

    // Refused values and plain session parameters never reach the camera.
    EXPECT_EQ(Vidlyn_SetGlobalGain(s, 1024), 0);
    EXPECT_EQ(Vidlyn_SetExposureTime(s, 0), 0);
    EXPECT_EQ(Vidlyn_SetBrightness(s, 10), 1);
    EXPECT_EQ(m_camera->RegisterWrites().size(), before + 3);
    EXPECT_EQ(DrainHistory(s), std::vector<int>({9, 9}));

    int ok = 0;
    EXPECT_EQ(Vidlyn_GetGlobalGain(s, &ok), 1023);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vidlyn_GetExposureTime(s, &ok), 1668);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vidlyn_GetRealExposureTime(s, &ok), 144578);
}

TEST_F(SessionCamera, ReleaseClosesTheCameraAndKeepsTheSettings) {
    {
        Session s;
        EXPECT_EQ(Vidlyn_SetGlobalGain(s, 321), 1);
        EXPECT_EQ(m_rig.disk.OpenHandles(), 1);
    }
    EXPECT_EQ(m_rig.disk.OpenHandles(), 0);
    Session again;
    EXPECT_EQ(m_camera->Register(0x0005), 321);  // the stored gain is sent again at start-up
    int ok = 0;
    EXPECT_EQ(Vidlyn_GetGlobalGain(again, &ok), 321);
}

}  // namespace
