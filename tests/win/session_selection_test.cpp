// Camera selection and information through the exports: the name table with
// none, two and twelve cameras, single names and their buffer sizes,
// selecting another camera and taking frames from it, and the camera
// information record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using namespace sdktest;
using vidlyn::test::CameraEnumEntry;
using vidlyn::test::CameraRig;
using vidlyn::test::DeleteDiskEnum;
using vidlyn::test::WriteDiskEnum;

constexpr size_t kTable = 10 * 256;
constexpr char kGuard = 'x';

class Selection : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        Drain(nullptr);
    }
    void TearDown() override {
        Drain(nullptr);
        DeleteDiskEnum();
        DeleteSettings();
    }
    // A session (its first start's report drained) with `listed` cameras in the
    // disk list; cameras answer on the drives added to the rig.
    void Open(int listed) {
        std::vector<std::string> entries;
        for (int i = 0; i < listed; ++i) entries.push_back(CameraEnumEntry("QM7720E", i + 1));
        ASSERT_TRUE(WriteDiskEnum(entries));
        m_session = std::make_unique<Session>(m_notify.get());
        ASSERT_NE(m_session->handle(), 0);
        DrainHistory(h());
        Drain(m_notify.get());
    }
    int h() const { return m_session->handle(); }

    CameraRig m_rig;
    MessageWindow m_notify;
    std::unique_ptr<Session> m_session;
};

// The ten entries of a narrow table (past them: the guard bytes).
std::vector<std::string> Entries(const std::vector<char>& table) {
    std::vector<std::string> out;
    for (size_t i = 0; i < 10; ++i) out.emplace_back(table.data() + i * 256);
    return out;
}

TEST_F(Selection, NameTableWithNoneTwoAndTwelveCameras) {
    struct Case {
        int listed;
        int result;
        int named;
    };
    for (const Case c : {Case{0, 0, 0}, Case{2, 2, 2}, Case{12, 12, 10}}) {
        SCOPED_TRACE(testing::Message() << c.listed << " cameras listed");
        Open(c.listed);
        std::vector<char> table(kTable + 64, kGuard);
        EXPECT_EQ(Vidlyn_EnumDevice(h(), table.data()), c.result);
        const std::vector<std::string> entries = Entries(table);
        for (int i = 0; i < 10; ++i) {
            char expected[32] = "";
            if (i < c.named) std::snprintf(expected, sizeof expected, "VidlynQM7720E_%02d", i + 1);
            EXPECT_EQ(entries[i], expected) << "entry " << i;
        }
        EXPECT_EQ(std::string(table.begin() + kTable, table.end()), std::string(64, kGuard))
            << "nothing is written beyond the ten entries";

        std::vector<wchar_t> wide(kTable + 64, L'x');
        EXPECT_EQ(Vidlyn_EnumDeviceW(h(), wide.data()), c.result);
        for (int i = 0; i < 10; ++i) {
            wchar_t expected[32] = L"";
            if (i < c.named) std::swprintf(expected, 32, L"VidlynQM7720E_%02d", i + 1);
            EXPECT_EQ(std::wstring(wide.data() + i * 256), expected) << "wide entry " << i;
        }
        EXPECT_EQ(std::wstring(wide.begin() + kTable, wide.end()), std::wstring(64, L'x'));
        EXPECT_TRUE(DrainHistory(h()).empty());
        EXPECT_EQ(Vidlyn_EnumDevice(h(), nullptr), 0);
        EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_INVALID_ARGUMENT);
    }
}

TEST_F(Selection, OneNameNeedsRoomForItsTerminatorAndAListedIndex) {
    Open(2);
    char name[64];
    std::memset(name, kGuard, sizeof name);
    EXPECT_EQ(Vidlyn_GetDeviceName(h(), 0, name, 14), 0);
    EXPECT_EQ(Vidlyn_GetDeviceName(h(), 0, name, 16), 0) << "16 characters leave no room for the terminator";
    EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9}));
    EXPECT_EQ(name[0], kGuard);
    EXPECT_EQ(Vidlyn_GetDeviceName(h(), 0, name, 17), 1);
    EXPECT_STREQ(name, "VidlynQM7720E_01");
    EXPECT_EQ(Vidlyn_GetDeviceName(h(), 1, name, 64), 1);
    EXPECT_STREQ(name, "VidlynQM7720E_02");

    for (int index : {2, -1}) EXPECT_EQ(Vidlyn_GetDeviceName(h(), index, name, 64), 0) << index;
    EXPECT_EQ(Vidlyn_GetDeviceName(h(), 0, nullptr, 64), 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>({9, 9, 9}));

    wchar_t wide[64];
    EXPECT_EQ(Vidlyn_GetDeviceNameW(h(), 1, wide, 14), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Vidlyn_GetDeviceNameW(h(), 1, wide, 17), 1);
    EXPECT_EQ(std::wstring(wide), L"VidlynQM7720E_02");
}

