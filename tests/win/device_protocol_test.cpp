// Sector transactions as the camera sees them: command bytes, the ready poll,
// register access and the behaviour without an open disk.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "CameraFixture.h"
#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"

using vidlyn::test::CameraRig;
using vidlyn::vcam::CameraModel;
using vidlyn::vcam::CameraSettings;
using vidlyn::vcam::DiskOp;
using vidlyn::vcam::FaultRule;

namespace {

using Head = std::array<uint8_t, 4>;

// First four bytes of every command sector the camera received, in order.
std::vector<Head> Commands(const CameraModel& cam) {
    std::vector<Head> out;
    for (const auto& t : cam.Log())
        if (t.op == DiskOp::Write && t.offset == CameraModel::kCommandOffset && t.ok)
            out.push_back({t.head[0], t.head[1], t.head[2], t.head[3]});
    return out;
}

class DeviceProtocolTest : public vidlyn::test::OneCameraTest {
protected:
    void SetUp() override {
        OneCameraTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 3));  // small frames: 612 x 408
        cam->ClearLog();
    }
};

}  // namespace

TEST_F(DeviceProtocolTest, SensorRegisterWriteSendsAddressThenValueSector) {
    ASSERT_EQ(1, device->WriteSensorRegister(0x1234, 0xABCD));
    // The register export passes only the low bytes: 0x1234, 0x5678 become 0x34, 0x78.
    ASSERT_EQ(1, device->WriteSensorRegister(0x34, 0x78));
    const std::vector<Head> expected = {
        {0x20, 0x00, 0x12, 0x34}, {0x20, 0x01, 0xAB, 0xCD}, {0x20, 0x00, 0x00, 0x34}, {0x20, 0x01, 0x00, 0x78}};
    EXPECT_EQ(expected, Commands(*cam));
    EXPECT_EQ(0xABCD, cam->Register(0x1234));
    // Every other byte of a command sector is zero and the sector is whole.
    for (const auto& t : cam->Log())
        if (t.op == DiskOp::Write) {
            EXPECT_EQ(512u, t.length);
        }
}

TEST_F(DeviceProtocolTest, SensorRegisterWriteStopsAtFirstFailure) {
    cam->AddFault(FaultRule{DiskOp::Write, CameraModel::kCommandOffset, 0, 1});
    EXPECT_EQ(0, device->WriteSensorRegister(0x2004, 100));
    EXPECT_TRUE(Commands(*cam).empty()) << "no value sector after a failed address sector";
    cam->AddFault(FaultRule{DiskOp::Seek, CameraModel::kCommandOffset, 1, 1});
    EXPECT_EQ(0, device->WriteSensorRegister(0x2004, 100));
    EXPECT_EQ(1u, Commands(*cam).size());
}

TEST_F(DeviceProtocolTest, GainAndExposureRegisters) {
    ASSERT_EQ(1, device->SetGlobalGain(1023));
    ASSERT_EQ(1, device->SetExposure(3000));
    const std::vector<Head> expected = {{0x20, 0x00, 0x30, 0x03}, {0x20, 0x01, 0x00, 0x01}, {0x20, 0x00, 0x00, 0x05},
                                        {0x20, 0x01, 0x03, 0xFF}, {0x20, 0x00, 0x20, 0x04}, {0x20, 0x01, 0x0B, 0xB8}};
    EXPECT_EQ(expected, Commands(*cam));
    EXPECT_EQ(1023, device->GetGlobalGain());
    int exposure = 0;
    EXPECT_EQ(1, device->GetExposure(&exposure));
    EXPECT_EQ(3000, exposure);
    // The gain result is that of the 0x0005 write alone.
    cam->AddFault(FaultRule{DiskOp::Write, CameraModel::kCommandOffset, 2, 1});
    EXPECT_EQ(0, device->SetGlobalGain(5));
}

TEST_F(DeviceProtocolTest, SensorRegisterWritesFromTwoThreadsStayWhole) {
    // The automatic exposure writes from the acquisition thread while the
    // application sets the gain: each address sector must be followed by its own
    // value sector, or the camera puts one thread's value into the other's register.
    constexpr int kWrites = 3000;
    const size_t before = cam->RegisterWrites().size();
    std::atomic<int> failed{0};
    std::atomic<int> ready{0};
    auto writer = [&](uint16_t address, uint16_t tag) {
        for (++ready; ready.load() < 2;) {
        }
        for (int i = 0; i < kWrites; ++i)
            if (!device->WriteSensorRegister(address, uint16_t(tag | (i & 0x0FFF)))) ++failed;
    };
    std::thread a(writer, uint16_t(0x2004), uint16_t(0x1000));
    std::thread b(writer, uint16_t(0x0005), uint16_t(0x2000));
    a.join();
    b.join();
    EXPECT_EQ(0, failed.load());
    const auto writes = cam->RegisterWrites();
    ASSERT_GE(writes.size(), before);
    int mixed = 0;
    for (size_t i = before; i < writes.size(); ++i)
        mixed += (writes[i].second & 0xF000) != (writes[i].first == 0x2004 ? 0x1000 : 0x2000);
    EXPECT_EQ(size_t(2 * kWrites), writes.size() - before);
    EXPECT_EQ(0, mixed);
}

