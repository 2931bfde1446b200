// A session with a simulated camera behind the raw-disk seam: start-up sends
// the geometry, gain and exposure, and the camera-side adjustment parameters
// (global gain, exposure) reach the sensor registers at the moment they are set.
#include <gtest/gtest.h>

#include <atomic>
#include <utility>

#include "CountedAllocations.h"
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

TEST_F(SessionCamera, RegisterWritesTakeTheLowBytesOfAddressAndValue) {
    MessageWindow window;
    Session s(window.get());
    ASSERT_TRUE(s.object()->m_device->IsOpen());
    m_camera->ClearLog();
    const size_t before = m_camera->RegisterWrites().size();
    EXPECT_EQ(Vidlyn_WriteRegister(s, 0x1234, 0x5678), 1);
    const Writes writes = m_camera->RegisterWrites();
    ASSERT_EQ(writes.size(), before + 1);
    EXPECT_EQ(writes.back(), std::make_pair(uint16_t{0x34}, uint16_t{0x78}));
    EXPECT_EQ(Drain(window.get()).size(), 1u);  // only the first start's 12
    EXPECT_EQ(DrainHistory(s), std::vector<int>{12});
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

TEST_F(SessionCamera, TwoHundredStartsAndReleasesGiveBackEverything) {
    {
        Session first;  // the first start's defaults and report
    }
    // Frame notice records stay with the process, and one session at a time
    // fills the pool to 17 of them: fill it before counting.
    for (int i = 0; i < 17; ++i) Session().Release();
    Drain(nullptr);
    // The camera model's own transaction log grows with every session: it is
    // emptied before each count so that only the library's allocations remain.
    m_camera->ClearLog();
    m_rig.disk.ClearOpenAttempts();
    DWORD handlesBefore = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesBefore));
    const long allocationsBefore = g_liveAllocations.load();
    for (int i = 0; i < 200; ++i) {
        const int h = Vidlyn_Initialize(nullptr);
        ASSERT_NE(h, 0);
        ASSERT_EQ(Vidlyn_SetGlobalGain(h, i % 1024), 1);
        ASSERT_EQ(Vidlyn_Release(h), 1);
    }
    m_camera->ClearLog();
    m_rig.disk.ClearOpenAttempts();
    EXPECT_EQ(g_liveAllocations.load(), allocationsBefore);
    EXPECT_EQ(m_rig.disk.OpenHandles(), 0);
    DWORD handlesAfter = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesAfter));
    EXPECT_LE(handlesAfter, handlesBefore + 2);  // room for the system's own lazy handles
    EXPECT_EQ(SdkRegistry::Count(), 0);
    EXPECT_TRUE(Drain(nullptr).empty());
}

}  // namespace