TEST_F(Selection, SelectTheSecondCameraAndTakeFramesFromIt) {
    vidlyn::vcam::CameraSettings small;
    small.subsampleDivisor = 8;
    vidlyn::vcam::CameraModel& first = m_rig.Add(3, small);
    vidlyn::vcam::CameraModel& second = m_rig.Add(7, small);
    Open(2);
    EXPECT_EQ(m_rig.disk.OpenHandles(3), 1) << "a new session opens camera index 0";
    // The first camera reads out subsampled; the second one, just opened, has
    // not been told yet.
    CVidlynQM7720USB3Sdk* device = m_session->object()->m_device;
    ASSERT_EQ(device->SetFormat(0, 0, 0, 0, 3), 0);

    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 2), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_CAMERA_NOT_FOUND);
    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 1), 1);
    EXPECT_EQ(m_rig.disk.OpenHandles(3), 0);
    EXPECT_EQ(m_rig.disk.OpenHandles(7), 1);
    EXPECT_TRUE(DrainHistory(h()).empty());

    ASSERT_EQ(device->SetFormat(0, 0, 0, 0, 3), 0);
    EXPECT_EQ(second.Register(0x3002), 1) << "the newly selected camera gets the readout";
    const uint32_t before = first.FramesDelivered();
    ASSERT_EQ(device->StartCapture(), 0);
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    ASSERT_EQ(device->FinishCapture(frame.data()), 0);
    EXPECT_EQ(second.FramesDelivered(), 1u);
    EXPECT_EQ(first.FramesDelivered(), before);

    // Listed but not answering: the camera cannot be opened.
    m_rig.disk.Attach(7, nullptr);
    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 1), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_CAMERA_NOT_FOUND);
    EXPECT_EQ(m_rig.disk.OpenHandles(), 0);
}

// Waits until `camera` has sent `frames` frames in all; false when they never came.
bool WaitFrames(const vidlyn::vcam::CameraModel& camera, uint32_t frames) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(5))
        if (camera.FramesDelivered() >= frames) return true;
    return false;
}

TEST_F(Selection, NoSelectionWhileAModeRunsThenStreamFromTheSelectedCamera) {
    vidlyn::vcam::CameraSettings quarter;
    quarter.subsampleDivisor = 4;
    vidlyn::vcam::CameraModel& first = m_rig.Add(3, quarter);
    vidlyn::vcam::CameraModel& second = m_rig.Add(7, quarter);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry("QM7720E", 1), CameraEnumEntry("QM7720E", 2)}));
    { Session firstStart; }  // stores the default format
    ASSERT_TRUE(WriteDword(nullptr, "SubSample", 2));
    Open(2);

    ASSERT_EQ(Vidlyn_StartPreview(h()), 1);
    ASSERT_TRUE(WaitFrames(first, 2));
    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 1), 0) << "refused while streaming";
    EXPECT_EQ(m_rig.disk.OpenHandles(3), 1);
    EXPECT_TRUE(WaitFrames(first, first.FramesDelivered() + 2)) << "the stream goes on";
    ASSERT_EQ(Vidlyn_StopPreview(h()), 1);
    ASSERT_EQ(Vidlyn_Capture(h()), 1);
    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 1), 0) << "refused while a capture is armed";
    ASSERT_EQ(Vidlyn_Close(h()), 1);
    // Reported codes as notified (every converted frame also reports 0 while
    // automatic exposure is off; those are left out).
    std::vector<int> codes;
    for (const Notice& n : Drain(m_notify.get()))
        if (n.lParam != 0) codes.push_back(static_cast<int>(n.lParam));
    EXPECT_EQ(codes, std::vector<int>({VIDLYN_ERR_NO_CAMERA, VIDLYN_ERR_NO_CAMERA}));

    EXPECT_EQ(Vidlyn_SetDeviceNumber(h(), 1), 1);
    const uint32_t fromFirst = first.FramesDelivered();
    ASSERT_EQ(Vidlyn_StartPreview(h()), 1);
    EXPECT_TRUE(WaitFrames(second, 3)) << "frames come from the selected camera";
    ASSERT_EQ(Vidlyn_StopPreview(h()), 1);
    EXPECT_EQ(first.FramesDelivered(), fromFirst);
}