TEST_F(DeviceProtocolTest, ReadyPollTreatsEveryValueButOneAsNotReady) {
    for (uint8_t notReady : {uint8_t(2), uint8_t(255)}) {
        CameraSettings settings = cam->Settings();
        settings.notReadyPolls = 3;
        settings.notReadyValue = notReady;
        cam->SetSettings(settings);
        uint8_t start[512] = {0x10};
        cam->WriteAt(CameraModel::kCommandOffset, start, 512);
        cam->ClearLog();
        std::vector<uint8_t> frame(device->GetRawFrameSize());
        EXPECT_EQ(1, device->ReadFrameData(frame.data(), uint32_t(frame.size())));
        EXPECT_EQ(4u, cam->CountReads(CameraModel::kStatusOffset)) << "flag " << int(notReady);
        EXPECT_EQ(1u, cam->CountReads(CameraModel::kImageOffset));
    }
}

TEST_F(DeviceProtocolTest, ReadTimeoutCountsStatusReads) {
    cam->SetNeverReady(true);
    uint8_t start[512] = {0x10};
    cam->WriteAt(CameraModel::kCommandOffset, start, 512);
    std::vector<uint8_t> frame(device->GetRawFrameSize());
    for (int timeout : {1, 7}) {
        device->SetReadTimeout(timeout);
        cam->ClearLog();
        EXPECT_EQ(0, device->ReadFrameData(frame.data(), uint32_t(frame.size())));
        EXPECT_EQ(uint64_t(timeout), cam->CountReads(CameraModel::kStatusOffset));
        EXPECT_EQ(0u, cam->CountReads(CameraModel::kImageOffset));
    }
    // A failing status read ends the poll at once.
    cam->SetNeverReady(false);
    cam->AddFault(FaultRule{DiskOp::Read, CameraModel::kStatusOffset, 0, 1});
    cam->ClearLog();
    EXPECT_EQ(0, device->ReadFrameData(frame.data(), uint32_t(frame.size())));
    EXPECT_EQ(0u, cam->CountReads(CameraModel::kImageOffset));
    // So does a failing image read.
    cam->AddFault(FaultRule{DiskOp::Read, CameraModel::kImageOffset, 0, 1});
    EXPECT_EQ(0, device->ReadFrameData(frame.data(), uint32_t(frame.size())));
    EXPECT_EQ(1, device->ReadFrameData(frame.data(), uint32_t(frame.size())));
}

TEST_F(DeviceProtocolTest, ByteAndWordRegisters) {
    ASSERT_EQ(1, device->WriteRegisterWord(0x4410, 0xBEEF));
    uint16_t word = 0;
    ASSERT_EQ(1, device->ReadRegisterWord(0x4410, &word));
    EXPECT_EQ(0xBEEF, word);
    uint8_t byte = 0;
    ASSERT_EQ(1, device->ReadRegisterByte(0x4411, &byte));
    EXPECT_EQ(0xEF, byte);

    // The word's second address wraps around 16 bits.
    cam->ClearLog();
    ASSERT_EQ(1, device->WriteRegisterWord(0xFFFF, 0x1122));
    const std::vector<Head> expected = {{0x20, 0xFF, 0xFF, 0x11}, {0x20, 0x00, 0x00, 0x22}};
    EXPECT_EQ(expected, Commands(*cam));

    // Both halves are sent even when the first fails; the result is a failure.
    cam->ClearLog();
    cam->AddFault(FaultRule{DiskOp::Write, CameraModel::kCommandOffset, 0, 1});
    EXPECT_EQ(0, device->WriteRegisterWord(0x4420, 0x0102));
    EXPECT_EQ(1u, Commands(*cam).size());
    EXPECT_EQ(0x02, cam->ByteRegister(0x4421));

    // A word read whose second byte fails leaves the caller's value alone.
    cam->AddFault(FaultRule{DiskOp::Read, CameraModel::kStatusOffset, 1, 1});
    word = 0x5A5A;
    EXPECT_EQ(0, device->ReadRegisterWord(0x4410, &word));
    EXPECT_EQ(0x5A5A, word);
    byte = 0x77;
    cam->AddFault(FaultRule{DiskOp::Read, CameraModel::kStatusOffset, 0, 1});
    EXPECT_EQ(0, device->ReadRegisterByte(0x4410, &byte));
    EXPECT_EQ(0x77, byte);
}

TEST_F(DeviceProtocolTest, StartCommandSector) {
    ASSERT_EQ(0, device->StartCapture());
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    EXPECT_EQ(0, device->FinishCapture(frame.data()));
    const std::vector<Head> commands = Commands(*cam);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ((Head{0x10, 0, 0, 0}), commands.front());
    EXPECT_TRUE(cam->Started());
}

TEST(DeviceProtocolNoDiskTest, EveryTransactionFailsWhileTheDiskIsClosed) {
    vidlyn::test::DeleteDiskEnum();
    CameraRig rig;
    CameraModel& cam = rig.Add(0);
    CVidlynQM7720USB3Sdk device;  // no disk list: nothing is opened
    ASSERT_FALSE(device.IsOpen());
    uint8_t buffer[512];
    uint8_t byte = 9;
    uint16_t word = 9;
    EXPECT_EQ(0, device.ReadFrameData(buffer, sizeof(buffer)));
    EXPECT_EQ(0, device.WriteRegisterByte(1, 2));
    EXPECT_EQ(0, device.ReadRegisterByte(1, &byte));
    EXPECT_EQ(0, device.WriteRegisterWord(1, 2));
    EXPECT_EQ(0, device.ReadRegisterWord(1, &word));
    EXPECT_EQ(0, device.WriteSensorRegister(1, 2));
    EXPECT_EQ(9, byte);
    EXPECT_EQ(9, word);
    EXPECT_TRUE(cam.Log().empty());
}