TEST_F(Selection, CameraInformation) {
    m_rig.Add(3);
    Open(1);
    VIDLYN_CAMERA_INFO info;
    std::memset(&info, 0x5A, sizeof info);
    info.size = 35;
    EXPECT_EQ(Vidlyn_GetCameraInfo(h(), &info), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_MEMORY);
    EXPECT_EQ(info.width, 0x5A5A5A5A) << "a short record stays untouched";
    EXPECT_EQ(Vidlyn_GetCameraInfo(h(), nullptr), 0);
    EXPECT_EQ(Vidlyn_GetLastError(h()), VIDLYN_ERR_INVALID_ARGUMENT);

    CVidlynQM7720USB3Sdk* device = m_session->object()->m_device;
    for (int code : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "subsample code " << code);
        device->SetFormat(0, 0, 0, 0, code);
        std::memset(&info, 0x5A, sizeof info);
        info.size = 36;
        EXPECT_EQ(Vidlyn_GetCameraInfo(h(), &info), 1);
        const int expected[9] = {36, 4896, 3264, 0, 1023, 0, 0, 1, code == 0 ? 3335 : 1668};
        EXPECT_EQ(std::memcmp(&info, expected, sizeof expected), 0);
    }
    EXPECT_TRUE(DrainHistory(h()).empty());
}

TEST_F(Selection, ListedCameraWhoseDiskCannotBeOpenedRefusesToStart) {
    // Listed, but no drive answers (another program holds it, or no right to open it).
    Open(1);
    ASSERT_EQ(Vidlyn_StartPreview(h()), 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>{VIDLYN_ERR_CAMERA_NOT_FOUND});
    // A snapshot fails at once rather than after the capture's read time-out.
    std::vector<uint8_t> frame(size_t(4896) * 3264 * 3);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Vidlyn_SnapShot(h(), frame.data(), int(frame.size()), 0), 0);
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_EQ(DrainHistory(h()), (std::vector<int>{VIDLYN_ERR_TRANSFER}));
}

TEST_F(Selection, UnpluggedCameraPluggedInAgainStreamsAtTheNextStart) {
    vidlyn::vcam::CameraModel& first = m_rig.Add(2);
    Open(1);
    ASSERT_EQ(Vidlyn_StartPreview(h()), 1);
    std::vector<uint8_t> frame(size_t(4896) * 3264 * 3);
    auto image = [&] {
        for (int i = 0; i < 500; ++i, Sleep(10))
            if (Vidlyn_GetImage(h(), frame.data(), int(frame.size()), 0) == 1) return true;
        return false;
    };
    ASSERT_TRUE(image());
    ASSERT_EQ(Vidlyn_StopPreview(h()), 1);
    // Unplugged: the open handle is dead for good. Plugged in again, it is
    // another drive, answering through a new handle at its power-up settings.
    first.Remove();
    m_rig.disk.Attach(2, nullptr);
    ASSERT_EQ(Vidlyn_StartPreview(h()), 0);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>{VIDLYN_ERR_CAMERA_NOT_FOUND});
    vidlyn::vcam::CameraModel& second = m_rig.Add(4);
    ASSERT_EQ(Vidlyn_StartPreview(h()), 1);
    EXPECT_TRUE(image());
    EXPECT_EQ(Vidlyn_StopPreview(h()), 1);
    EXPECT_TRUE(second.Started());
    int ok = 0;
    EXPECT_EQ(second.Register(0x2004), Vidlyn_GetExposureTime(h(), &ok)) << "the new camera was configured";
    EXPECT_EQ(m_rig.disk.OpenHandles(2), 0) << "the dead handle was closed";
    EXPECT_EQ(m_rig.disk.OpenHandles(4), 1);
    EXPECT_EQ(DrainHistory(h()), std::vector<int>{});
}

TEST(SelectionWithoutDevice, EveryOperationReportsNoCamera) {
    CVidlyn bare;
    char names[kTable];
    wchar_t wide[kTable];
    VIDLYN_CAMERA_INFO info{};
    info.size = sizeof info;
    EXPECT_EQ(bare.EnumDevice(names), 0);
    EXPECT_EQ(bare.EnumDeviceW(wide), 0);
    EXPECT_EQ(bare.GetDeviceName(0, names, 64), 0);
    EXPECT_EQ(bare.GetDeviceNameW(0, wide, 64), 0);
    EXPECT_EQ(bare.SetDeviceNumber(0), 0);
    EXPECT_EQ(bare.GetCameraInfo(&info), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bare.popError(), VIDLYN_ERR_NO_CAMERA);
    EXPECT_EQ(bare.popError(), 0);
    Drain(nullptr);
}

}  // namespace
